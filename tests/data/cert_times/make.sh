#!/bin/sh
# Makes the certificates whose validity lies outside 1970 to 2038 with
# `openssl ca` (run from this directory; the outputs are committed):
#   ca.pem       the issuing CA (RSA-2048), valid 1950-01-01 to 2050-12-31
#   utc2049.pem  end entity, notBefore 1950-01-01 00:00:00 and notAfter
#                2049-12-31 23:59:59 (both UTCTime: 500101000000Z, 491231235959Z)
#   gen2050.pem  end entity, notBefore 2020-01-01 00:00:00 (UTCTime), notAfter
#                2050-06-30 12:00:00 (GeneralizedTime 20500630120000Z)
# with their DER forms (*.der) and the end entities' PKCS#8 keys (*.p8).
set -eu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cat > "$work/ca.cnf" <<CNF
[ca]
default_ca = own
[own]
dir = $work
database = $work/index.txt
new_certs_dir = $work
serial = $work/serial
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = supplied
[ee_ext]
basicConstraints = CA:FALSE
keyUsage = digitalSignature, keyEncipherment
[ca_ext]
basicConstraints = critical, CA:TRUE
keyUsage = keyCertSign, cRLSign
subjectKeyIdentifier = hash
CNF
: > "$work/index.txt"
echo 01 > "$work/serial"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/ca.key" 2>/dev/null
openssl req -new -key "$work/ca.key" -subj "/CN=Times CA" -out "$work/ca.csr"
openssl ca -batch -config "$work/ca.cnf" -selfsign -keyfile "$work/ca.key" -in "$work/ca.csr" \
    -startdate 19500101000000Z -enddate 20501231235959Z -extensions ca_ext -notext -out ca.pem 2>/dev/null
make_ee() {  # name start end
    openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/$1.key" 2>/dev/null
    openssl req -new -key "$work/$1.key" -subj "/CN=$1" -out "$work/$1.csr"
    openssl ca -batch -config "$work/ca.cnf" -cert ca.pem -keyfile "$work/ca.key" -in "$work/$1.csr" \
        -startdate "$2" -enddate "$3" -extensions ee_ext -notext -out "$1.pem" 2>/dev/null
    openssl x509 -in "$1.pem" -outform DER -out "$1.der"
    openssl pkcs8 -topk8 -nocrypt -in "$work/$1.key" -outform DER -out "$1.p8"
}
make_ee utc2049 19500101000000Z 20491231235959Z
make_ee gen2050 20200101000000Z 20500630120000Z
openssl x509 -in ca.pem -outform DER -out ca.der
