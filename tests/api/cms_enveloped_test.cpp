// EnvelopedData and EncryptedData through the exported functions, against the
// openssl command in both directions, plus our own national ciphers and the
// refusals callers rely on.
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "ASN1Pkix/PEnvelopedData.h"
#include "ZRCrypto/algorithm_ids.h"
#include "pkey_test_keys.h"

namespace qelt::test {
namespace {

constexpr const char* kLegacy = " -provider legacy -provider default";

// Three RSA-2048 recipients (certificate without keyUsage), made once per
// process; the directory names carry the process id because the test runner
// runs tests of this file in parallel processes.
const TestKey& rsaRecipient(const std::string& name) {
    static std::map<std::string, TestKey> keys;
    auto it = keys.find(name);
    if (it == keys.end()) {
        TestKey k = opensslKey("cmsenv-" + name + "-" + std::to_string(getpid()),
                               "-algorithm RSA -pkeyopt rsa_keygen_bits:2048");
        EXPECT_TRUE(openssl(k.dir, "x509 -inform DER -in cert.der -out cert.pem"));
        it = keys.emplace(name, std::move(k)).first;
    }
    return it->second;
}

Bytes certList(std::initializer_list<const TestKey*> keys) {
    OwnedBinstr list;
    void* c = nullptr;
    EXPECT_EQ(QELT_API_Init(&c, "/tmp"), 0);
    for (const TestKey* k : keys) {
        OwnedBinstr cert(k->cert);
        EXPECT_EQ(QELT_CERT_AddCert(c, &cert, &list), 0);
    }
    QELT_API_Finish(&c);
    return list.vec();
}

const std::string kText = "Enveloped content for several recipients.\nSecond line.";

class CmsEnveloped : public ApiTest {
protected:
    Bytes make(const TestKey& to, int alg, int rc = 0) {
        OwnedBinstr cert(to.cert), data(kText), out;
        EXPECT_EQ(QELT_CMS_MakeEnvelopedData(ctx, &cert, &data, alg, &out), rc) << errInfo();
        return out.vec();
    }
    // The plaintext, or "" with the code in lastRc.
    std::string open(const TestKey& as, const Bytes& msg, const Bytes* key = nullptr) {
        OwnedBinstr cert(as.cert), pri(key ? *key : as.pkcs8), in(msg), out;
        lastRc = QELT_CMS_ProcessEnvelopedData(ctx, &cert, &pri, &in, &out);
        return out.str();
    }
    int lastRc = 0;
};

TEST_F(CmsEnveloped, OursOpenWithOpensslForDesAnd3DesPkcs1AndOaep) {
    const TestKey &a = rsaRecipient("a"), &b = rsaRecipient("b");
    const Bytes both = certList({&a, &b});
    for (int option : {QELT_OPT_RSA_PKCS1, QELT_OPT_RSA_OAEP}) {
        ASSERT_EQ(QELT_API_SetOption(ctx, option), 0);
        ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);  // openssl reads ContentInfo only
        for (int alg : {QELT_SYM_DES, QELT_SYM_3DES}) {
            OwnedBinstr list(both), data(kText), out;
            ASSERT_EQ(QELT_CMS_MakeEnvelopedDataWithMultiRecipients(ctx, &list, &data, alg, &out), 0) << errInfo();
            putFile(a.dir / "ours.der", out.vec());
            for (const TestKey* k : {&a, &b}) {
                const std::string cmd = "cms -decrypt -inform DER -in '" + (a.dir / "ours.der").string() +
                                        "' -recip cert.pem -inkey key.pem -out plain.txt" + kLegacy;
                ASSERT_TRUE(openssl(k->dir, cmd)) << "option " << option << " alg " << alg;
                const Bytes plain = fileBytes(k->dir / "plain.txt");
                EXPECT_EQ(std::string(plain.begin(), plain.end()), kText);
            }
            // The key transport algorithm follows the option word.
            const std::string der = out.str();
            const std::string oaepOid("\x06\x09\x2a\x86\x48\x86\xf7\x0d\x01\x01\x07", 11);
            EXPECT_EQ(der.find(oaepOid) != std::string::npos, option == QELT_OPT_RSA_OAEP);
        }
    }
}

TEST_F(CmsEnveloped, OpensslMessagesOpenWithOurs) {
    const TestKey &a = rsaRecipient("a"), &b = rsaRecipient("b");
    putFile(a.dir / "data.txt", Bytes(kText.begin(), kText.end()));
    const std::string in = "'" + (a.dir / "data.txt").string() + "'";
    const std::string certB = "'" + (b.dir / "cert.pem").string() + "'";
    const struct {
        const char* cipher;
        const char* recipOpts;
    } cases[] = {{"-des3", ""}, {"-des", ""}, {"-seed", ""}, {"-des3", " -keyopt rsa_padding_mode:oaep"}};
    for (const auto& c : cases) {
        const std::string cmd = std::string("cms -encrypt -binary ") + c.cipher + " -in " + in +
                                " -outform DER -out theirs.der -recip cert.pem" + c.recipOpts + " -recip " + certB +
                                c.recipOpts + kLegacy;
        ASSERT_TRUE(openssl(a.dir, cmd)) << cmd;
        const Bytes msg = fileBytes(a.dir / "theirs.der");
        EXPECT_EQ(open(a, msg), kText) << c.cipher << c.recipOpts << ": " << errInfo();
        EXPECT_EQ(open(b, msg), kText) << c.cipher << c.recipOpts << ": " << errInfo();
    }
}

TEST_F(CmsEnveloped, RecipientsKeysAndSessionKey) {
    const TestKey &a = rsaRecipient("a"), &b = rsaRecipient("b"), &c = rsaRecipient("c");
    OwnedBinstr list(certList({&a, &b})), data(kText), out;
    ASSERT_EQ(QELT_CMS_MakeEnvelopedDataWithMultiRecipients(ctx, &list, &data, QELT_SYM_3DES, &out), 0) << errInfo();
    const Bytes msg = out.vec();

    // The CEK and IV of the message are the context's session key after making it.
    int alg = 0;
    OwnedBinstr cek, iv, plain, cipher;
    ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &cek, &iv), 0);
    EXPECT_EQ(alg, QELT_SYM_3DES);
    EXPECT_EQ(cek.b.nLen, 24);
    EXPECT_EQ(iv.b.nLen, 8);

    EXPECT_EQ(open(a, msg), kText);
    EXPECT_EQ(open(b, msg), kText);
    OwnedBinstr cek2, iv2;
    ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &cek2, &iv2), 0);
    EXPECT_EQ(cek2.vec(), cek.vec());
    EXPECT_EQ(iv2.vec(), iv.vec());

    EXPECT_EQ(open(c, msg), "");
    EXPECT_EQ(lastRc, QELT_ERR_CERT_CANNOT_DECRYPT);
    EXPECT_EQ(open(a, msg, &b.pkcs8), "");  // right certificate, wrong key
    EXPECT_EQ(lastRc, QELT_ERR_KEYPAIR_CHECK);
    EXPECT_EQ(open(a, msg, &a.cert), "");  // a certificate is not a private key
    EXPECT_EQ(lastRc, QELT_ERR_PRIKEY_NOT_PRIKEY);

    // EncryptedData continues under the message's key.
    OwnedBinstr enc;
    ASSERT_EQ(QELT_CMS_MakeEncryptedData(ctx, &data, &enc), 0) << errInfo();
    OwnedBinstr back;
    ASSERT_EQ(QELT_CMS_ProcessEncryptedData(ctx, &cek, &enc, &back), 0) << errInfo();
    EXPECT_EQ(back.str(), kText);
}

