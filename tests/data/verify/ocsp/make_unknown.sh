#!/bin/sh
# Makes unknown.der: a certificate the online tests' CA (../../online) issues
# outside its database, so that its OCSP responder answers "unknown", with a
# validity inside the CA's (2024 to 2049) so that its path validates. The key
# is the good user's: only the serial number and the name matter here.
#
# Run from this directory: sh make_unknown.sh. The output is committed.
set -eu
cd "$(dirname "$0")"
online=../../online
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/newcerts"
: > "$work/index.txt"
echo 3001 > "$work/serial"
cat > "$work/ca.cnf" <<CNF
[ca]
default_ca = ca_sect
[ca_sect]
dir = $work
database = \$dir/index.txt
new_certs_dir = \$dir/newcerts
serial = \$dir/serial
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
countryName = optional
organizationName = optional
commonName = supplied
[req]
distinguished_name = dn
prompt = no
[dn]
CN = unused
[x_ee]
basicConstraints = CA:false
keyUsage = critical,digitalSignature,nonRepudiation
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
authorityInfoAccess = OCSP;URI:http://127.0.0.1:1/ocsp
CNF
openssl pkcs8 -inform DER -nocrypt -in "$online/good.key.der" -out "$work/key.pem"
openssl req -new -config "$work/ca.cnf" -key "$work/key.pem" -subj "/C=KR/O=Qelt Test/CN=unknown user" \
    -out "$work/unknown.csr"
openssl ca -batch -config "$work/ca.cnf" -notext -startdate 20240101000000Z -enddate 20491231235959Z \
    -cert "$online/ca.pem" -keyfile "$online/ca.key" -extfile "$work/ca.cnf" -extensions x_ee \
    -in "$work/unknown.csr" -out "$work/unknown.pem"
openssl x509 -in "$work/unknown.pem" -outform DER -out unknown.der
