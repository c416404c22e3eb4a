#include "cert_fixtures.h"

#include <unistd.h>

#include <array>
#include <cstdio>

#include "../ASN1Pkix/pkix_test_support.h"
#include "test_support.h"
#include "tools/cli_run.h"

namespace qelt::test {

namespace {

// Subject alternative names that the openssl configuration cannot write: an
// O/R address (country KR, organization "Org", surname "Kim") and an EDI party
// name (assigner UTF8String "abc", party PrintableString "xyz").
constexpr const char* kOrAndEdiSan = "3026A3143012610413024B5283034F7267A50580034B696DA50EA0050C03616263A105130378797A";
// Certificate policies with one user notice whose text is a BMPString ("한국").
constexpr const char* kBmpNoticePolicy =
    "301D301B06032A03043014301206082B060105050702023006"
    "1E04D55CAD6D";

const char* const kEeExtensions[] = {
    "basicConstraints=CA:FALSE",
    "keyUsage=digitalSignature,nonRepudiation",
    "certificatePolicies=@pol1,@pol2,1.2.410.200004.2.1",
    "extendedKeyUsage=serverAuth,clientAuth,1.2.3.4",
    "subjectAltName=@san",
    "subjectKeyIdentifier=hash",
    "authorityKeyIdentifier=keyid:always,issuer:always",
    "crlDistributionPoints=dp1,dp2",
    "authorityInfoAccess=OCSP;URI:http://ocsp.example.kr:8080,caIssuers;URI:http://ca.example.kr/ca.der",
    "[pol1]",
    "policyIdentifier=1.2.410.200004.5.1.1.7",
    "CPS.1=http://ca.example.kr/cps.html",
    "userNotice.1=@notice_utf8",
    "[pol2]",
    "policyIdentifier=1.2.410.200004.5.1.1.9",
    "userNotice.1=@notice_vis",
    "[notice_utf8]",
    "explicitText=UTF8:이 인증서는 공인인증서입니다",
    "organization=Example",
    "noticeNumbers=1,2",
    "[notice_vis]",
    "explicitText=VISIBLE:Visible notice",
    "[san]",
    "email.1=hong@example.kr",
    "DNS.1=www.example.kr",
    "IP.1=192.168.0.1",
    "IP.2=2001:db8::1",
    "URI.1=http://www.example.kr/",
    "RID.1=1.2.3.4.5",
    "dirName.1=dir_sect",
    "otherName.1=1.2.3.5;UTF8:other",
    "otherName.2=2.5.4.3;UTF8:cnvalue",
    "otherName.3=1.2.410.200004.10.1.1;SEQUENCE:idd",
    "[dir_sect]",
    "C=KR",
    "O=Dir Org",
    "CN=Dir Name",
    "[idd]",
    "realName=FORMAT:UTF8,UTF8:홍길동",
    "userInfo=SEQUENCE:uinfos",
    "[uinfos]",
    "info=SEQUENCE:uinfo",
    "[uinfo]",
    "type=OID:1.2.410.200004.10.1.1.1",
    "vid=SEQUENCE:vid",
    "[vid]",
    "hashAlg=SEQUENCE:sha1alg",
    "virtualID=EXPLICIT:0,FORMAT:HEX,OCTETSTRING:0102030405",
    "[sha1alg]",
    "alg=OID:1.3.14.3.2.26",
    "[dp1]",
    "fullname=URI:http://crl.example.kr/ca.crl,URI:ldap://ldap.example.kr/cn=crl",
    "reasons=keyCompromise,CACompromise",
    "[dp2]",
    "relativename=rdn_sect",
    "CRLissuer=dirName:dir_sect",
    "[rdn_sect]",
    "CN=dp2",
};

std::string linesCommand(const char* const* lines, size_t n, const std::string& file) {
    std::string cmd = "printf '%s\\n'";
    for (size_t i = 0; i < n; ++i) cmd += std::string(" '") + lines[i] + "'";
    return cmd + " > " + file;
}

std::string unknownExtensions(int count) {
    std::string cmd = "printf '%s\\n'";
    for (int i = 1; i <= count; ++i) cmd += " '1.2.3.100." + std::to_string(i) + "=ASN1:NULL'";
    return cmd;
}

}  // namespace

const std::filesystem::path& certFixtures() {
    static RemovedAtExit owner;
    static const std::filesystem::path dir = [] {
        const std::filesystem::path d = scratchDir("cert-openssl-" + std::to_string(::getpid()));
        const std::string steps[] = {
            "openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 365 -subj "
            "'/C=KR/O=Example/CN=Root CA' -addext 'basicConstraints=critical,CA:TRUE,pathlen:0'"
            " -addext 'keyUsage=critical,keyCertSign,cRLSign' -addext 'subjectKeyIdentifier=hash'",
            "openssl x509 -in ca.pem -outform DER -out ca.der",
            linesCommand(kEeExtensions, std::size(kEeExtensions), "ee.ext"),
            "openssl req -new -newkey rsa:2048 -nodes -keyout ee.key -out ee.csr -utf8 "
            "-subj '/C=KR/O=Example/OU=people/CN=홍길동'",
            "openssl x509 -req -in ee.csr -CA ca.pem -CAkey ca.key -set_serial 0x8F01 -days 30 -extfile ee.ext "
            "-out ee.pem",
            "openssl x509 -in ee.pem -outform DER -out ee.der",
            // EC: a BMPString subject, two-octet key usage, raw policy and alternative names
            "printf '%s\\n' '[req]' 'prompt=no' 'utf8=yes' 'string_mask=MASK:0x800' 'distinguished_name=dn'"
            " '[dn]' 'CN=김철수' > bmp.cnf",
            std::string("printf '%s\\n' 'keyUsage=keyAgreement,decipherOnly' 'basicConstraints=critical,CA:TRUE'") +
                " '2.5.29.32=DER:" + kBmpNoticePolicy + "' '2.5.29.17=DER:" + kOrAndEdiSan + "' > ec.ext",
            "openssl ecparam -name prime256v1 -genkey -noout -out ec.key",
            "openssl req -new -key ec.key -config bmp.cnf -out ec.csr",
            "openssl x509 -req -in ec.csr -signkey ec.key -days 10 -extfile ec.ext -out ec.pem",
            "openssl x509 -in ec.pem -outform DER -out ec.der",
            // a multi-valued RDN, an attribute without a short name, an accented letter
            "openssl req -new -key ee.key -utf8 -multivalue-rdn -x509 -days 1 -out mv.pem "
            "-subj '/C=KR/O=café/2.5.4.65=alias/CN=Tester+serialNumber=7'",
            "openssl x509 -in mv.pem -outform DER -out mv.der",
            // the three WTLS curves that have a key size, and an expired certificate
            "for c in sect163k1 c2pnb163v1 secp160r1; do openssl ecparam -name $c -genkey -noout -out $c.key &&"
            " openssl req -x509 -key $c.key -subj /CN=$c -days 1 -outform DER -out $c.der || exit 1; done",
            "openssl x509 -req -in ee.csr -signkey ee.key -days -1 -outform DER -out expired.der",
            "for n in 512 1024; do openssl req -x509 -newkey rsa:$n -nodes -keyout rsa$n.key -subj /CN=rsa$n -days 1"
            " -outform DER -out rsa$n.der || exit 1; done",
            // no extensions at all
            "openssl x509 -req -in ee.csr -signkey ee.key -days 5 -out v1.pem",
            "openssl x509 -in v1.pem -outform DER -out v1.der",
            // the reserve of unknown extensions: full, and one too many; two key usage extensions
            unknownExtensions(10) + " > u10.ext",
            unknownExtensions(11) + " > u11.ext",
            "openssl x509 -req -in ee.csr -signkey ee.key -days 5 -extfile u10.ext -outform DER -out unknown10.der",
            "openssl x509 -req -in ee.csr -signkey ee.key -days 5 -extfile u11.ext -outform DER -out unknown11.der",
            "printf '%s\\n' 'keyUsage=digitalSignature' '2.5.29.15=DER:03020106' > twoku.ext",
            "openssl x509 -req -in ee.csr -signkey ee.key -days 5 -extfile twoku.ext -outform DER -out twoku.der",
        };
        for (const std::string& step : steps)
            if (!runIn(d, step))
                ADD_FAILURE() << "fixture step failed: " << step << " (see " << d / "log.txt"
                              << ")";
        return d;
    }();
    if (owner.path.empty()) owner.path = dir;
    return dir;
}

std::vector<uint8_t> fixtureBytes(const std::string& name) { return readFileBytes(certFixtures() / name); }

std::string opensslOutput(const std::string& command) {
    return runCommand("cd '" + certFixtures().string() + "' && " + command + " 2>/dev/null").out;
}

}  // namespace qelt::test