TEST_F(CmsEnveloped, NationalCiphersRoundTripWithTheirIdentifiers) {
    const TestKey& a = rsaRecipient("a");
    const struct {
        int alg;
        std::string oid;
        int ivLen;
    } cases[] = {{QELT_SYM_SEED, "1 2 410 200004 1 4", 16},
                 {QELT_SYM_ARIA, "1 2 410 100001 1 20", 16},
                 {QELT_SYM_NEAT, "1 2 410 100001 1 3", 16}};
    for (const auto& c : cases) {
        const Bytes msg = make(a, c.alg);
        EXPECT_EQ(open(a, msg), kText) << c.oid << ": " << errInfo();
        REnvelopedData env(bs(msg));
        ASSERT_EQ(env.errorCode(), 0);
        RAlgorithmIdentifier alg = env.getEncryptedContentInfo().getContentEncryptionAlgorithm();
        EXPECT_STREQ(alg.editAlgorithm().getOID().c_str(), c.oid.c_str());
        ASN1OctetString iv(alg.getParameters().getEncoding());
        ASSERT_EQ(iv.getValue().length(), c.ivLen);
        const bool zero = Bytes(iv.getValue().data(), iv.getValue().data() + c.ivLen) == Bytes(c.ivLen, 0);
        EXPECT_EQ(zero, c.alg == QELT_SYM_NEAT) << c.oid;
    }
    make(a, 0x60, QELT_ERR_SYM_ALGORITHM);
}

