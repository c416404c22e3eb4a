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
# A certificate with a Korean name and the usual extensions, made by openssl, shown by the library.
printf '%s\n' 'basicConstraints=CA:FALSE' 'keyUsage=digitalSignature,nonRepudiation' \
  'extendedKeyUsage=clientAuth,emailProtection' 'subjectAltName=DNS:www.example.kr,email:hong@example.kr' \
  'subjectKeyIdentifier=hash' 'authorityKeyIdentifier=keyid,issuer' \
  'crlDistributionPoints=URI:http://crl.example.kr/ca.crl' 'authorityInfoAccess=OCSP;URI:http://ocsp.example.kr' \
  'certificatePolicies=1.2.410.200004.5.1.1.7' > "$work/ee.ext"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/ca.key" -out "$work/ca.pem" -days 365 \
  -subj '/C=KR/O=Example/CN=Demo CA' >/dev/null 2>&1
openssl req -new -newkey rsa:2048 -nodes -keyout "$work/ee.key" -out "$work/ee.csr" -utf8 \
  -subj '/C=KR/O=Example/OU=people/CN=홍길동' >/dev/null 2>&1
openssl x509 -req -in "$work/ee.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -set_serial 0x8F01 -days 20 \
  -extfile "$work/ee.ext" -out "$work/ee.pem" >/dev/null 2>&1
run cert show "$work/ee.pem"
run cert days "$work/ee.pem"
run certs add "$work/bundle.der" "$work/ca.pem" "$work/ee.pem"
for verb in $("$qelt" --help | awk '/^  qelt /{print $2}'); do
  case "$verb" in hash) run hash -a sha256 "$work/hello.txt" ;; esac
done
# Sign with the certificate above, check with OpenSSL, verify and list the signers with the library.
openssl pkcs8 -topk8 -nocrypt -in "$work/ee.key" -outform DER -out "$work/ee.p8"
run cms sign -c "$work/ee.pem" -k "$work/ee.p8" --contentinfo "$work/hello.txt" -o "$work/hello.p7"
openssl cms -verify -binary -inform DER -in "$work/hello.p7" -CAfile "$work/ca.pem" -out /dev/null
run cms verify "$work/hello.p7"
echo
run cms signers "$work/hello.p7"
