#!/usr/bin/env bash
# Makes the certificate chains, keys and CRLs of the path and CRL tests.
#   RSA-2048 (sha256) and EC (secp160r1 and sect163k1 with ecdsa-with-SHA1,
#   sect163k1, secp160r1 and c2pnb163v1 with -SHA256) chains root -> ca -> ee made
#   by the openssl command, valid until 2049 (each ending before its issuer);
#   their PKCS#8 keys (the tests re-issue certificates with them);
#   an openssl-made CRL of the RSA CA listing two serials, one whose first
#   octet is 0x80 or more;
#   KCDSA-1024 keys made by the library's engine (a disabled test case writes them).
# Run from anywhere: tests/data/path/make_chains.sh [path/to/qelt_tests]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
tests_bin=${1:-$here/../../../build/tests/qelt_tests}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

cat > ext.cnf <<'CNF'
[req]
distinguished_name = dn
[dn]
[root]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
[ca]
basicConstraints = critical, CA:TRUE, pathlen:0
keyUsage = critical, keyCertSign, cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
certificatePolicies = 1.2.410.200004.5.9999.1
crlDistributionPoints = URI:ldap://127.0.0.1:389/cn=crl1%2Cou=Test%20CA%2Co=Qelt%2Cc=KR?certificateRevocationList
[ee]
basicConstraints = CA:FALSE
keyUsage = critical, digitalSignature, nonRepudiation
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
certificatePolicies = 1.2.410.200004.5.9999.1
subjectAltName = email:ee@qelt.example, DNS:ee.qelt.example
crlDistributionPoints = URI:ldap://127.0.0.1:389/cn=crl1%2Cou=Test%20CA%2Co=Qelt%2Cc=KR?certificateRevocationList
authorityInfoAccess = OCSP;URI:http://127.0.0.1:8080/ocsp
[crl]
authorityKeyIdentifier = keyid
CNF

# Days from now to a date: the root ends 2049-12-31, the CA 2049-06-30, the EE 2048-12-31.
days_to() { echo $(( ($(date -u -d "$1" +%s) - $(date -u +%s)) / 86400 )); }

# chain PREFIX HASH ROOT-KEY-OPTS CA-KEY-OPTS EE-KEY-OPTS
chain() {
    local p=$1 hash=$2
    openssl genpkey $3 -out ${p}_root.pem 2>/dev/null
    openssl genpkey $4 -out ${p}_ca.pem 2>/dev/null
    openssl genpkey $5 -out ${p}_ee.pem 2>/dev/null
    openssl req -new -x509 -key ${p}_root.pem -$hash -subj "/C=KR/O=Qelt/OU=Test Root/CN=${p} Root" \
        -days $(days_to 2049-12-31) -set_serial 1 \
        -extensions root -config ext.cnf -out ${p}_root.crt
    openssl req -new -key ${p}_ca.pem -subj "/C=KR/O=Qelt/OU=Test CA/CN=${p} CA" -out ca.csr
    openssl x509 -req -in ca.csr -CA ${p}_root.crt -CAkey ${p}_root.pem -$hash -set_serial 2 \
        -days $(days_to 2049-06-30) -extfile ext.cnf -extensions ca -out ${p}_ca.crt
    openssl req -new -key ${p}_ee.pem -subj "/C=KR/O=Qelt/OU=Test CA/CN=${p} EE" -out ee.csr
    openssl x509 -req -in ee.csr -CA ${p}_ca.crt -CAkey ${p}_ca.pem -$hash -set_serial 0x8F01 \
        -days $(days_to 2048-12-31) -extfile ext.cnf -extensions ee -out ${p}_ee.crt
    for n in root ca ee; do
        openssl x509 -in ${p}_$n.crt -outform DER -out "$here/${p}_$n.der"
        openssl pkcs8 -topk8 -nocrypt -in ${p}_$n.pem -outform DER -out "$here/${p}_$n.p8"
    done
}
chain rsa sha256 "-algorithm RSA -pkeyopt rsa_keygen_bits:2048" "-algorithm RSA -pkeyopt rsa_keygen_bits:2048" \
    "-algorithm RSA -pkeyopt rsa_keygen_bits:2048"
ec="-algorithm EC -pkeyopt ec_param_enc:named_curve -pkeyopt ec_paramgen_curve"
chain ec sha1 "$ec:secp160r1" "$ec:sect163k1" "$ec:secp160r1"
chain ec256 sha256 "$ec:sect163k1" "$ec:secp160r1" "$ec:c2pnb163v1"

# A CRL of the RSA CA: serial 0x8F01 (the EE, keyCompromise) and 0x05 (on hold).
mkdir -p ca/newcerts && touch ca/index.txt && echo 1000 > ca/crlnumber
printf 'R\t491231000000Z\t240601000000Z,keyCompromise\t8F01\tunknown\t/CN=ee\n' >> ca/index.txt
printf 'R\t491231000000Z\t240602000000Z,certificateHold\t05\tunknown\t/CN=other\n' >> ca/index.txt
cat > ca.cnf <<CNF
[ca]
default_ca = test
[test]
database = $work/ca/index.txt
crlnumber = $work/ca/crlnumber
default_md = sha256
default_crl_days = 9000
crl_extensions = crl
[crl]
authorityKeyIdentifier = keyid
CNF
openssl ca -config ca.cnf -gencrl -keyfile rsa_ca.pem -cert rsa_ca.crt -out ca.crl.pem 2>/dev/null
openssl crl -in ca.crl.pem -outform DER -out "$here/rsa_ca.crl"

# KCDSA keys from the library's engine.
QELT_PATH_DATA_OUT="$here" "$tests_bin" --gtest_also_run_disabled_tests \
    --gtest_filter='PathChainData.DISABLED_MakeKcdsaKeys' >/dev/null
echo "written to $here"
