// The qelt hash / enc / dec verbs, run as a person would.
#include <cstdio>
#include <fstream>

#include "test_support.h"
#include "tools/cli_run.h"

namespace qelt::test {
namespace {

// Runs a shell command, returning its standard output; *status gets the exit status.
std::string run(const std::string& command, int* status = nullptr) {
    const CommandRun r = runCommand(command);
    if (status) *status = r.status;
    return r.out;
}

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(CryptCli, HashEncDec) {
    const auto dir = scratchDir("CryptCli");
    const std::string qelt = std::string("QELT_WORKDIR=") + dir.string() + " " + QELT_CLI_PATH;
    const auto plain = dir / "plain.txt", cipher = dir / "cipher.bin", back = dir / "back.txt", ssl = dir / "ssl.bin";
    {
        std::ofstream out(plain, std::ios::binary);
        for (int i = 0; i < 3000; ++i) out << "line " << i << "\n";
    }
    EXPECT_EQ(run(qelt + " hash -a has160 < /dev/null 2>/dev/null; printf abc | " + qelt + " hash -a has160"),
              "975e810488cf2a3d49838478124afce4b1c78804\n");
    EXPECT_EQ(run(qelt + " hash -a sha256 " + plain.string()),
              run("openssl dgst -sha256 -r " + plain.string()).substr(0, 64) + "\n");

    const std::string keyIv = " -k 000102030405060708090a0b0c0d0e0f -i 0f0e0d0c0b0a09080706050403020100 ";
    int status = -1;
    run(qelt + " enc -a neat" + keyIv + plain.string() + " -o " + cipher.string(), &status);
    ASSERT_EQ(status, 0);
    run("openssl enc -aes-128-cbc -K 000102030405060708090a0b0c0d0e0f -iv 0f0e0d0c0b0a09080706050403020100 -in " +
        plain.string() + " -out " + ssl.string());
    EXPECT_EQ(slurp(cipher), slurp(ssl));
    run(qelt + " dec -a neat --file" + keyIv + cipher.string() + " -o " + back.string(), &status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(slurp(back), slurp(plain));
    EXPECT_EQ(run("cat " + plain.string() + " | " + qelt + " enc -a 3des -k " + std::string(48, '1') + " -i " +
                  std::string(16, '2') + " | " + qelt + " dec -a 3des -k " + std::string(48, '1') + " -i " +
                  std::string(16, '2')),
              slurp(plain));

    const std::string err = run(qelt + " enc -a seed -k 00 -i 00 " + plain.string() + " 2>&1", &status);
    EXPECT_EQ(status, 1);
    EXPECT_EQ(err, "error 1801: [QELT_CRYPT_SetKeyAndIV] SEED 알고리즘은 Key가 16바이트 필요합니다.\n");
    run(qelt + " hash -a sha512 " + plain.string() + " 2>/dev/null", &status);
    EXPECT_EQ(status, 2);
}

}  // namespace
}  // namespace qelt::test
