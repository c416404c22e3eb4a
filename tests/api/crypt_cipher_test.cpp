// The session-key functions: key and IV handling, encryption and decryption of
// byte strings and files, and round trips with the openssl command.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "test_support.h"

namespace qelt::test {
namespace {

class CryptCipher : public ApiTest {
protected:
    void setSession(int alg, size_t keyLen, size_t ivLen) {
        key.assign(keyLen, 0);
        iv.assign(ivLen, 0);
        for (size_t i = 0; i < keyLen; ++i) key[i] = static_cast<uint8_t>(0x10 + i);
        for (size_t i = 0; i < ivLen; ++i) iv[i] = static_cast<uint8_t>(0xA0 + i);
        OwnedBinstr k(key), v(iv);
        ASSERT_EQ(QELT_CRYPT_SetKeyAndIV(ctx, alg, &k, &v), 0) << errInfo();
    }
    std::vector<uint8_t> encrypt(const std::vector<uint8_t>& plain) {
        OwnedBinstr in(plain), out;
        EXPECT_EQ(QELT_CRYPT_Encrypt(ctx, &in, &out), 0) << errInfo();
        return out.vec();
    }
    std::vector<uint8_t> key, iv;
};

struct SessionAlg {
    int code;
    size_t keyLen;
    size_t ivLen;
    const char* opensslName;
    bool legacy;
};
constexpr SessionAlg kSessionAlgs[] = {{QELT_SYM_DES, 8, 8, "des-cbc", true},
                                       {QELT_SYM_3DES, 24, 8, "des-ede3-cbc", false},
                                       {QELT_SYM_SEED, 16, 16, "seed-cbc", true},
                                       {QELT_SYM_NEAT, 16, 16, "aes-128-cbc", false},  // the NEAT slot's core
                                       {QELT_SYM_ARIA, 16, 16, "aria-128-cbc", false}};

std::vector<uint8_t> bytesOfFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
void writeFile(const std::filesystem::path& p, const std::vector<uint8_t>& d) {
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(d.data()), static_cast<std::streamsize>(d.size()));
}
std::string hex(const std::vector<uint8_t>& v) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (uint8_t b : v) s += {d[b >> 4], d[b & 15]};
    return s;
}

TEST_F(CryptCipher, GenSetGetClear) {
    for (const SessionAlg& a : kSessionAlgs) {
        ASSERT_EQ(QELT_CRYPT_GenKeyAndIV(ctx, a.code), 0);
        int alg = 0;
        OwnedBinstr k, v;
        ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &k, &v), 0);
        EXPECT_EQ(alg, a.code);
        EXPECT_EQ(k.vec().size(), a.keyLen);
        EXPECT_EQ(v.vec().size(), a.ivLen);
    }
    OwnedBinstr k1, v1, k2, v2;
    int alg = 0;
    ASSERT_EQ(QELT_CRYPT_GenKeyAndIV(ctx, QELT_SYM_SEED), 0);
    ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &k1, &v1), 0);
    ASSERT_EQ(QELT_CRYPT_GenKeyAndIV(ctx, QELT_SYM_SEED), 0);
    ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &k2, &v2), 0);
    EXPECT_NE(k1.vec(), k2.vec());  // fresh random bytes each time
    EXPECT_NE(k1.vec(), v1.vec());

    setSession(QELT_SYM_3DES, 24, 8);
    OwnedBinstr k, v;
    ASSERT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &k, &v), 0);
    EXPECT_EQ(alg, QELT_SYM_3DES);
    EXPECT_EQ(k.vec(), key);
    EXPECT_EQ(v.vec(), iv);

    EXPECT_EQ(QELT_CRYPT_ClearKeyAndIV(ctx), 0);
    EXPECT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &k, &v), QELT_ERR_NO_KEY_AND_IV);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GetKeyAndIV] 대칭키 알고리즘의 Key와 IV가 설정되지 않았습니다."_cp949);
    EXPECT_EQ(QELT_CRYPT_ClearKeyAndIV(ctx), 0);  // clearing twice is fine
}