TEST_F(CmsEnveloped, RefusedCertificates) {
    const TestKey signOnly = [] {
        TestKey k =
            opensslKey("cmsenv-signonly-" + std::to_string(getpid()), "-algorithm RSA -pkeyopt rsa_keygen_bits:1024");
        EXPECT_TRUE(openssl(k.dir,
                            "req -x509 -new -key key.pem -subj /CN=s -addext keyUsage=digitalSignature "
                            "-outform DER -out cert.der"));
        k.cert = fileBytes(k.dir / "cert.der");
        return k;
    }();
    make(signOnly, QELT_SYM_3DES, QELT_ERR_NOT_ENCRYPTION_CERT);
    TestKey d;
    d.dir = scratchDir("cmsenv-dsa-" + std::to_string(getpid()));
    ASSERT_TRUE(openssl(d.dir, "genpkey -genparam -algorithm DSA -pkeyopt dsa_paramgen_bits:1024 -out p.pem"));
    ASSERT_TRUE(openssl(d.dir, "genpkey -paramfile p.pem -out key.pem"));
    ASSERT_TRUE(openssl(d.dir, "req -x509 -new -key key.pem -subj /CN=d -outform DER -out cert.der"));
    d.cert = fileBytes(d.dir / "cert.der");
    make(d, QELT_SYM_3DES, QELT_ERR_CERT_INVALID);
    EXPECT_NE(errInfo().find("Can't encrypt key by dsa or kcdsa algorithm."), std::string::npos) << errInfo();
    make(TestKey{{}, {}, Bytes{0x30, 0x03, 0x02, 0x01, 0x00}, {}}, QELT_SYM_3DES, QELT_ERR_CERT_NOT_CERT);

    const TestKey& a = rsaRecipient("a");
    OwnedBinstr list(certList({&a, &signOnly})), data(kText), out;
    EXPECT_EQ(QELT_CMS_MakeEnvelopedDataWithMultiRecipients(ctx, &list, &data, QELT_SYM_DES, &out),
              QELT_ERR_CERT_LIST_BAD_CERT);
    EXPECT_NE(errInfo().find(" 1 "), std::string::npos) << errInfo();
}

