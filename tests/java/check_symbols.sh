#!/usr/bin/env bash
# The library exports one Java_com_qelt_qeltapi* symbol per native the Java
# classes declare (the names javac generated headers for), and as many as the
# list of 112 less the pending ones.
#   check_symbols.sh LIBRARY HEADER_DIR NATIVES PENDING
set -euo pipefail
lib=$1 headers=$2 natives=$3 pending=$4
# Rows of a list (not comments, not blank); an empty pending list is fine.
rows() { awk '!/^#/ && NF' "$1" | wc -l; }
exported=$(nm -D --defined-only "$lib" | awk '{print $3}' | grep '^Java_com_qelt_qeltapi' | sort)
declared=$(grep -ho 'Java_com_qelt_qeltapi[A-Za-z0-9_]*' "$headers"/*.h | sort -u)
want=$(( $(rows "$natives") - $(rows "$pending") ))
got=$(echo "$exported" | grep -c .)
echo "exported natives: $got, expected: $want (of $(rows "$natives"))"
status=0
if [ "$got" -ne "$want" ]; then echo "count differs"; status=1; fi
missing=$(comm -13 <(echo "$exported") <(echo "$declared"))
extra=$(comm -23 <(echo "$exported") <(echo "$declared"))
[ -n "$missing" ] && { echo "declared but not exported:"; echo "$missing"; status=1; }
[ -n "$extra" ] && { echo "exported but not declared:"; echo "$extra"; status=1; }
exit $status
