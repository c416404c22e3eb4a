#!/usr/bin/env bash
# Regenerates the PFX test material with the openssl command (run from this
# directory). Keys are RSA-2048; the certificates are self-signed and valid
# until 2051 so the fixtures outlive the code that reads them.
#   sign.key/.der   PKCS#8 key and certificate with keyUsage digitalSignature, nonRepudiation
#   km.key/.der     key and certificate with keyUsage keyEncipherment
#   ca.key/.der     key and certificate with keyUsage keyCertSign, cRLSign only
#   legacy.p12      sign pair; 3DES key bag, RC2-40 certificates, SHA-1 MAC, 2048 iterations
#   chain.p12       km pair plus the CA certificate without a local key id
#   rc4.p12         sign pair; RC4-128 key bag, RC4-40 certificates
#   nomac.p12       sign pair without MacData
#   modern.p12      sign pair in OpenSSL 3's default form (PBES2/AES-256, SHA-256 MAC)
#   ca-only.p12     the CA pair (neither a signing nor a key-distribution certificate)
# The password of every PFX is "pfx-test-pass".
set -euo pipefail
pass=pass:pfx-test-pass
subj() { echo "/C=KR/O=qeltapi test/CN=$1"; }
mk() {  # name keyUsage
    openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1.pem"
    openssl pkcs8 -topk8 -nocrypt -in "$1.pem" -outform DER -out "$1.key"
    openssl req -new -x509 -key "$1.pem" -subj "$(subj "$1")" -days 9000 -sha256 \
        -addext "keyUsage=critical,$2" -outform DER -out "$1.der"
    openssl x509 -inform DER -in "$1.der" -out "$1.crt"
}
mk sign digitalSignature,nonRepudiation
mk km keyEncipherment
mk ca keyCertSign,cRLSign
legacy=(-keypbe PBE-SHA1-3DES -certpbe PBE-SHA1-RC2-40 -macalg sha1 -iter 2048)
openssl pkcs12 -export -legacy "${legacy[@]}" -inkey sign.pem -in sign.crt -passout $pass -out legacy.p12
openssl pkcs12 -export -legacy "${legacy[@]}" -inkey km.pem -in km.crt -certfile ca.crt -passout $pass -out chain.p12
openssl pkcs12 -export -legacy -keypbe PBE-SHA1-RC4-128 -certpbe PBE-SHA1-RC4-40 -macalg sha1 \
    -inkey sign.pem -in sign.crt -passout $pass -out rc4.p12
openssl pkcs12 -export -legacy "${legacy[@]}" -nomac -inkey sign.pem -in sign.crt -passout $pass -out nomac.p12
openssl pkcs12 -export -inkey sign.pem -in sign.crt -passout $pass -out modern.p12
openssl pkcs12 -export -legacy "${legacy[@]}" -inkey ca.pem -in ca.crt -passout $pass -out ca-only.p12
rm -f ./*.pem ./*.crt
