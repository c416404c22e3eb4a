#include "pkix_test_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>

#include "test_support.h"

namespace qelt::test {

std::vector<uint8_t> readFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool runIn(const std::filesystem::path& dir, const std::string& command) {
    const auto log = dir / "log.txt";
    std::error_code ignored;
    const auto before = std::filesystem::exists(log) ? std::filesystem::file_size(log, ignored) : 0;
    const std::string line = "cd '" + dir.string() + "' && (" + command + ") >>log.txt 2>&1";
    const int status = std::system(line.c_str());
    if (status == 0) return true;
    // A failed step shows what it printed, so a failure seen only on another
    // machine can be read from the test output.
    std::ifstream in(log, std::ios::binary);
    in.seekg(static_cast<std::streamoff>(before));
    std::string printed{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (printed.size() > 4000) printed.erase(0, printed.size() - 4000);
    std::fprintf(stderr, "command failed (status %d): %s\n%s\n", status, command.c_str(), printed.c_str());
    return false;
}

namespace {
// The inputs, made with the openssl command. Each line must succeed.
const char* const kRecipe[] = {
    // RSA CA and an EC end-entity certificate with many extensions
    "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 365 -subj '/C=KR/O=Qelt Test/CN=Test "
    "CA'"
    " -addext 'basicConstraints=critical,CA:TRUE,pathlen:1' -addext 'keyUsage=critical,keyCertSign,cRLSign'",
    "openssl x509 -in ca.pem -outform DER -out ca.der",
    "openssl ecparam -name prime256v1 -genkey -noout -out ee.key",
    "openssl req -new -key ee.key -out ee.csr -subj '/C=KR/ST=Seoul/O=Qelt "
    "Test/OU=Unit/CN=ee.example.com/emailAddress=ee@example.com'",
    "printf '%s\\n' 'basicConstraints=CA:FALSE' 'keyUsage=critical,digitalSignature,keyAgreement'"
    " 'extendedKeyUsage=serverAuth,clientAuth,emailProtection,timeStamping'"
    " 'subjectAltName=DNS:ee.example.com,DNS:*.example.com,IP:127.0.0.1,email:ee@example.com,URI:http://example.com/"
    "ee,RID:1.2.3.4,dirName:dir_sect,otherName:1.2.3.5;UTF8:other'"
    " 'subjectKeyIdentifier=hash' 'authorityKeyIdentifier=keyid,issuer'"
    " 'crlDistributionPoints=URI:http://example.com/ca.crl'"
    " 'authorityInfoAccess=OCSP;URI:http://127.0.0.1:8888,caIssuers;URI:http://example.com/ca.der'"
    " 'certificatePolicies=@pol_sect' 'policyConstraints=requireExplicitPolicy:0'"
    " 'nameConstraints=permitted;DNS:example.com,excluded;IP:10.0.0.0/255.0.0.0'"
    " '[dir_sect]' 'C=KR' 'O=Dir' 'CN=Dir Name'"
    " '[pol_sect]' 'policyIdentifier=1.2.410.200004.5.1.1.5' 'CPS.1=http://example.com/cps' 'userNotice.1=@notice'"
    " '[notice]' 'explicitText=Test notice' 'organization=Qelt' 'noticeNumbers=1,2' > ee.ext",
    "openssl x509 -req -in ee.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out ee.pem -days 90 -extfile ee.ext",
    "openssl x509 -in ee.pem -outform DER -out ee.der",
    // an RSA end-entity certificate for CMS
    "openssl req -new -newkey rsa:2048 -nodes -keyout rsa.key -out rsa.csr -subj '/C=KR/O=Qelt Test/CN=Signer'",
    "printf '%s\\n' 'subjectKeyIdentifier=hash' 'authorityKeyIdentifier=keyid' > rsa.ext",
    "openssl x509 -req -in rsa.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out rsa.pem -days 90 -extfile rsa.ext",
    "openssl x509 -in rsa.pem -outform DER -out rsa.der",
    // a CRL with entries and extensions
    "mkdir -p db && : > db/index.txt && echo 1000 > db/crlnumber",
    "printf '%s\\n' '[ca]' 'default_ca=c' '[c]' 'database=db/index.txt' 'crlnumber=db/crlnumber' 'default_md=sha256'"
    " 'default_crl_days=30' 'crl_extensions=crl_ext' '[crl_ext]' 'authorityKeyIdentifier=keyid:always' > ca.cnf",
    "openssl ca -config ca.cnf -keyfile ca.key -cert ca.pem -revoke ee.pem -crl_reason keyCompromise",
    "openssl ca -config ca.cnf -keyfile ca.key -cert ca.pem -revoke rsa.pem -crl_reason superseded",
    "openssl ca -config ca.cnf -keyfile ca.key -cert ca.pem -gencrl -out ca.crl.pem",
    "openssl crl -in ca.crl.pem -outform DER -out ca.crl",
    // CMS: SignedData with two signers and certificates, detached and streamed forms, EnvelopedData
    "printf 'hello, signed world\\n' > msg.txt",
    "openssl cms -sign -in msg.txt -signer rsa.pem -inkey rsa.key -signer ee.pem -inkey ee.key -certfile ca.pem"
    " -outform DER -out signed.der -nodetach -binary",
    "openssl cms -sign -in msg.txt -signer rsa.pem -inkey rsa.key -outform DER -out signed_stream.der -stream "
    "-nodetach -binary",
    "openssl cms -encrypt -in msg.txt -aes256 -recip rsa.pem -outform DER -out enveloped.der -binary",
    "openssl cms -encrypt -in msg.txt -aes128 -recip rsa.pem -keyid -outform DER -out enveloped_keyid.der -binary",
    "openssl cms -encrypt -in msg.txt -aes128 -recip ee.pem -recip rsa.pem -outform DER -out enveloped_ec.der -binary",
    "openssl cms -encrypt -in msg.txt -aes128 -secretkey 000102030405060708090A0B0C0D0E0F -secretkeyid 0A0B0C0D"
    " -outform DER -out enveloped_kek.der -binary",
    "openssl cms -encrypt -in msg.txt -aes128 -pwri_password secret -outform DER -out enveloped_pwri.der -binary",
    "openssl cms -encrypt -in msg.txt -aes128 -recip rsa.pem -outform DER -out enveloped_stream.der -stream -binary",
    "openssl cms -EncryptedData_encrypt -in msg.txt -aes-128-cbc -secretkey 000102030405060708090A0B0C0D0E0F"
    " -outform DER -out encrypted.der",
    // PKCS#8, PKCS#12
    "openssl pkcs8 -topk8 -in rsa.key -nocrypt -outform DER -out rsa.p8",
    "openssl pkcs8 -topk8 -in rsa.key -v2 aes-256-cbc -passout pass:secret -outform DER -out rsa_enc.p8",
    "openssl pkcs8 -topk8 -in ee.key -v2 aes-128-cbc -v2prf hmacWithSHA256 -passout pass:secret -outform DER -out "
    "ee_enc.p8",
    "openssl pkcs12 -export -in rsa.pem -inkey rsa.key -certfile ca.pem -passout pass:secret -out rsa.p12",
    // OCSP request and response
    "openssl ocsp -issuer ca.pem -cert ee.pem -cert rsa.pem -reqout ocsp_req.der -no_nonce",
    "openssl ocsp -issuer ca.pem -cert ee.pem -reqout ocsp_req_nonce.der",
    "openssl ocsp -index db/index.txt -rsigner ca.pem -rkey ca.key -CA ca.pem -reqin ocsp_req.der -respout "
    "ocsp_resp.der",
    // time-stamp request and response
    "printf '%s\\n' '[tsa]' 'default_tsa=t' '[t]' 'serial=tsaserial' 'signer_cert=tsa.pem' 'signer_key=tsa.key'"
    " 'default_policy=1.2.3.4.1' 'digests=sha256' 'signer_digest=sha256' 'accuracy=secs:1,millisecs:500' "
    "'ordering=yes' 'tsa_name=yes'"
    " 'ess_cert_id_chain=no' 'ess_cert_id_alg=sha256' > tsa.cnf",
    "printf '%s\\n' 'extendedKeyUsage=critical,timeStamping' > tsa.ext",
    "openssl req -new -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.csr -subj '/C=KR/O=Qelt Test/CN=TSA'",
    "openssl x509 -req -in tsa.csr -CA ca.pem -CAkey ca.key -CAcreateserial -out tsa.pem -days 90 -extfile tsa.ext",
    "openssl ts -query -data msg.txt -sha256 -cert -out ts_req.der",
    "openssl ts -reply -config tsa.cnf -queryfile ts_req.der -out ts_resp.der",
    "openssl ts -reply -in ts_resp.der -token_out -out ts_token.der",
};
}  // namespace

const std::filesystem::path& opensslFixtures() {
    static RemovedAtExit owner;
    static const std::filesystem::path dir = [] {
        // One directory per process: CTest runs test cases as parallel processes.
        std::filesystem::path d = scratchDir("pkix-openssl-" + std::to_string(::getpid()));
        bool allMade = true;
        for (const char* step : kRecipe) {
            if (runIn(d, step)) continue;
            allMade = false;
            ADD_FAILURE() << "openssl step failed: " << step << " (see " << d << "/log.txt)";
        }
        if (allMade) owner.path = d;  // kept for a look when a step failed
        return d;
    }();
    return dir;
}

}  // namespace qelt::test