TEST_F(CryptCipher, KeyAndIvRefusals) {
    OwnedBinstr k8(std::string(8, 'k')), k32(std::string(32, 'k')), v8(std::string(8, 'v')), v16(std::string(16, 'v')),
        empty;
    EXPECT_EQ(QELT_CRYPT_GenKeyAndIV(ctx, 0x60), QELT_ERR_SYM_ALGORITHM);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GenKeyAndIV] 지원되지 않는 대칭키 알고리즘입니다."_cp949);
    EXPECT_EQ(QELT_CRYPT_SetKeyAndIV(ctx, QELT_SYM_DES, &empty, &v8), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_SetKeyAndIV] 대칭키 암복호화에 사용될 key(pKey)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_SetKeyAndIV(ctx, QELT_SYM_DES, &k8, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_SetKeyAndIV] 대칭키 암복호화에 사용될 IV(pIV)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_SetKeyAndIV(ctx, 0x11, &k8, &v8), QELT_ERR_SYM_ALGORITHM);
    EXPECT_EQ(QELT_CRYPT_SetKeyAndIV(ctx, QELT_SYM_ARIA, &k32, &v16), QELT_ERR_KEY_LENGTH);  // ARIA-128 only
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_SetKeyAndIV] ARIA 알고리즘은 Key가 16바이트 필요합니다."_cp949);
    EXPECT_EQ(QELT_CRYPT_SetKeyAndIV(ctx, QELT_SYM_3DES, &k8, &v8), QELT_ERR_KEY_LENGTH);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_SetKeyAndIV] 3DES 알고리즘은 Key가 24바이트 필요합니다."_cp949);
    EXPECT_EQ(QELT_CRYPT_SetKeyAndIV(ctx, QELT_SYM_DES, &k8, &v16), QELT_ERR_IV_LENGTH);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_SetKeyAndIV] DES 알고리즘은 IV가 8바이트 필요합니다."_cp949);
    EXPECT_EQ(QELT_CRYPT_SetKeyAndIV(ctx, QELT_SYM_NEAT, &k8, &v16), QELT_ERR_KEY_LENGTH);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_SetKeyAndIV] NEAT 알고리즘은 Key가 16바이트 필요합니다."_cp949);

    int alg = 0;
    OwnedBinstr k, v;
    EXPECT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, nullptr, &k, &v), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GetKeyAndIV] pSymAlg의 포인터가 NULL입니다."_cp949);
    EXPECT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, nullptr, &v), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GetKeyAndIV] pKey의 포인터가 NULL입니다."_cp949);
    EXPECT_EQ(QELT_CRYPT_GetKeyAndIV(ctx, &alg, &k, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_GetKeyAndIV] pIV의 포인터가 NULL입니다."_cp949);
}

