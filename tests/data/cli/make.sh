#!/bin/sh
# Makes the prepared directory of the qelt command tests (the verbs' help
# examples and the README's examples run in a copy of it). Run from this
# directory with the built tool: ./make.sh ../../../build/qelt
# Keys and certificates come from OpenSSL (certificates valid to 2049); the
# messages are made by qelt and OpenSSL from them.
#   ca.pem ca.der        a root CA
#   ee.pem ee.der ee.key ee.p8 ee.enc.pem   a signer/recipient: certificate, key
#                        (PEM PKCS#8, DER PKCS#8, and encrypted with pw.txt)
#   other.der other.p8   a second signer;  bob.pem bob.der bob.p8   a recipient
#   alice.pem alice.p8   the ee certificate and key under the README's names
#   pub.der              ee's SubjectPublicKeyInfo
#   data.bin hello.txt data.txt   contents;  pw.txt   the password "secret"
#   data.enc             data.bin under SEED with the help's key and IV
#   data.sig             ee's SHA-256 signature of data.bin
#   hello.p7 two.pem     hello.txt signed by ee (ContentInfo), then by other too (PEM)
#   msg.der msg.pem      data.txt enveloped for ee and bob (DER, PEM)
#   se.p7                hello.txt signed by ee and enveloped for bob
#   ed.der               data.bin as EncryptedData under the help's key and IV
#   shares.txt           five shares (any three restore) of a key
#   sig.bin              ee's signature of `cms tbs` over hello.txt at 20250102030405
#   tok.der              a time-stamp token over the signature value of hello.p7
#   contract.pdf contract.tst   a document and a time-stamp token over it (SHA-256)
#   app.ini              a profile file
#   user.der user.p8     a certificate with identification data for IDN 8001011234567
#                        and its key (copied from ../ident)
#   biz.der biz.p8       an RSA-1024 recipient of WAP messages (copied from ../ident)
#   legacy.p12           a PFX with a signing pair, password "pfx-test-pass" (copied from ../pfx)
#   ch.der resp.der      a challenge and alice's response to it
#   hello.sc hello.env   hello.txt as a WAP SignedContent by alice and enveloped for biz
set -eu
qelt=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QELT_WORKDIR="$work/qelt"
K=00112233445566778899aabbccddeeff
IV=0f0e0d0c0b0a09080706050403020100
days=8000  # to 2048-2049

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/ca.key" -subj "/CN=qelt test CA/O=Example/C=KR" \
    -days $days -addext basicConstraints=critical,CA:TRUE -addext keyUsage=keyCertSign,cRLSign -out ca.pem 2>/dev/null
openssl x509 -in ca.pem -outform DER -out ca.der
issue() {  # name subject
    openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$work/$1.key" 2>/dev/null
    openssl req -new -key "$work/$1.key" -subj "$2" -out "$work/$1.csr"
    printf 'basicConstraints=CA:FALSE\nkeyUsage=digitalSignature,nonRepudiation,keyEncipherment\n' > "$work/ext"
    openssl x509 -req -in "$work/$1.csr" -CA ca.pem -CAkey "$work/ca.key" -CAcreateserial -days $days -sha256 \
        -extfile "$work/ext" -out "$1.pem" 2>/dev/null
    openssl x509 -in "$1.pem" -outform DER -out "$1.der"
    openssl pkcs8 -topk8 -nocrypt -in "$work/$1.key" -outform DER -out "$1.p8"
}
issue ee "/CN=ee/O=Example/C=KR"
issue other "/CN=other/O=Example/C=KR"
issue bob "/CN=bob/O=Example/C=KR"
openssl pkcs8 -topk8 -nocrypt -in "$work/ee.key" -out ee.key
rm -f other.pem
cp ee.pem alice.pem
cp ee.p8 alice.p8
openssl x509 -in ee.pem -pubkey -noout | openssl pkey -pubin -outform DER -out pub.der
printf 'secret\n' > pw.txt
"$qelt" key encrypt -a seed --pass secret --pem ee.p8 -o ee.enc.pem

head -c 100000 /dev/urandom > data.bin
printf 'hello, signed world\n' > hello.txt
printf 'data for the recipients\n' > data.txt
printf '[LDAP]\nHOST = ldap.example.kr\nPORT = 389\n' > app.ini

"$qelt" enc -a seed -k $K -i $IV data.bin -o data.enc
"$qelt" sign -k ee.p8 -c ee.pem -a sha256 data.bin -o data.sig
"$qelt" cms sign -c ee.pem -k ee.p8 hello.txt -o hello.p7
"$qelt" cms sign -c other.der -k other.p8 --add hello.p7 --pem -o two.pem
"$qelt" cms encrypt -a seed -i data.txt -o msg.der ee.pem bob.der
"$qelt" cms encrypt -a seed -i data.txt --pem -o msg.pem ee.pem bob.der
"$qelt" cms signenc -c ee.pem -k ee.p8 -r bob.der hello.txt -o se.p7
"$qelt" cms encdata -a seed -k $K --iv $IV data.bin -o ed.der
"$qelt" share -n 5 -k 3 --key $K -o shares.txt

"$qelt" cms tbs -c ee.pem -t 20250102030405 hello.txt -o "$work/tbs.der"
openssl dgst -sha256 -binary "$work/tbs.der" > "$work/tbs.dgst"
openssl pkeyutl -sign -inkey "$work/ee.key" -pkeyopt digest:sha256 -in "$work/tbs.dgst" -out sig.bin

"$qelt" cms tst-get --tbt hello.p7 -o "$work/tbt.bin"
printf '[tsa]\ndefault_tsa = t\n[t]\nserial = %s/serial\nsigner_cert = %s/tsa.pem\nsigner_key = %s/tsa.key\nsigner_digest = sha256\ndefault_policy = 1.2.3.4\ndigests = sha256\ness_cert_id_alg = sha256\n' \
    "$work" "$work" "$work" > "$work/tsa.cnf"
echo 01 > "$work/serial"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/tsa.key" -subj /CN=qelt-test-tsa -days $days \
    -addext extendedKeyUsage=critical,timeStamping -out "$work/tsa.pem" 2>/dev/null
openssl ts -query -data "$work/tbt.bin" -sha256 -cert -out "$work/q.tsq"
openssl ts -reply -config "$work/tsa.cnf" -queryfile "$work/q.tsq" -out "$work/r.tsr" 2>/dev/null
openssl ts -reply -in "$work/r.tsr" -token_out -out tok.der 2>/dev/null
head -c 20000 /dev/urandom > contract.pdf
openssl ts -query -data contract.pdf -sha256 -cert -out "$work/c.tsq"
openssl ts -reply -config "$work/tsa.cnf" -queryfile "$work/c.tsq" -out "$work/c.tsr" 2>/dev/null
openssl ts -reply -in "$work/c.tsr" -token_out -out contract.tst 2>/dev/null
rm -f ca.srl

cp ../ident/user.der ../ident/user.p8 ../ident/biz.der ../ident/biz.p8 ../pfx/legacy.p12 .
"$qelt" sigea challenge -o ch.der
"$qelt" sigea respond -c alice.pem -k alice.p8 ch.der -o resp.der
"$qelt" wcms sign -c alice.pem -k alice.p8 hello.txt -o hello.sc
"$qelt" wcms encrypt -c biz.der -a seed hello.txt -o hello.env
