// The qelt command as a person uses it: exit codes, UTF-8 output, pipes and files.
#include <fstream>

#include "test_support.h"
#include "tools/cli_run.h"

using namespace qelt::test;

namespace {

// Runs "qelt ARGS" through the shell (stderr joined to stdout) with `input` on stdin.
CommandRun runQelt(const std::string& args, const std::string& input = "") {
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    static int serial = 0;
    const auto dir = scratchDir(std::string("cli.") + test->name() + "." + std::to_string(++serial));
    const auto in = dir / "stdin";
    std::ofstream(in, std::ios::binary) << input;
    const std::string cmd = "QELT_WORKDIR='" + (dir / "work").string() + "' '" + QELT_CLI_PATH + "' " + args + " < '" +
                            in.string() + "' 2>&1";
    return runCommand(cmd);
}

}  // namespace

TEST(Cli, FrameVerbs) {
    EXPECT_EQ(runQelt("version").out, "V1.5.3.3\n");
    const CommandRun info = runQelt("info");
    EXPECT_EQ(info.status, 0);
    EXPECT_EQ(info.out, "[API 명] : qeltapi_wc\r\n[API 버전] : V1.5.3.3\r\n");  // UTF-8 on the terminal

    EXPECT_EQ(runQelt("base64 encode", "foobar").out, "Zm9vYmFy\n");
    EXPECT_EQ(runQelt("base64 decode -", "Zm9vYmFy").out, "foobar");
    const CommandRun pem = runQelt("pem encode --type 3", "foobar");
    EXPECT_EQ(pem.out, "-----BEGIN X509 CRL-----\r\nZm9vYmFy\r\n-----END X509 CRL-----\n");
    EXPECT_EQ(runQelt("pem decode", pem.out).out, "foobar");
    EXPECT_EQ(runQelt("time 20380119031407Z").out, "2147483647\n");

    const CommandRun bad = runQelt("base64 decode", "Zm9");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "error 1901: [QELT_BASE64_Decode] BASE64 디코딩 실패\n");
    const CommandRun late = runQelt("time 20380119031408Z");
    EXPECT_EQ(late.status, 1);
    EXPECT_NE(late.out.find("error 1242: [QELT_API_Str2Time] 1970년 이전 시간이나"), std::string::npos);

    EXPECT_EQ(runQelt("frobnicate").status, 2);
    const CommandRun help = runQelt("--help");
    EXPECT_EQ(help.status, 0);
    for (const char* verb : {"\n  base64 ", "\n  pem ", "\n  profile ", "\n  time ", "\n  version ", "\n  info "})
        EXPECT_NE(help.out.find(verb), std::string::npos) << verb;
}

TEST(Cli, ProfileWithKoreanText) {
    const auto ini = scratchDir("cli-profile") / "app.ini";
    std::ofstream(ini) << "[사용자]\n"_cp949;
    EXPECT_EQ(runQelt("profile set " + ini.string() + " 사용자 이름 홍길동").status, 0);
    EXPECT_EQ(runQelt("profile get " + ini.string() + " 사용자 이름").out, "홍길동\n");
    // On disk the text is CP949.
    std::ifstream in(ini, std::ios::binary);
    const std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(content.find(std::string("이름 = 홍길동"_cp949)), std::string::npos);
    const CommandRun missing = runQelt("profile get " + ini.string() + " 사용자 없음");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "error 1202: [QELT_UTIL_GetProfileString] [사용자]의 없음 값이 없습니다.\n");
}