TEST_F(CryptCipher, EncryptDecryptRoundTripsAndRefusals) {
    OwnedBinstr plain("attack at dawn"), out, empty;
    EXPECT_EQ(QELT_CRYPT_Encrypt(ctx, &plain, &out), QELT_ERR_NO_KEY_AND_IV);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_Encrypt] 대칭키 알고리즘의 Key와 IV가 설정되지 않았습니다."_cp949);
    EXPECT_EQ(QELT_CRYPT_Encrypt(ctx, &empty, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_Encrypt] 암호화할 데이터(pPlainText)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_Encrypt(ctx, &plain, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_Encrypt] pCipherText의 포인터가 NULL입니다."_cp949);
    EXPECT_EQ(QELT_CRYPT_Decrypt(ctx, nullptr, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_Decrypt] 복호화할 데이터(pCipherText)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_Decrypt(ctx, &plain, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_Decrypt] pPlainText의 포인터가 NULL입니다."_cp949);

    for (const SessionAlg& a : kSessionAlgs) {
        setSession(a.code, a.keyLen, a.ivLen);
        const std::vector<uint8_t> message(100, 'm');
        const auto c1 = encrypt(message), c2 = encrypt(message);
        EXPECT_EQ(c1, c2) << "every message starts from the session IV";
        EXPECT_EQ(c1.size(), 100 + a.ivLen - 100 % a.ivLen);
        OwnedBinstr cipher(c1), back;
        ASSERT_EQ(QELT_CRYPT_Decrypt(ctx, &cipher, &back), 0) << errInfo();
        EXPECT_EQ(back.vec(), message);
    }

    setSession(QELT_SYM_DES, 8, 8);
    EXPECT_EQ(encrypt(std::vector<uint8_t>(8, 1)).size(), 16u);  // a whole padding block
    auto broken = encrypt(std::vector<uint8_t>(5, 1));
    broken.back() ^= 0x5A;
    OwnedBinstr bad(broken), back;
    EXPECT_EQ(QELT_CRYPT_Decrypt(ctx, &bad, &back), QELT_ERR_DECRYPT);
    const std::string info = errInfo();
    EXPECT_EQ(info.rfind("[QELT_CRYPT_Decrypt] 데이터를 복호화하는데 실패하였습니다."_cp949, 0), 0u) << info;
    EXPECT_NE(info.find("(3114)"), std::string::npos) << info;

    ASSERT_EQ(QELT_API_SetOption(ctx, QELT_OPT_NO_PADDING), 0);
    setSession(QELT_SYM_SEED, 16, 16);
    OwnedBinstr fifteen(std::string(15, 'x')), sixteen(std::string(16, 'x'));
    EXPECT_EQ(QELT_CRYPT_Encrypt(ctx, &fifteen, &out), QELT_ERR_ENCRYPT);
    EXPECT_EQ(errInfo().rfind("[QELT_CRYPT_Encrypt] 데이터를 암호화하는데 실패하였습니다."_cp949, 0), 0u);
    ASSERT_EQ(QELT_CRYPT_Encrypt(ctx, &sixteen, &out), 0);
    EXPECT_EQ(out.vec().size(), 16u);
}

// The result is written once into the caller's record: over an older value
// that has room (its tail wiped, the NUL after the new value), into new memory
// otherwise, and correctly when the output record is the input record itself.
TEST_F(CryptCipher, OutputRecordsReusedAndShared) {
    setSession(QELT_SYM_SEED, 16, 16);
    const std::vector<uint8_t> message(1000, 'q'), longer(5000, 'L');
    const auto expected = encrypt(message);

    OwnedBinstr in(message), out(longer);
    ASSERT_EQ(QELT_CRYPT_Encrypt(ctx, &in, &out), 0) << errInfo();
    EXPECT_EQ(out.vec(), expected);
    EXPECT_EQ(out.b.pVal[out.b.nLen], 0);
    OwnedBinstr cipher(expected), back(longer);
    ASSERT_EQ(QELT_CRYPT_Decrypt(ctx, &cipher, &back), 0) << errInfo();
    EXPECT_EQ(back.vec(), message);
    EXPECT_EQ(back.b.pVal[back.b.nLen], 0);

    // In place: the input is read while the result is written.
    OwnedBinstr same(message);
    ASSERT_EQ(QELT_CRYPT_Encrypt(ctx, &same, &same), 0) << errInfo();
    EXPECT_EQ(same.vec(), expected);
    ASSERT_EQ(QELT_CRYPT_Decrypt(ctx, &same, &same), 0) << errInfo();
    EXPECT_EQ(same.vec(), message);

    // A failed decryption leaves no plaintext in the record: the old value, or nothing.
    auto broken = expected;
    broken[broken.size() - 20] ^= 1;  // the last block's padding no longer checks
    OwnedBinstr bad(broken), kept(longer);
    EXPECT_EQ(QELT_CRYPT_Decrypt(ctx, &bad, &kept), QELT_ERR_DECRYPT);
    EXPECT_TRUE(kept.vec() == longer || kept.vec().empty());
    OwnedBinstr small(std::string("xy"));
    EXPECT_EQ(QELT_CRYPT_Decrypt(ctx, &bad, &small), QELT_ERR_DECRYPT);
    EXPECT_EQ(small.str(), "xy");
}

// A ciphertext of one padding block decrypts to nothing, which no record can hold.
TEST_F(CryptCipher, EmptyPlaintextIsRefused) {
    setSession(QELT_SYM_ARIA, 16, 16);
    const auto emptyPath = workDir / "empty.bin", outPath = workDir / "pad.bin";
    writeFile(emptyPath, {});
    ASSERT_EQ(QELT_CRYPT_Encrypt_File(ctx, emptyPath.c_str(), outPath.c_str()), 0) << errInfo();
    OwnedBinstr pad(bytesOfFile(outPath)), out;
    EXPECT_EQ(QELT_CRYPT_Decrypt(ctx, &pad, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_Decrypt] QELT_BINSTR_SetData : plainText");
    EXPECT_TRUE(out.vec().empty());
}

// The file functions give byte for byte the in-memory result, across chunks.
TEST_F(CryptCipher, FilesMatchInMemory) {
    std::mt19937 rng(1);
    // Up to a little more than two of the 128 KiB output buffers, so that the
    // writing thread takes buffers while the next one fills.
    std::vector<uint8_t> content(300001);
    for (auto& b : content) b = static_cast<uint8_t>(rng());
    const auto plainPath = workDir / "plain.bin", cipherPath = workDir / "cipher.bin", backPath = workDir / "back.bin";
    for (size_t size : {size_t{300001}, size_t{262144}, size_t{20000}, size_t{8192}, size_t{1}}) {
        writeFile(plainPath, std::vector<uint8_t>(content.begin(), content.begin() + static_cast<long>(size)));
        for (const SessionAlg& a : kSessionAlgs) {
            SCOPED_TRACE(std::to_string(a.code) + " size " + std::to_string(size));
            setSession(a.code, a.keyLen, a.ivLen);
            ASSERT_EQ(QELT_CRYPT_Encrypt_File(ctx, plainPath.c_str(), cipherPath.c_str()), 0) << errInfo();
            EXPECT_EQ(bytesOfFile(cipherPath), encrypt(bytesOfFile(plainPath)));
            ASSERT_EQ(QELT_CRYPT_Decrypt_File(ctx, cipherPath.c_str(), backPath.c_str()), 0) << errInfo();
            EXPECT_EQ(bytesOfFile(backPath), bytesOfFile(plainPath));
        }
    }
}

TEST_F(CryptCipher, FileRefusals) {
    const auto plainPath = workDir / "plain.bin", outPath = workDir / "out.bin", emptyPath = workDir / "empty.bin";
    writeFile(plainPath, std::vector<uint8_t>(100, 1));
    writeFile(emptyPath, {});
    EXPECT_EQ(QELT_CRYPT_Encrypt_File(ctx, "", outPath.c_str()), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_Encrypt_File] 파일경로(pszPlainTextFile)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_Decrypt_File(ctx, plainPath.c_str(), nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_CRYPT_Decrypt_File] 파일경로(pszCipherTextFile)를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_CRYPT_Encrypt_File(ctx, plainPath.c_str(), outPath.c_str()), QELT_ERR_NO_KEY_AND_IV);

    setSession(QELT_SYM_ARIA, 16, 16);
    const std::string missing = (workDir / "missing.bin").string();
    EXPECT_EQ(QELT_CRYPT_Encrypt_File(ctx, missing.c_str(), outPath.c_str()), QELT_ERR_FILE_READ);
    EXPECT_EQ(errInfo(),
              "[QELT_CRYPT_Encrypt_File] \""_cp949 + missing + "\" 위치의 파일을 읽는데 실패하였습니다."_cp949);
    const std::string badOut = (workDir / "no-such-dir" / "out.bin").string();
    EXPECT_EQ(QELT_CRYPT_Encrypt_File(ctx, plainPath.c_str(), badOut.c_str()), QELT_ERR_FILE_READ);
    EXPECT_EQ(errInfo(),
              "[QELT_CRYPT_Encrypt_File] \""_cp949 + badOut + "\" 위치의 파일을 읽는데 실패하였습니다."_cp949);

    // A full disk: the write fails past the first buffers and the call names the output.
    if (std::filesystem::exists("/dev/full")) {
        writeFile(plainPath, std::vector<uint8_t>(400000, 2));
        EXPECT_EQ(QELT_CRYPT_Encrypt_File(ctx, plainPath.c_str(), "/dev/full"), QELT_ERR_FILE_READ);
        EXPECT_EQ(errInfo(), "[QELT_CRYPT_Encrypt_File] \"/dev/full\" 위치의 파일을 읽는데 실패하였습니다."_cp949);
        writeFile(plainPath, std::vector<uint8_t>(100, 1));
    }

    // An empty file encrypts to one padding block; an empty ciphertext has no padding to remove.
    ASSERT_EQ(QELT_CRYPT_Encrypt_File(ctx, emptyPath.c_str(), outPath.c_str()), 0) << errInfo();
    EXPECT_EQ(bytesOfFile(outPath).size(), 16u);
    ASSERT_EQ(QELT_CRYPT_Decrypt_File(ctx, outPath.c_str(), plainPath.c_str()), 0);
    EXPECT_TRUE(bytesOfFile(plainPath).empty());
    EXPECT_EQ(QELT_CRYPT_Decrypt_File(ctx, emptyPath.c_str(), outPath.c_str()), QELT_ERR_DECRYPT);
    writeFile(plainPath, std::vector<uint8_t>(30, 1));  // not whole blocks
    EXPECT_EQ(QELT_CRYPT_Decrypt_File(ctx, plainPath.c_str(), outPath.c_str()), QELT_ERR_DECRYPT);
}

// The openssl command as the peer: what one encrypts the other decrypts.
TEST_F(CryptCipher, InteropWithOpensslEnc) {
    const auto plainPath = workDir / "plain.txt", sslOut = workDir / "ssl.bin", sslBack = workDir / "ssl.txt";
    std::vector<uint8_t> message(1000);
    for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<uint8_t>(i * 31);
    writeFile(plainPath, message);
    int peers = 0;
    for (const SessionAlg& a : kSessionAlgs) {
        SCOPED_TRACE(a.opensslName);
        setSession(a.code, a.keyLen, a.ivLen);
        const std::string common = std::string("openssl enc -") + a.opensslName + " -K " + hex(key) + " -iv " +
                                   hex(iv) + (a.legacy ? " -provider legacy -provider default" : "");
        if (std::system(
                (common + " -in " + plainPath.string() + " -out " + sslOut.string() + " 2>/dev/null").c_str()) != 0) {
            EXPECT_TRUE(a.legacy) << "openssl refused a cipher of its default provider";
            continue;  // no legacy provider on this machine
        }
        EXPECT_EQ(bytesOfFile(sslOut), encrypt(message));
        OwnedBinstr cipher(bytesOfFile(sslOut)), back;
        ASSERT_EQ(QELT_CRYPT_Decrypt(ctx, &cipher, &back), 0);
        EXPECT_EQ(back.vec(), message);
        ASSERT_EQ(QELT_CRYPT_Encrypt_File(ctx, plainPath.c_str(), sslOut.c_str()), 0);
        ASSERT_EQ(std::system((common + " -d -in " + sslOut.string() + " -out " + sslBack.string()).c_str()), 0);
        EXPECT_EQ(bytesOfFile(sslBack), message);
        ++peers;
    }
    EXPECT_GE(peers, 3);
}

}  // namespace
}  // namespace qelt::test