TEST_F(CmsEnveloped, RecipientListing) {
    const TestKey &a = rsaRecipient("a"), &b = rsaRecipient("b");
    OwnedBinstr list(certList({&a, &b})), data(kText), out;
    ASSERT_EQ(QELT_CMS_MakeEnvelopedDataWithMultiRecipients(ctx, &list, &data, QELT_SYM_SEED, &out), 0);
    int count = 0;
    ASSERT_EQ(QELT_CMS_ProcessEnvelopedData2(ctx, &out, &count), 0) << errInfo();
    ASSERT_EQ(count, 2);

    char issuer[256], serial[256], ski[256];
    ASSERT_EQ(QELT_CMS_GetRecipient(ctx, 1, sizeof issuer, issuer, serial, ski), 0) << errInfo();
    RCertificate certB(bs(b.cert));
    EXPECT_STREQ(serial, certB.getTbsCertificate().getSerialNumber().getValue().toHex().c_str());
    EXPECT_NE(std::string(issuer).find("cmsenv-b"), std::string::npos) << issuer;

    const int exact = static_cast<int>(std::strlen(issuer));  // no room for the NUL
    EXPECT_EQ(QELT_CMS_GetRecipient(ctx, 1, exact, issuer, serial, ski), QELT_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(QELT_CMS_GetRecipient(ctx, 2, sizeof issuer, issuer, serial, ski), QELT_ERR_CERT_INDEX_RANGE);

    // openssl -keyid identifies the recipient by subject key identifier.
    putFile(a.dir / "d.txt", Bytes(kText.begin(), kText.end()));
    ASSERT_TRUE(openssl(a.dir, "cms -encrypt -binary -des3 -keyid -in d.txt -outform DER -out keyid.der cert.pem"));
    OwnedBinstr keyid(fileBytes(a.dir / "keyid.der"));
    ASSERT_EQ(QELT_CMS_ProcessEnvelopedData2(ctx, &keyid, &count), 0) << errInfo();
    ASSERT_EQ(QELT_CMS_GetRecipient(ctx, 0, sizeof ski, issuer, serial, ski), 0) << errInfo();
    EXPECT_EQ(std::strlen(ski), 40u);
    EXPECT_EQ(open(a, keyid.vec()), kText) << errInfo();
}

TEST_F(CmsEnveloped, DamagedMessagesGiveCodesNotCrashes) {
    const TestKey& a = rsaRecipient("a");
    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_CMS_CONTENTINFO), 0);
    const Bytes msg = make(a, QELT_SYM_3DES);
    ASSERT_GT(msg.size(), 40u);
    for (size_t cut : {size_t{1}, size_t{20}, msg.size() / 2, msg.size() - 1}) {
        open(a, Bytes(msg.begin(), msg.begin() + static_cast<long>(cut)));
        EXPECT_TRUE(lastRc == QELT_ERR_NOT_ENVELOPED || lastRc == QELT_ERR_ENVELOPED_INVALID) << cut << " " << lastRc;
    }
    Bytes retagged = msg;
    retagged[0] = 0x31;
    open(a, retagged);
    EXPECT_EQ(lastRc, QELT_ERR_NOT_ENVELOPED);
    // A ContentInfo of another type: patch the last arc of envelopedData (3) to data (1).
    Bytes other = msg;
    const Bytes envOid = {0x06, 0x09, 0x2a, 0x86, 0x48, 0x86, 0xf7, 0x0d, 0x01, 0x07, 0x03};
    auto at = std::search(other.begin(), other.end(), envOid.begin(), envOid.end());
    ASSERT_NE(at, other.end());
    at[10] = 0x01;
    open(a, other);
    EXPECT_EQ(lastRc, QELT_ERR_NOT_ENVELOPED);
    // A flipped byte in the encrypted content breaks the padding or gives other bytes.
    Bytes flipped = msg;
    flipped[flipped.size() - 3] ^= 0x55;
    const std::string got = open(a, flipped);
    EXPECT_TRUE(lastRc == QELT_ERR_DECRYPT || got != kText);

    int count = 0;
    OwnedBinstr bad(retagged);
    EXPECT_EQ(QELT_CMS_ProcessEnvelopedData2(ctx, &bad, &count), QELT_ERR_ENVELOPED_INVALID);
    char t[64];
    void* fresh = nullptr;
    ASSERT_EQ(QELT_API_Init(&fresh, workDir.c_str()), 0);
    EXPECT_EQ(QELT_CMS_GetRecipient(fresh, 0, sizeof t, t, t, t), QELT_ERR_BAD_RECIPIENT_CERT);
    OwnedBinstr d(kText), e;
    EXPECT_EQ(QELT_CMS_MakeEncryptedData(fresh, &d, &e), QELT_ERR_NO_KEY_AND_IV);
    QELT_API_Finish(&fresh);
}

