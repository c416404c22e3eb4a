#!/bin/sh
# Generates the certificates and keys of the identity-verification,
# challenge-response and WAP message tests with the openssl command, into the
# directory of this script. Run once; the outputs are committed.
#
# ca.der            root CA (RSA-2048)
# user.der/.p8      RSA-2048 signing certificate with identification data
#                   (VID with SHA-256 for IDN 8001011234567); the PKCS#8 key
#                   carries the random-number attribute
# biz.der/.p8       RSA-1024, signing and key encipherment, VID with SHA-1 for
#                   IDN 1208147521 (the WAP recipient of the tests)
# plain.der/.p8     RSA-2048 signing certificate without identification data
# novid.der         identification data whose user information is not a VID
# kmonly.der        key encipherment only (user's key)
# expired.der/.p8   signing certificate valid 2020-01-01 to 2021-01-01
# ec.der/.p8        secp160r1 signing certificate
# ivs_sign.der/.p8, ivs_sign2.der/.p8, ivs_km.der/.p8
#                   the test identity-verification server's signing
#                   certificate, a renewed one, and its key-management certificate
set -eu
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

days=$(( ( $(date -d 2049-12-31 +%s) - $(date +%s) ) / 86400 ))
cat > "$work/ca.cnf" <<CNF
[ca]
default_ca = CA_default
[CA_default]
dir = $work
database = $work/index.txt
new_certs_dir = $work
serial = $work/serial
default_md = sha256
policy = policy_any
unique_subject = no
email_in_dn = no
[policy_any]
countryName = optional
organizationName = optional
organizationalUnitName = optional
commonName = supplied
CNF
: > "$work/index.txt"
echo 1000 > "$work/serial"

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/ca.key" -out "$work/ca.pem" -days "$days" \
    -subj '/C=KR/O=Qelt Test/CN=Qelt Test Root CA' -addext 'basicConstraints=critical,CA:TRUE' \
    -addext 'keyUsage=critical,keyCertSign,cRLSign' -addext 'subjectKeyIdentifier=hash' 2>/dev/null
openssl x509 -in "$work/ca.pem" -outform DER -out ca.der

# issue NAME SUBJECT EXTFILE START END: signs NAME.csr into NAME.der
issue() {
    openssl ca -batch -config "$work/ca.cnf" -cert "$work/ca.pem" -keyfile "$work/ca.key" -in "$work/$1.csr" \
        -out "$work/$1.pem" -extfile "$work/$1.ext" -startdate "$3" -enddate "$4" -preserveDN -notext -utf8 \
        2>/dev/null
    openssl x509 -in "$work/$1.pem" -outform DER -out "$1.der"
}
# key NAME GENPKEY-OPTIONS: a key and a CSR with subject /C=KR/O=Qelt Test/CN=NAME
key() {
    openssl genpkey $2 -out "$work/$1.key" 2>/dev/null
    openssl req -new -key "$work/$1.key" -subj "/C=KR/O=Qelt Test/CN=$1" -out "$work/$1.csr"
}
p8() { openssl pkcs8 -topk8 -nocrypt -in "$work/$1.key" -outform DER -out "$1.p8"; chmod 644 "$1.p8"; }

# A PKCS#8 RSA key with the random-number attribute "1 2 410 200004 10 1 1 3".
p8random() {
    rsahex=$(openssl rsa -in "$work/$1.key" -traditional -outform DER 2>/dev/null | od -An -v -tx1 | tr -d ' \n')
    cat > "$work/$1.p8.cnf" <<CNF
asn1 = SEQUENCE:pki
[pki]
version = INTEGER:0
alg = SEQUENCE:rsaalg
key = FORMAT:HEX,OCTETSTRING:$rsahex
attrs = IMPLICIT:0,SET:attrs
[rsaalg]
oid = OID:rsaEncryption
null = NULL
[attrs]
a1 = SEQUENCE:randattr
[randattr]
type = OID:1.2.410.200004.10.1.1.3
values = SET:randvalues
[randvalues]
v = FORMAT:HEX,BITSTRING:$2
CNF
    openssl asn1parse -genconf "$work/$1.p8.cnf" -out "$1.p8" >/dev/null
}

