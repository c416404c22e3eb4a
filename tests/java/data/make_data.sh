#!/usr/bin/env bash
# Makes the keys and certificates of the Java tests with the openssl command
# (run once; the output is committed). Valid until the end of 2049, past the
# 32-bit time limit.
set -euo pipefail
cd "$(dirname "$0")"
export LC_ALL=C
days=$(( ( $(date -d 2049-12-31 +%s) - $(date +%s) ) / 86400 ))
cat > ee.ext <<'X'
basicConstraints=critical,CA:FALSE
keyUsage=critical,digitalSignature,nonRepudiation,keyEncipherment,dataEncipherment
certificatePolicies=1.2.410.200004.5.2.1.1
subjectKeyIdentifier=hash
authorityKeyIdentifier=keyid
X
openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -subj "/C=KR/O=Qelt Test/CN=Qelt Test CA" \
  -days "$days" -addext "keyUsage=critical,keyCertSign,cRLSign" -out ca.pem 2>/dev/null
openssl x509 -in ca.pem -outform DER -out ca.der
for n in user user2; do
  openssl req -new -newkey rsa:2048 -nodes -keyout $n.key -subj "/C=KR/O=Qelt Test/CN=$n" -out $n.csr 2>/dev/null
  openssl x509 -req -in $n.csr -CA ca.pem -CAkey ca.key -set_serial 0x1f2e3d4c5b$RANDOM -days "$days" \
    -extfile ee.ext -out $n.pem 2>/dev/null
  openssl x509 -in $n.pem -outform DER -out $n.der
  openssl pkcs8 -topk8 -nocrypt -in $n.key -outform DER -out $n.p8
done
# The signer's key under a password (PBES2, 3DES, PBKDF2 with HMAC-SHA-1).
openssl pkcs8 -topk8 -in user.key -v2 des3 -v2prf hmacWithSHA1 -passout pass:qwer1234 -outform DER -out user_enc.p8
# A small self-signed key for the long no-leak loop (the key size does not matter there).
openssl req -x509 -newkey rsa:1024 -nodes -keyout leak.key -subj "/CN=leak" -days "$days" -outform DER -out leak.der 2>/dev/null
openssl pkcs8 -topk8 -nocrypt -in leak.key -outform DER -out leak.p8
rm -f leak.key ee.ext ./*.csr ca.srl