TEST_F(CmsEnveloped, EncryptedDataInteroperates) {
    const TestKey& a = rsaRecipient("a");
    putFile(a.dir / "e.txt", Bytes(kText.begin(), kText.end()));
    const struct {
        int alg;
        const char* cipher;
        int keyLen, ivLen;
    } cases[] = {{QELT_SYM_DES, "-des", 8, 8}, {QELT_SYM_3DES, "-des3", 24, 8}, {QELT_SYM_SEED, "-seed", 16, 16}};
    for (const auto& c : cases) {
        ASSERT_EQ(QELT_CRYPT_GenKeyAndIV(ctx, c.alg), 0);
        int alg = 0;
        OwnedBinstr key, iv, data(kText), enc;
        ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &key, &iv), 0);
        ASSERT_EQ(QELT_CMS_MakeEncryptedData(ctx, &data, &enc), 0) << errInfo();
        EXPECT_EQ(enc.vec()[0], 0x30);
        putFile(a.dir / "ours_enc.der", enc.vec());
        const std::string hex = bs(key.vec()).toHex().c_str();
        ASSERT_TRUE(openssl(a.dir, std::string("cms -EncryptedData_decrypt -inform DER -in ours_enc.der -secretkey ") +
                                       hex + " -out e.out" + kLegacy))
            << c.cipher;
        const Bytes plain = fileBytes(a.dir / "e.out");
        EXPECT_EQ(std::string(plain.begin(), plain.end()), kText);

        ASSERT_TRUE(openssl(a.dir, std::string("cms -EncryptedData_encrypt -binary ") + c.cipher +
                                       " -in e.txt -outform DER -out theirs_enc.der -secretkey " + hex + kLegacy));
        OwnedBinstr theirs(fileBytes(a.dir / "theirs_enc.der")), back;
        ASSERT_EQ(QELT_CMS_ProcessEncryptedData(ctx, &key, &theirs, &back), 0) << c.cipher << errInfo();
        EXPECT_EQ(back.str(), kText);
    }
    // Our own NEAT and ARIA round trip; a wrong key fails to decrypt.
    for (int alg : {QELT_SYM_NEAT, QELT_SYM_ARIA}) {
        ASSERT_EQ(QELT_CRYPT_GenKeyAndIV(ctx, alg), 0);
        int got = 0;
        OwnedBinstr key, iv, data(kText), enc, back;
        ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &got, &key, &iv), 0);
        ASSERT_EQ(QELT_CMS_MakeEncryptedData(ctx, &data, &enc), 0);
        ASSERT_EQ(QELT_CMS_ProcessEncryptedData(ctx, &key, &enc, &back), 0) << errInfo();
        EXPECT_EQ(back.str(), kText);
        Bytes wrong = key.vec();
        wrong[0] ^= 1;
        OwnedBinstr wk(wrong), back2;
        const int rc = QELT_CMS_ProcessEncryptedData(ctx, &wk, &enc, &back2);
        EXPECT_TRUE(rc == QELT_ERR_DECRYPT || back2.str() != kText);
    }
    OwnedBinstr key(std::string(24, 'k')), notEnc(make(a, QELT_SYM_DES)), out;
    EXPECT_EQ(QELT_CMS_ProcessEncryptedData(ctx, &key, &notEnc, &out), QELT_ERR_NOT_ENCRYPTED);
    // An EncryptedData whose cipher we do not know (the OID of DES-CBC turned into DES-ECB's unknown sibling).
    ASSERT_EQ(QELT_CRYPT_GenKeyAndIV(ctx, QELT_SYM_DES), 0);
    OwnedBinstr data(kText), enc;
    ASSERT_EQ(QELT_CMS_MakeEncryptedData(ctx, &data, &enc), 0);
    Bytes odd = enc.vec();
    const Bytes desCbc = {0x06, 0x05, 0x2b, 0x0e, 0x03, 0x02, 0x07};
    auto at = std::search(odd.begin(), odd.end(), desCbc.begin(), desCbc.end());
    ASSERT_NE(at, odd.end());
    at[6] = 0x63;
    OwnedBinstr oddMsg(odd), out2;
    EXPECT_EQ(QELT_CMS_ProcessEncryptedData(ctx, &key, &oddMsg, &out2), QELT_ERR_ENCRYPTED_INVALID);
}