# vid IDN RANDOMHEX DIGEST: the virtual identifier H(H(HashContent)) in hex
vid() {
    printf 'asn1 = SEQUENCE:hc\n[hc]\nidn = PRINTABLESTRING:%s\nrnd = FORMAT:HEX,BITSTRING:%s\n' "$1" "$2" > "$work/hc.cnf"
    openssl asn1parse -genconf "$work/hc.cnf" -out "$work/hc.der" >/dev/null
    openssl dgst "-$3" -binary "$work/hc.der" | openssl dgst "-$3" -binary | od -An -v -tx1 | tr -d ' \n'
}

# sanext FILE KEYUSAGE REALNAME TYPEOID HASHOID VIDHEX
sanext() {
    cat > "$1" <<EXT
basicConstraints = CA:FALSE
keyUsage = $2
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
subjectAltName = otherName:1.2.410.200004.10.1.1;SEQUENCE:idd
[idd]
realName = FORMAT:UTF8,UTF8:$3
userInfo = SEQUENCE:uinfos
[uinfos]
info = SEQUENCE:uinfo
[uinfo]
type = OID:$4
vid = SEQUENCE:vid
[vid]
hashAlg = SEQUENCE:hashalg
virtualID = EXPLICIT:0,FORMAT:HEX,OCTETSTRING:$6
[hashalg]
alg = OID:$5
EXT
}

start=20240101000000Z
end=20491231235959Z
vidOid=1.2.410.200004.10.1.1.1

userRandom=5f1c0a7e92d34b6681a0c3e5f7092b4d6e8f10a2
key user "-algorithm RSA -pkeyopt rsa_keygen_bits:2048"
sanext "$work/user.ext" "critical,digitalSignature,nonRepudiation" "홍길동" $vidOid 2.16.840.1.101.3.4.2.1 \
    "$(vid 8001011234567 $userRandom sha256)"
issue user "" "$start" "$end"
p8random user $userRandom

bizRandom=0123456789abcdef0123456789abcdef
key biz "-algorithm RSA -pkeyopt rsa_keygen_bits:1024"
sanext "$work/biz.ext" "critical,digitalSignature,keyEncipherment" "큐엘티" $vidOid 1.3.14.3.2.26 \
    "$(vid 1208147521 $bizRandom sha1)"
issue biz "" "$start" "$end"
p8random biz $bizRandom

key plain "-algorithm RSA -pkeyopt rsa_keygen_bits:2048"
printf 'basicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature\nsubjectKeyIdentifier = hash\n' > "$work/plain.ext"
issue plain "" "$start" "$end"
p8 plain

cp "$work/user.csr" "$work/novid.csr"
sanext "$work/novid.ext" "critical,digitalSignature" "홍길동" 1.2.410.200004.10.1.1.2 2.16.840.1.101.3.4.2.1 \
    "$(vid 8001011234567 $userRandom sha256)"
issue novid "" "$start" "$end"

cp "$work/user.csr" "$work/kmonly.csr"
printf 'basicConstraints = CA:FALSE\nkeyUsage = critical,keyEncipherment\nsubjectKeyIdentifier = hash\n' > "$work/kmonly.ext"
issue kmonly "" "$start" "$end"

key expired "-algorithm RSA -pkeyopt rsa_keygen_bits:2048"
cp "$work/plain.ext" "$work/expired.ext"
issue expired "" 20200101000000Z 20210101000000Z
p8 expired

key ec "-algorithm EC -pkeyopt ec_paramgen_curve:secp160r1"
printf 'basicConstraints = CA:FALSE\nkeyUsage = critical,digitalSignature,keyAgreement\nsubjectKeyIdentifier = hash\n' > "$work/ec.ext"
issue ec "" "$start" "$end"
p8 ec

for n in ivs_sign ivs_sign2; do
    key $n "-algorithm RSA -pkeyopt rsa_keygen_bits:2048"
    cp "$work/plain.ext" "$work/$n.ext"
    issue $n "" "$start" "$end"
    p8 $n
done
key ivs_km "-algorithm RSA -pkeyopt rsa_keygen_bits:2048"
printf 'basicConstraints = CA:FALSE\nkeyUsage = critical,keyEncipherment\nsubjectKeyIdentifier = hash\n' > "$work/ivs_km.ext"
issue ivs_km "" "$start" "$end"
p8 ivs_km
