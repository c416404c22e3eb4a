#include "test_support.h"

#include <cstdlib>

namespace qelt::test {

std::filesystem::path scratchDir(const std::string& name) {
    const char* root = std::getenv("QELT_TEST_TMP");
    std::filesystem::path dir = std::filesystem::path(root ? root : QELT_BINARY_DIR "/test-tmp") / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

void ApiTest::SetUp() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    workDir = scratchDir(std::string(info->test_suite_name()) + "." + info->name());
    ASSERT_EQ(QELT_API_Init(&ctx, workDir.c_str()), 0);
}

void ApiTest::TearDown() { EXPECT_EQ(QELT_API_Finish(&ctx), 0); }

std::string ApiTest::errInfo() {
    char buf[8192];
    return QELT_API_GetErrInfo(ctx, sizeof buf, buf) == 0 ? std::string(buf) : std::string();
}

}  // namespace qelt::test
