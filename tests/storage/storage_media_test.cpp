// Storage media through the exported functions: disk files (atomic writes,
// password-protected keys that OpenSSL reads) and the test plug-in built
// beside the tests (which logs every call it receives and can be told to
// misbehave).
#include <sys/stat.h>

#include <fstream>

#include "ASN1Pkix/pkcs_keys.h"
#include "ZRProcess/PPrivateKey.h"
#include "api/pkey_test_keys.h"

namespace qelt::test {
namespace {

const std::filesystem::path kData = std::filesystem::path(QELT_TEST_DATA_DIR) / "pfx";
char kPass[] = "medium-pass";
char kPin[] = "1234";

std::string textOf(const std::filesystem::path& p) {
    std::ifstream in(p);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class StorageMediaTest : public ApiTest {
protected:
    void SetUp() override {
        ApiTest::SetUp();
        pluginDir = workDir / "card";
        std::filesystem::create_directories(pluginDir);
        setenv("QELT_TEST_PLUGIN_DIR", pluginDir.c_str(), 1);
        cert = fileBytes(kData / "sign.der");
        key = fileBytes(kData / "sign.key");
    }
    int load(const char* path = QELT_TEST_PLUGIN) { return QELT_STORAGE_Load(ctx, const_cast<char*>(path)); }
    void mode(const std::string& m) { std::ofstream(pluginDir / "mode") << m << "\n"; }
    std::string calls() { return textOf(pluginDir / "calls.log"); }
    Bytes object(int code) { return fileBytes(pluginDir / ("obj-" + std::to_string(code) + ".bin")); }

    int readCert(int media, char* info, int type, Bytes& out) {
        OwnedBinstr b;
        const int rc = QELT_STORAGE_ReadCert(ctx, media, info, type, &b);
        out = b.vec();
        return rc;
    }
    int writeCert(int media, char* info, int type, const Bytes& c) {
        OwnedBinstr b(c);
        return QELT_STORAGE_WriteCert(ctx, media, info, type, &b);
    }
    int readKey(int media, char* info, char* pass, int type, Bytes& out) {
        OwnedBinstr b;
        const int rc = QELT_STORAGE_ReadPriKey(ctx, media, info, pass, type, &b);
        out = b.vec();
        return rc;
    }
    int writeKey(int media, char* info, char* pass, int type, int alg, const Bytes& k) {
        OwnedBinstr b(k);
        return QELT_STORAGE_WritePriKey(ctx, media, info, pass, type, alg, &b);
    }
    // The signing key with an identification random number attribute.
    Bytes keyWithRandom(const Bytes& random) {
        ByteString info = bs(key);
        PPrivateKey priKey;
        EXPECT_EQ(priKey.setRandomNumber(info, bs(random)), 0);
        return Bytes(info.data(), info.data() + info.length());
    }

    std::filesystem::path pluginDir;
    Bytes cert, key;
};

TEST_F(StorageMediaTest, DiskFilesRoundTripAndKeysStayEncryptedForTheirOwner) {
    std::string certPath = (workDir / "a" / "b" / "signCert.der").string();
    std::string keyPath = (workDir / "a" / "b" / "signPri.key").string();
    ASSERT_EQ(writeCert(QELT_MEDIA_DISK, certPath.data(), 1, cert), 0) << errInfo();
    ASSERT_EQ(writeKey(QELT_MEDIA_DISK, keyPath.data(), kPass, 1, QELT_SYM_3DES, key), 0) << errInfo();
    Bytes out;
    ASSERT_EQ(readCert(QELT_MEDIA_DISK, certPath.data(), 1, out), 0);
    EXPECT_EQ(out, cert);
    ASSERT_EQ(readKey(QELT_MEDIA_DISK, keyPath.data(), kPass, 1, out), 0) << errInfo();
    EXPECT_EQ(out, key);

    // What is on disk is a PKCS#8 EncryptedPrivateKeyInfo that OpenSSL opens,
    // in a file only its owner may read.
    struct stat st {};
    ASSERT_EQ(::stat(keyPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_TRUE(openssl(
        workDir, "pkcs8 -inform DER -in a/b/signPri.key -passin pass:" + std::string(kPass) + " -out plain.pem"));
    ASSERT_TRUE(openssl(workDir, "pkcs8 -topk8 -nocrypt -in plain.pem -outform DER -out plain.der"));
    EXPECT_EQ(fileBytes(workDir / "plain.der"), key);

    char wrong[] = "wrong-pass";
    EXPECT_EQ(readKey(QELT_MEDIA_DISK, keyPath.data(), wrong, 1, out), QELT_ERR_PRIKEY_PASSWORD);
    EXPECT_EQ(readKey(QELT_MEDIA_DISK, keyPath.data(), nullptr, 1, out), QELT_ERR_ENCPRIKEY_NOT_ENCPRIKEY);
    EXPECT_EQ(QELT_STORAGE_DeletePriKey(ctx, QELT_MEDIA_DISK, keyPath.data(), wrong, 1), QELT_ERR_PRIKEY_PASSWORD);
    EXPECT_TRUE(std::filesystem::exists(keyPath));
    EXPECT_EQ(QELT_STORAGE_DeletePriKey(ctx, QELT_MEDIA_DISK, keyPath.data(), kPass, 1), 0);
    EXPECT_FALSE(std::filesystem::exists(keyPath));
    EXPECT_EQ(QELT_STORAGE_DeleteCert(ctx, QELT_MEDIA_DISK, certPath.data(), 1), 0);
    EXPECT_EQ(readCert(QELT_MEDIA_DISK, certPath.data(), 1, out), QELT_ERR_STORAGE_READ_CERT);
    EXPECT_NE(errInfo().find(certPath), std::string::npos);
    EXPECT_EQ(QELT_STORAGE_DeleteCert(ctx, QELT_MEDIA_DISK, certPath.data(), 1), QELT_ERR_FILE_DELETE);

    // A decrypted key file reads without a password; an empty file is refused.
    std::string plainPath = (workDir / "plain.der").string();
    ASSERT_EQ(readKey(QELT_MEDIA_DISK, plainPath.data(), nullptr, 1, out), 0);
    EXPECT_EQ(out, key);
    putFile(workDir / "empty", {});
    std::string emptyPath = (workDir / "empty").string();
    EXPECT_EQ(readCert(QELT_MEDIA_DISK, emptyPath.data(), 1, out), QELT_ERR_FILE_EMPTY);
}

TEST_F(StorageMediaTest, DiskWritesReplaceWholeFilesAndLeaveNothingBehindOnFailure) {
    std::string path = (workDir / "cert.der").string();
    putFile(path, Bytes(5000, 0x55));  // a longer old file: no tail of it may survive
    ASSERT_EQ(writeCert(QELT_MEDIA_DISK, path.data(), 1, cert), 0);
    EXPECT_EQ(fileBytes(path), cert);

    // The target is a directory: the rename fails, the directory stays, and no
    // temporary file remains beside it.
    std::filesystem::create_directories(workDir / "taken" / "inside");
    std::string taken = (workDir / "taken").string();
    EXPECT_EQ(writeCert(QELT_MEDIA_DISK, taken.data(), 1, cert), QELT_ERR_STORAGE_WRITE_CERT);
    EXPECT_EQ(writeKey(QELT_MEDIA_DISK, taken.data(), kPass, 1, QELT_SYM_SEED, key), QELT_ERR_STORAGE_WRITE_KEY);
    EXPECT_TRUE(std::filesystem::is_directory(workDir / "taken" / "inside"));
    for (const auto& entry : std::filesystem::directory_iterator(workDir))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST_F(StorageMediaTest, DiskWritesGoThroughLinksAndNeverReplaceDevicesOrPipes) {
    // A link to a key file: the file gets the new bytes, the link stays a link.
    std::string real = (workDir / "real.der").string(), link = (workDir / "link.der").string();
    putFile(real, Bytes(10, 0x11));
    std::filesystem::create_symlink(real, link);
    ASSERT_EQ(writeCert(QELT_MEDIA_DISK, link.data(), 1, cert), 0) << errInfo();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(fileBytes(real), cert);

    // A pipe (standing in for a device node) is neither replaced nor deleted.
    std::string fifo = (workDir / "pipe").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(writeCert(QELT_MEDIA_DISK, fifo.data(), 1, cert), QELT_ERR_STORAGE_WRITE_CERT);
    EXPECT_EQ(writeKey(QELT_MEDIA_DISK, fifo.data(), kPass, 1, QELT_SYM_SEED, key), QELT_ERR_STORAGE_WRITE_KEY);
    EXPECT_NE(QELT_STORAGE_DeleteCert(ctx, QELT_MEDIA_DISK, fifo.data(), 1), 0);
    EXPECT_TRUE(std::filesystem::is_fifo(fifo));
    // A dangling link is refused too, and nothing is left beside any of them.
    std::string dangling = (workDir / "dangling").string();
    std::filesystem::create_symlink(workDir / "nowhere" / "x", dangling);
    EXPECT_EQ(writeCert(QELT_MEDIA_DISK, dangling.data(), 1, cert), QELT_ERR_STORAGE_WRITE_CERT);
    for (const auto& entry : std::filesystem::directory_iterator(workDir))
        EXPECT_EQ(entry.path().filename().string().find(".tmp-"), std::string::npos) << entry.path();
}

TEST_F(StorageMediaTest, PluginReceivesTheCallsWithTheCodesOfEachDataType) {
    ASSERT_EQ(load(), 0) << errInfo();
    ASSERT_EQ(writeCert(QELT_MEDIA_PLUGIN, kPin, 2, cert), 0) << errInfo();
    EXPECT_EQ(object(4), cert);  // certificate code of data type 2
    Bytes out;
    ASSERT_EQ(readCert(QELT_MEDIA_PLUGIN, kPin, 2, out), 0);
    EXPECT_EQ(out, cert);
    ASSERT_EQ(writeKey(QELT_MEDIA_PLUGIN, kPin, kPass, 2, QELT_SYM_SEED, key), 0) << errInfo();
    ASSERT_EQ(readKey(QELT_MEDIA_PLUGIN, kPin, kPass, 2, out), 0) << errInfo();
    EXPECT_EQ(out, key);
    EXPECT_EQ(QELT_STORAGE_DeletePriKey(ctx, QELT_MEDIA_PLUGIN, kPin, kPass, 2), 0);
    EXPECT_EQ(QELT_STORAGE_DeleteCert(ctx, QELT_MEDIA_PLUGIN, kPin, 2), 0);
    EXPECT_EQ(calls(),
              "write 4 1234\nread 4 1234\nwrite 5 1234\nread 5 1234\nread 5 1234\ndelete 5 1234\ndelete 4 1234\n");
    EXPECT_FALSE(std::filesystem::exists(pluginDir / "obj-4.bin"));
}

TEST_F(StorageMediaTest, SigningKeysOfType16KeepTheirRandomNumberApartOnThePlugin) {
    const Bytes random(20, 0x5A);
    const Bytes withRandom = keyWithRandom(random);
    ASSERT_EQ(load(), 0);
    ASSERT_EQ(writeKey(QELT_MEDIA_PLUGIN, kPin, kPass, 16, QELT_SYM_SEED, withRandom), 0) << errInfo();
    EXPECT_EQ(object(48), random);
    // The stored key: SEED in the PBES1 shape ("1 2 410 200004 1 15"), without the number.
    const Bytes stored = object(32);
    const Bytes seedPbes1 = {0x06, 0x08, 0x2A, 0x83, 0x1A, 0x8C, 0x9A, 0x44, 0x01, 0x0F};
    EXPECT_NE(std::search(stored.begin(), stored.end(), seedPbes1.begin(), seedPbes1.end()), stored.end());
    OwnedBinstr enc(stored), dec;
    ASSERT_EQ(QELT_PRIKEY_Decrypt(ctx, kPass, &enc, &dec), 0);
    EXPECT_EQ(dec.vec(), key);

    Bytes out;
    ASSERT_EQ(readKey(QELT_MEDIA_PLUGIN, kPin, kPass, 16, out), 0) << errInfo();
    EXPECT_EQ(out, withRandom);
    // Without its number a type-16 key cannot be read.
    std::filesystem::remove(pluginDir / "obj-48.bin");
    EXPECT_EQ(readKey(QELT_MEDIA_PLUGIN, kPin, kPass, 16, out), QELT_ERR_STORAGE_READ_KEY);
    EXPECT_NE(errInfo().find("본인확인을 위한 랜덤값 읽기 실패"_cp949), std::string::npos);
    // A type-16 key without a number is not written.
    EXPECT_EQ(writeKey(QELT_MEDIA_PLUGIN, kPin, kPass, 16, QELT_SYM_SEED, key), QELT_ERR_PRIKEY_INVALID);
    // On disk the number stays inside the encrypted key.
    std::string path = (workDir / "vid.key").string();
    ASSERT_EQ(writeKey(QELT_MEDIA_DISK, path.data(), kPass, 16, QELT_SYM_ARIA, withRandom), 0);
    ASSERT_EQ(readKey(QELT_MEDIA_DISK, path.data(), kPass, 16, out), 0);
    EXPECT_EQ(out, withRandom);
}

TEST_F(StorageMediaTest, PluginFailuresAreReportedNotTrusted) {
    ASSERT_EQ(load(), 0);
    ASSERT_EQ(writeCert(QELT_MEDIA_PLUGIN, kPin, 1, cert), 0);
    Bytes out;
    char wrongPin[] = "9999";
    EXPECT_EQ(readCert(QELT_MEDIA_PLUGIN, wrongPin, 1, out), QELT_ERR_PIN);
    EXPECT_EQ(writeCert(QELT_MEDIA_PLUGIN, wrongPin, 1, cert), QELT_ERR_PIN);
    EXPECT_EQ(QELT_STORAGE_DeleteCert(ctx, QELT_MEDIA_PLUGIN, wrongPin, 1), QELT_ERR_PIN);
    EXPECT_NE(errInfo().find("PIN 번호를 확인하세요."_cp949), std::string::npos);

    mode("nocard");
    EXPECT_EQ(readCert(QELT_MEDIA_PLUGIN, kPin, 1, out), QELT_ERR_SMARTCARD_ABSENT);
    mode("fail");
    EXPECT_EQ(readCert(QELT_MEDIA_PLUGIN, kPin, 1, out), QELT_ERR_STORAGE_READ_CERT);
    EXPECT_NE(errInfo().find("fnc=PKI_STORAGE_Read,errcode=0x7,msg=the test plug-in was told to fail"),
              std::string::npos)
        << errInfo();
    EXPECT_EQ(writeKey(QELT_MEDIA_PLUGIN, kPin, kPass, 1, QELT_SYM_SEED, key), QELT_ERR_STORAGE_WRITE_KEY);
    for (const char* m : {"oversize", "negative", "overrun"}) {
        mode(m);
        out.clear();
        EXPECT_EQ(readCert(QELT_MEDIA_PLUGIN, kPin, 1, out), QELT_ERR_STORAGE_READ_CERT) << m;
        EXPECT_TRUE(out.empty());
    }
    EXPECT_NE(errInfo().find("wrote past the end"), std::string::npos) << errInfo();
}

TEST_F(StorageMediaTest, ModulesAreLoadedOncePerContextAndCheckedForTheirEntryPoints) {
    Bytes out;
    EXPECT_EQ(readCert(QELT_MEDIA_PLUGIN, kPin, 1, out), QELT_ERR_DYNLIB_NOT_LOADED);
    EXPECT_EQ(load("/nonexistent/libnothing.so"), QELT_ERR_DYNLIB_LOAD);
    EXPECT_NE(errInfo().find("\"/nonexistent/libnothing.so\" DLL을 로드하데 실패"_cp949), std::string::npos);
    ASSERT_EQ(load(QELT_TEST_NOPLUGIN), 0);
    EXPECT_EQ(load(), QELT_ERR_DYNLIB_ALREADY_LOADED);
    EXPECT_EQ(readCert(QELT_MEDIA_PLUGIN, kPin, 1, out), QELT_ERR_DYNLIB_SYMBOL);
    EXPECT_NE(errInfo().find("함수 PKI_STORAGE_Read()의 포인터 획득 실패"_cp949), std::string::npos);
    EXPECT_EQ(QELT_STORAGE_DeleteCert(ctx, QELT_MEDIA_PLUGIN, kPin, 1), QELT_ERR_DYNLIB_SYMBOL);
    EXPECT_EQ(QELT_STORAGE_Unload(ctx), 0);
    EXPECT_EQ(QELT_STORAGE_Unload(ctx), 0);  // nothing loaded is no error

    ASSERT_EQ(load(), 0);
    ASSERT_EQ(writeCert(QELT_MEDIA_PLUGIN, kPin, 1, cert), 0);
    ASSERT_EQ(QELT_STORAGE_Unload(ctx), 0);
    EXPECT_EQ(readCert(QELT_MEDIA_PLUGIN, kPin, 1, out), QELT_ERR_DYNLIB_NOT_LOADED);
    // Disk calls need no module.
    std::string path = (workDir / "c.der").string();
    EXPECT_EQ(writeCert(QELT_MEDIA_DISK, path.data(), 1, cert), 0);
}

TEST_F(StorageMediaTest, ArgumentsAreCheckedInParameterOrder) {
    Bytes out;
    std::string path = (workDir / "x").string();
    EXPECT_EQ(readCert(3, path.data(), 1, out), QELT_ERR_STORAGE_UNSUPPORTED);
    EXPECT_EQ(readCert(QELT_MEDIA_DISK, nullptr, 1, out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("파일경로(pszInfo)를 지정해 주세요."_cp949), std::string::npos);
    char empty[] = "";
    EXPECT_EQ(readCert(QELT_MEDIA_PLUGIN, empty, 1, out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_NE(errInfo().find("핀 번호(pszInfo)를 지정해 주세요."_cp949), std::string::npos);
    EXPECT_EQ(readCert(QELT_MEDIA_DISK, path.data(), 4, out), QELT_ERR_UNSUPPORTED_TYPE);
    EXPECT_EQ(readKey(QELT_MEDIA_DISK, path.data(), kPass, 4, out), QELT_ERR_UNSUPPORTED_TYPE);
    EXPECT_NE(errInfo().find("지원되지 않는 개인키 데이터 타입입니다."_cp949), std::string::npos);
    EXPECT_EQ(QELT_STORAGE_ReadCert(ctx, QELT_MEDIA_DISK, path.data(), 1, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(writeKey(QELT_MEDIA_DISK, path.data(), nullptr, 1, QELT_SYM_SEED, key), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(writeKey(QELT_MEDIA_DISK, path.data(), kPass, 1, 17, key), QELT_ERR_SYM_ALGORITHM);
    EXPECT_EQ(writeKey(QELT_MEDIA_DISK, path.data(), kPass, 1, QELT_SYM_SEED, cert), QELT_ERR_PRIKEY_NOT_PRIKEY);
    EXPECT_EQ(writeCert(QELT_MEDIA_DISK, path.data(), 1, {}), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace qelt::test
