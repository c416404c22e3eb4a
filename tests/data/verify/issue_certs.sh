#!/usr/bin/env bash
# Issues the certificates of the verification test hierarchy that name the
# directory in their CRL distribution points: CA1 and CA2 (by the root) and
# the end entities of CA1 and CA2, for a directory on 127.0.0.1:<port>.
#   issue_certs.sh <port> <output directory>
# Serial numbers, dates and extensions are fixed, so the CRLs made by
# make_pki.sh list these very certificates whatever the port. Output: PEM
# files ca1.pem, ca2.pem, ee_good.pem, ee_revoked.pem, ee_hold.pem,
# ee_unknown.pem, ee_ca2.pem.
set -euo pipefail
data=$(cd "$(dirname "$0")" && pwd)
port=$1
out=$2
mkdir -p "$out"
work=$(mktemp -d "$out/issue.XXXXXX")
trap 'rm -rf "$work"' EXIT
export OPENSSL_CONF=/dev/null QELT_LDAP_PORT=$port

# sign <CA cert> <CA key> <extensions> <notAfter> <first serial> <request>... (serials count up)
sign() {
  local cacert=$1 cakey=$2 ext=$3 end=$4 serial=$5; shift 5
  rm -rf "$work/db"
  mkdir -p "$work/db"
  : > "$work/db/index.txt"
  echo "$serial" > "$work/db/serial"
  local requests=()
  for name in "$@"; do requests+=("$data/csr/$name.csr"); done
  QELT_CA_DIR="$work/db" QELT_CA_CERT=$cacert QELT_CA_KEY=$cakey \
    openssl ca -config "$data/ca.cnf" -batch -notext -extensions "$ext" -startdate 20240101000000Z \
    -enddate "$end" -outdir "$work/db" -infiles "${requests[@]}" 2>"$work/log" >/dev/null || { cat "$work/log" >&2; exit 1; }
  local s=$((16#$serial))
  for name in "$@"; do
    mv "$work/db/$(printf '%04X' $s).pem" "$out/$name.pem"
    s=$((s + 1))
  done
}

sign "$data/certs/root.der" "$data/keys/root.key" ca_ext 20490601000000Z 1001 ca1 ca2
sign "$out/ca1.pem" "$data/keys/ca1.key" ee_ca1_ext 20490101000000Z 8A01 ee_revoked ee_hold ee_good
sign "$out/ca1.pem" "$data/keys/ca1.key" ee_ca1_dn_ext 20490101000000Z 2004 ee_unknown
sign "$out/ca2.pem" "$data/keys/ca2.key" ee_ca2_ext 20490101000000Z 3001 ee_ca2
