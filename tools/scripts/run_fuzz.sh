#!/usr/bin/env bash
# Builds every libFuzzer target with clang and runs each one briefly from its
# seed corpus. Usage: tools/scripts/run_fuzz.sh [seconds per target] [build dir]
set -euo pipefail
seconds=${1:-20}
build=${2:-build-fuzz}
root=$(cd "$(dirname "$0")/../.." && pwd)
cmake -S "$root" -B "$root/$build" -G Ninja -DQELT_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
if ! ninja -C "$root/$build" >"$root/$build/build.log" 2>&1; then
  tail -n 30 "$root/$build/build.log"; exit 1
fi
status=0
for target in "$root/$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work=$(mktemp -d)
  seeds="$root/fuzz/corpus/$name"
  [ -d "$seeds" ] && cp -r "$seeds"/. "$work"/ 2>/dev/null || true
  if "$target" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=0 "$work" >"$work.log" 2>&1; then
    echo "fuzz $name: ok ($(grep -c . "$work.log" >/dev/null; grep -o 'cov: [0-9]*' "$work.log" | tail -n1))"
  else
    echo "fuzz $name: FAILED"; tail -n 40 "$work.log"; status=1
  fi
  rm -rf "$work" "$work.log"
done
exit $status
