#!/usr/bin/env bash
# Installs what is missing, builds, and shows what the library does so far
# through the qelt command.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root"
tools/scripts/install_deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
ninja -C build qelt >/dev/null
qelt=build/qelt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QELT_WORKDIR=$work/qelt

run() { echo "\$ qelt $*"; "$qelt" "$@"; echo; }

run version
run info
printf 'Hello, PKI!' > "$work/hello.txt"
run base64 encode "$work/hello.txt"
"$qelt" base64 encode "$work/hello.txt" -o "$work/hello.b64"
run base64 decode "$work/hello.b64"
head -c 120 /dev/urandom > "$work/blob.bin"
run pem encode --type 1 "$work/blob.bin" -o "$work/blob.pem"
cat "$work/blob.pem"; echo
"$qelt" pem decode "$work/blob.pem" -o "$work/blob.back"
cmp "$work/blob.bin" "$work/blob.back" && echo "PEM round trip: identical bytes"
printf '[SERVER]\nHOST = example\n' > "$work/app.ini"
run profile set "$work/app.ini" SERVER PORT 4000
run profile get "$work/app.ini" SERVER PORT
run time 20130425093000Z
for verb in $("$qelt" --help | awk '/^  qelt /{print $2}'); do
  case "$verb" in hash) run hash -a sha256 "$work/hello.txt" ;; esac
done
