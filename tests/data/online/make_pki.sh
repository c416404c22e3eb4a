#!/bin/sh
# Makes the PKI the online-service tests use: a root, an issuing CA made with
# "openssl ca" (so its index.txt serves the OCSP responder), end-entity
# certificates that are good, revoked (keyCompromise), on hold and unknown to
# the responder, a delegated OCSP responder (id-kp-OCSPSigning), a responder
# nobody trusts, and a time-stamping authority (critical extendedKeyUsage
# timeStamping). RSA-2048 throughout, valid from 2024 to 2049.
#
# Run from this directory: sh make_pki.sh. The outputs are committed; the
# script is kept so they can be made again.
set -eu
cd "$(dirname "$0")"
rm -rf work && mkdir -p work/newcerts
: > work/index.txt
echo 1000 > work/serial
START=20240101000000Z
END=20491231235959Z

cat > work/ext.cnf <<'CNF'
[ca]
default_ca = ca_sect
[ca_sect]
dir = work
database = $dir/index.txt
new_certs_dir = $dir/newcerts
serial = $dir/serial
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
countryName = optional
organizationName = optional
organizationalUnitName = optional
commonName = supplied
[req]
distinguished_name = dn
prompt = no
[dn]
CN = unused
[x_root]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[x_ca]
basicConstraints = critical,CA:true,pathlen:0
keyUsage = critical,keyCertSign,cRLSign
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[x_ee]
basicConstraints = CA:false
keyUsage = critical,digitalSignature,nonRepudiation
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
authorityInfoAccess = OCSP;URI:http://127.0.0.1:1/ocsp
[x_ee_noaia]
basicConstraints = CA:false
keyUsage = critical,digitalSignature,nonRepudiation
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[x_responder]
basicConstraints = CA:false
keyUsage = critical,digitalSignature,nonRepudiation
extendedKeyUsage = OCSPSigning
noCheck = ignored
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
[x_tsa]
basicConstraints = CA:false
keyUsage = critical,digitalSignature,nonRepudiation
extendedKeyUsage = critical,timeStamping
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
CNF

key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1.key"; }
csr() { openssl req -new -config work/ext.cnf -key "$1.key" -subj "$2" -out "work/$1.csr"; }
# sign NAME ISSUER EXTSECTION
sign() {
    openssl ca -batch -config work/ext.cnf -notext -startdate $START -enddate $END \
        -cert "$2.pem" -keyfile "$2.key" -extfile work/ext.cnf -extensions "x_$3" \
        -in "work/$1.csr" -out "$1.pem"
}

key root
csr root "/C=KR/O=Qelt Test/CN=Qelt Online Root CA"
openssl ca -batch -config work/ext.cnf -notext -selfsign -startdate $START -enddate $END \
    -keyfile root.key -extfile work/ext.cnf -extensions x_root -in work/root.csr -out root.pem

key ca
csr ca "/C=KR/O=Qelt Test/CN=Qelt Online CA"
sign ca root ca
# From here on the issuing CA's own database: what its OCSP responder answers from.
: > work/index.txt
for n in good revoked hold noaia; do key $n; done
csr good "/C=KR/O=Qelt Test/CN=good user"
csr revoked "/C=KR/O=Qelt Test/CN=revoked user"
csr hold "/C=KR/O=Qelt Test/CN=suspended user"
csr noaia "/C=KR/O=Qelt Test/CN=user without AIA"
sign good ca ee
sign revoked ca ee
sign hold ca ee
sign noaia ca ee_noaia
key responder
csr responder "/C=KR/O=Qelt Test/CN=Qelt Online OCSP Responder"
sign responder ca responder
key tsa
csr tsa "/C=KR/O=Qelt Test/CN=Qelt Online TSA"
sign tsa ca tsa
openssl ca -batch -config work/ext.cnf -cert ca.pem -keyfile ca.key -revoke revoked.pem \
    -crl_reason keyCompromise
openssl ca -batch -config work/ext.cnf -cert ca.pem -keyfile ca.key -revoke hold.pem \
    -crl_hold holdInstructionReject
cp work/index.txt index.txt

# Issued by the CA outside its database: the responder does not know it.
key unknown
csr unknown "/C=KR/O=Qelt Test/CN=unknown user"
openssl x509 -req -in work/unknown.csr -CA ca.pem -CAkey ca.key -set_serial 0x2001 -days 9000 \
    -extfile work/ext.cnf -extensions x_ee -out unknown.pem

# An Authority Key Identifier of 16 bytes: without the issuer's certificate
# no CertID can be made for it.
key shortaki
csr shortaki "/C=KR/O=Qelt Test/CN=short key identifier"
cat >> work/ext.cnf <<'CNF'
[x_shortaki]
basicConstraints = CA:false
keyUsage = critical,digitalSignature
2.5.29.35 = DER:30:12:80:10:00:11:22:33:44:55:66:77:88:99:aa:bb:cc:dd:ee:ff
CNF
openssl x509 -req -in work/shortaki.csr -CA ca.pem -CAkey ca.key -set_serial 0x2002 -days 9000 \
    -extfile work/ext.cnf -extensions x_shortaki -out shortaki.pem

# A responder of its own making that nobody trusts.
key rogue
openssl req -new -x509 -config work/ext.cnf -key rogue.key -subj "/C=KR/O=Elsewhere/CN=Rogue Responder" \
    -days 9000 -addext "extendedKeyUsage=OCSPSigning" -out rogue.pem

for n in root ca good revoked hold noaia unknown shortaki responder tsa rogue; do
    openssl x509 -in $n.pem -outform DER -out $n.der
done
for n in good tsa; do
    openssl pkcs8 -topk8 -nocrypt -in $n.key -outform DER -out $n.key.der
done
cat root.pem ca.pem > chain.pem

# The time-stamping authority's configuration for "openssl ts -reply".
cat > tsa.cnf <<'CNF'
[tsa]
default_tsa = tsa_sect
[tsa_sect]
serial = tsa_serial
signer_cert = tsa.pem
certs = chain.pem
signer_key = tsa.key
signer_digest = sha256
default_policy = 1.2.410.200004.5.99.1
other_policies = 1.2.410.200004.5.99.2
digests = sha1, sha256, md5
accuracy = secs:1, millisecs:500
ordering = no
tsa_name = no
ess_cert_id_chain = no
ess_cert_id_alg = sha1
CNF
# A token of the TSA over a small document, for the README's examples.
printf 'A document stamped by the test TSA.\n' > sample.txt
echo 01 > work/tsa_serial
sed "s#tsa_serial#work/tsa_serial#" tsa.cnf > work/tsa.cnf
openssl ts -query -data sample.txt -sha256 -cert -out work/sample.tsq
openssl ts -reply -config work/tsa.cnf -queryfile work/sample.tsq -token_out -out sample.tst

# Keys nothing signs with again.
rm -f root.key revoked.key hold.key noaia.key unknown.key shortaki.key
rm -rf work *.srl
