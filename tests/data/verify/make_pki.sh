#!/usr/bin/env bash
# Makes the committed material of the verification tests with the openssl
# command: keys, roots, certificate requests, CRLs and ARLs, and certificate
# trust lists. Run it from anywhere; it rewrites this directory's files.
# Everything is valid until 2049 (CRLs and trust lists are published for
# 2024-01-01 .. 2049-01-01), except the files named expired, future or other.
#
# The certificates carrying a CRL distribution point name the directory's
# port, so the directory tests issue them again with issue_certs.sh for the
# port their directory listens on; the copies made here (port 389) serve the
# tests that need no directory.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
cd "$here"
rm -rf keys csr certs crl ctl
mkdir -p keys csr certs crl ctl
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export OPENSSL_CONF=/dev/null QELT_LDAP_PORT=389
O="한국테스트"

key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "keys/$1.key"; }
csr() { openssl req -new -utf8 -key "keys/$1.key" -subj "$2" -out "csr/$1.csr"; }
der() { openssl x509 -in "$1" -outform DER -out "$2"; }
# A CA database in $work/$1 whose index lists the revocations given as
# "serial revocation-time,reason" arguments.
cadb() {
  local db=$work/$1; shift
  mkdir -p "$db/new"
  : > "$db/index.txt"
  echo 01 > "$db/crlnumber"
  for r in "$@"; do
    printf 'R\t490101000000Z\t%s\t%s\tunknown\t/CN=revoked\n' "${r#* }" "${r%% *}" >> "$db/index.txt"
  done
}
# A self-signed root from key and request $1, serial $2, into certs/$3.der
selfsign() {
  cadb "self_$3"
  echo "$2" > "$work/self_$3/serial"
  QELT_CA_DIR="$work/self_$3" QELT_CA_CERT=/dev/null QELT_CA_KEY="keys/$1.key" \
    openssl ca -config ca.cnf -batch -notext -selfsign -extensions root_ext -startdate 20240101000000Z \
    -enddate 20491231000000Z -in "csr/$1.csr" -out "$work/$3.pem" 2>/dev/null
  der "$work/$3.pem" "certs/$3.der"
}
# A CRL: $1 database, $2 CA cert, $3 CA key, $4 output, $5 lastUpdate, $6 nextUpdate
crl() {
  QELT_CA_DIR="$work/$1" QELT_CA_CERT=$2 QELT_CA_KEY=$3 \
    openssl ca -config ca.cnf -gencrl -crl_lastupdate "$5" -crl_nextupdate "$6" -out "$work/$4.pem" 2>/dev/null
  openssl crl -in "$work/$4.pem" -outform DER -out "crl/$4"
}

for k in root root2 root3 ca1 ca2 ee_good ee_revoked ee_hold ee_unknown ee_ca2 ee_root2 ee_root3 other; do key $k; done
csr root "/C=KR/O=$O/CN=테스트 루트 인증기관"
csr root2 "/C=KR/O=다른기관/CN=제2 루트 인증기관"
csr root3 "/C=KR/O=다른기관/CN=제3 루트 인증기관"
csr ca1 "/C=KR/O=$O/OU=인증기관/CN=테스트 CA1"
csr ca2 "/C=KR/O=$O/OU=인증기관/CN=테스트 CA2"
csr ee_good "/C=KR/O=$O/OU=사용자/CN=정상사용자"
csr ee_revoked "/C=KR/O=$O/OU=사용자/CN=폐지사용자"
csr ee_hold "/C=KR/O=$O/OU=사용자/CN=정지사용자"
csr ee_unknown "/C=KR/O=$O/OU=사용자/CN=미등록사용자"
csr ee_ca2 "/C=KR/O=$O/OU=사용자/CN=CA2사용자"
csr ee_root2 "/C=KR/O=다른기관/CN=제2 사용자"
csr ee_root3 "/C=KR/O=다른기관/CN=제3 사용자"