// KEK recipients exist in the class interface only: 3DES and RC2 key wrap.
TEST(EnvelopedDataClass, KekRecipientsRoundTrip) {
    const ByteString kekId("kek-1");
    for (int alg : {ALG_3DES, ALG_RC2_40}) {
        uint8_t raw[24];
        for (int i = 0; i < 24; ++i) raw[i] = static_cast<uint8_t>(i * 7 + 1);
        ByteString kek(raw, alg == ALG_3DES ? 24 : 16);
        PEnvelopedData env;
        env.setSymmetricAlgorithm(alg, 0);
        env.setRecipientType(PEnvelopedData::kKEK);
        env.setContent(ByteString("kek content"));
        EXPECT_NE(env.addRecipient(kekId, nullptr), 0);
        EXPECT_NE(std::string(env.errorText()).find("KeyEncrytionKey does not set."), std::string::npos);
        ASSERT_EQ(env.addRecipient(kekId, &kek), 0) << env.errorText();
        ByteString msg;
        ASSERT_EQ(env.makeEnvelopedData(msg), 0) << env.errorText();

        PEnvelopedDataProcess proc;
        proc.setKeyEncryptionKey(kekId, kek);
        ASSERT_EQ(proc.parseEnvelopedData(msg), 0) << proc.errorText();
        EXPECT_EQ(proc.getRecipientInfoType(0), PEnvelopedDataProcess::kKekri);
        ByteString content;
        ASSERT_EQ(proc.getContent(content), 0) << proc.errorText();
        EXPECT_STREQ(content.c_str(), "kek content");

        kek.data()[3] ^= 0x10;
        PEnvelopedDataProcess wrong;
        wrong.setKeyEncryptionKey(kekId, kek);
        EXPECT_EQ(wrong.parseEnvelopedData(msg), PEnvelopedDataProcess::kKeyDecryptFailed);
    }
    PEnvelopedData seed;
    seed.setSymmetricAlgorithm(ALG_SEED, 0);
    seed.setRecipientType(PEnvelopedData::kKEK);
    ByteString kek("0123456789abcdef");
    EXPECT_NE(seed.addRecipient(kekId, &kek), 0);
    EXPECT_NE(seed.choiceRecipientIdentifier(3), 0);
}

// The cms verbs of the command-line tool, through files and pipes.
TEST(CmsEnvelopeCli, EncryptDecryptAndEncryptedData) {
    const TestKey& a = rsaRecipient("a");
    const std::string dir = "'" + a.dir.string() + "'";
    const std::string qelt = std::string("cd ") + dir + " && QELT_WORKDIR=" + dir + " " + QELT_CLI_PATH;
    putFile(a.dir / "cli.txt", Bytes(kText.begin(), kText.end()));
    ASSERT_EQ(std::system((qelt + " cms encrypt -a seed -i cli.txt -o cli.der cert.pem").c_str()), 0);
    ASSERT_TRUE(openssl(a.dir, std::string("cms -decrypt -inform DER -in cli.der -recip cert.pem -inkey key.pem "
                                           "-out cli.out") +
                                   kLegacy));
    EXPECT_EQ(fileBytes(a.dir / "cli.out"), Bytes(kText.begin(), kText.end()));
    // PEM from openssl through a pipe.
    ASSERT_EQ(std::system(("cd " + dir + " && openssl cms -encrypt -binary -des3 -in cli.txt -outform PEM cert.pem | " +
                           std::string("QELT_WORKDIR=") + dir + " " + QELT_CLI_PATH +
                           " cms decrypt -c cert.der -k key.pem -o pipe.out")
                              .c_str()),
              0);
    EXPECT_EQ(fileBytes(a.dir / "pipe.out"), Bytes(kText.begin(), kText.end()));
    const std::string key = " -k 00112233445566778899aabbccddeeff ";
    ASSERT_EQ(std::system((qelt + " cms encdata -a aria" + key +
                           "--iv 0f0e0d0c0b0a09080706050403020100 cli.txt -o "
                           "ed.der && " +
                           QELT_CLI_PATH + " cms decdata" + key + "ed.der -o ed.out")
                              .c_str()),
              0);
    EXPECT_EQ(fileBytes(a.dir / "ed.out"), Bytes(kText.begin(), kText.end()));
    EXPECT_NE(std::system((qelt + " cms decrypt -c cert.der -k key.pem cli.txt 2>/dev/null").c_str()), 0);
}

}  // namespace
}  // namespace qelt::test