selfsign root 01 root
selfsign root2 01 root2
selfsign root3 01 root3
# The root again with another serial number: same name and key, other bytes.
selfsign root 02 root_twin

./issue_certs.sh 389 "$work/issued"
for f in "$work"/issued/*.pem; do der "$f" "certs/$(basename "$f" .pem).der"; done
for r in root2 root3; do
  cadb "$r"
  echo 5001 > "$work/$r/serial"
  QELT_CA_DIR="$work/$r" QELT_CA_CERT="certs/$r.der" QELT_CA_KEY="keys/$r.key" \
    openssl ca -config ca.cnf -batch -notext -extensions ee_plain_ext -startdate 20240101000000Z \
    -enddate 20490101000000Z -in "csr/ee_$r.csr" -out "$work/ee_$r.pem" 2>/dev/null
  der "$work/ee_$r.pem" "certs/ee_$r.der"
done

# A chain of six CAs on secp160r1 keys (ECDSA with SHA-1, a curve and hash the
# library verifies): deep6 (self-signed) issues deep5 ... deep1;
# ee_deep (under deep1) has its root six issuers up, ee_deep2 (under deep2) five.
ec() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:secp160r1 -pkeyopt ec_param_enc:named_curve -out "$work/$1.key"; }
for i in 1 2 3 4 5 6; do
  ec "deep$i"
  openssl req -new -utf8 -key "$work/deep$i.key" -subj "/C=KR/O=깊은기관/CN=깊은 인증기관$i" -out "$work/deep$i.csr"
done
ec ee_deep
ec ee_deep2
openssl req -new -utf8 -key "$work/ee_deep.key" -subj "/C=KR/O=깊은기관/CN=깊은 사용자" -out "$work/ee_deep.csr"
openssl req -new -utf8 -key "$work/ee_deep2.key" -subj "/C=KR/O=깊은기관/CN=깊은 사용자2" -out "$work/ee_deep2.csr"
# deepsign <issuer> <issuer cert> <extensions> <request> <serial> <output>
deepsign() {
  cadb "d_$6"
  echo "$5" > "$work/d_$6/serial"
  QELT_CA_DIR="$work/d_$6" QELT_CA_CERT=$2 QELT_CA_KEY="$work/$1.key" \
    openssl ca -config ca.cnf -batch -notext -md sha1 ${7:-} -extensions "$3" -startdate 20240101000000Z -enddate 20490101000000Z \
    -in "$work/$4.csr" -out "$work/$6.pem" 2>/dev/null
  der "$work/$6.pem" "certs/$6.der"
}
deepsign deep6 /dev/null root_ext deep6 06 deep6 -selfsign
for i in 5 4 3 2 1; do deepsign "deep$((i + 1))" "certs/deep$((i + 1)).der" ca_plain_ext "deep$i" "0$i" "deep$i"; done
deepsign deep1 certs/deep1.der ee_plain_ext ee_deep 11 ee_deep
deepsign deep2 certs/deep2.der ee_plain_ext ee_deep2 12 ee_deep2

# CA1 once more, expired, with its own name and key: a stale cached bundle.
cadb old
echo 1001 > "$work/old/serial"
QELT_CA_DIR="$work/old" QELT_CA_CERT=certs/root.der QELT_CA_KEY=keys/root.key \
  openssl ca -config ca.cnf -batch -notext -extensions ca_ext -startdate 20200101000000Z -enddate 20210101000000Z \
  -in csr/ca1.csr -out "$work/ca1_expired.pem" 2>/dev/null
der "$work/ca1_expired.pem" certs/ca1_expired.der

# Revocations: the ARL lists CA2; CA1's CRL the revoked and the held user.
cadb root "1002 240301000000Z,CACompromise"
cadb ca1 "8A01 240302000000Z,keyCompromise" "8A02 240303000000Z,certificateHold,holdInstructionNone"
cadb ca2
crl root certs/root.der keys/root.key root.arl.der 20240101000000Z 20490101000000Z
crl ca1 certs/ca1.der keys/ca1.key ca1.crl.der 20240101000000Z 20490101000000Z
crl ca2 certs/ca2.der keys/ca2.key ca2.crl.der 20240101000000Z 20490101000000Z
crl ca1 certs/ca1.der keys/ca1.key ca1_expired.crl.der 20200101000000Z 20210101000000Z
crl ca1 certs/ca1.der keys/ca1.key ca1_future.crl.der 20480101000000Z 20490101000000Z
# CA1's name, another key: the signature must not verify.
openssl req -new -x509 -utf8 -key keys/other.key -subj "/C=KR/O=$O/OU=인증기관/CN=테스트 CA1" -days 1 \
  -addext subjectKeyIdentifier=hash -out "$work/other.pem"
crl ca1 "$work/other.pem" keys/other.key ca1_otherkey.crl.der 20240101000000Z 20490101000000Z

# Certificate trust lists signed by the root: $1 file, $2 hash, $3 nextUpdate,
# $4 version (empty for v1), $5 signer certificate, $6 extra cms options,
# then the certificates listed.
ctl() {
  local out=$1 hash=$2 next=$3 version=$4 signer=$5 options=$6; shift 6
  {
    echo "asn1 = SEQUENCE:ctl"
    echo "[ctl]"
    if [ -n "$version" ]; then echo "version = INTEGER:$version"; fi
    echo "usage = SEQUENCE:usage"
    echo "sequence = INTEGER:1"
    echo "thisUpdate = UTCTIME:240101000000Z"
    echo "nextUpdate = $next"
    echo "algorithm = SEQUENCE:algorithm"
    echo "subjects = SEQUENCE:subjects"
    echo "[usage]"
    echo "u1 = OID:1.3.6.1.4.1.311.10.3.9"
    echo "[algorithm]"
    echo "a = OID:$hash"
    echo "p = NULL"
    echo "[subjects]"
    local i=0 c
    for c in "$@"; do i=$((i + 1)); echo "s$i = SEQUENCE:subject$i"; done
    i=0
    for c in "$@"; do
      i=$((i + 1))
      echo "[subject$i]"
      echo "hash = FORMAT:HEX,OCTETSTRING:$(openssl dgst -"$hash" -r "certs/$c.der" | cut -d" " -f1)"
    done
  } > "$work/$out.cnf"
  openssl asn1parse -genconf "$work/$out.cnf" -out "$work/$out.content" -noout
  # shellcheck disable=SC2086
  openssl cms -sign -binary -nosmimecap $options -in "$work/$out.content" -econtent_type 1.3.6.1.4.1.311.10.1 \
    -signer "$signer" -inkey keys/root.key -md sha256 -nodetach -outform DER -out "ctl/$out"
}
openssl x509 -inform DER -in certs/root.der -out "$work/root.pem"
openssl x509 -inform DER -in certs/root_twin.der -out "$work/root_twin.pem"
ctl ctl_sha1.der sha1 GENTIME:20490101000000Z "" "$work/root.pem" "" root_twin root2
ctl ctl_sha256.der sha256 GENTIME:20490101000000Z "" "$work/root.pem" "" root2
ctl ctl_nocerts.der sha1 GENTIME:20490101000000Z "" "$work/root.pem" -nocerts root2
ctl ctl_expired.der sha1 UTCTIME:210101000000Z "" "$work/root.pem" "" root2
ctl ctl_v2.der sha1 GENTIME:20490101000000Z 1 "$work/root.pem" "" root2
ctl ctl_twin.der sha1 GENTIME:20490101000000Z "" "$work/root_twin.pem" "" root2

# Only the CA keys stay: the tests issue certificates with them.
rm -f keys/ee_*.key keys/other.key keys/root3.key
echo "made in $here"
