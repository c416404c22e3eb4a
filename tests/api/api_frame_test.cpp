#include <cstring>

#include "api/api_context.h"
#include "test_support.h"
#include "util/time_text.h"

using namespace qelt::test;

namespace {
qelt::ApiContext* raw(void* ctx) { return static_cast<qelt::ApiContext*>(ctx); }
}  // namespace

TEST(ApiInit, WorkDirSeparatorsAndDefaults) {
    struct Case {
        const char* in;
        const char* stored;
    } cases[] = {{"/tmp/w/", "/tmp/w"}, {"C:\\w\\", "C:\\w"}, {"/tmp/w//", "/tmp/w/"}, {"", ""}, {"/", ""}};
    for (const auto& c : cases) {
        void* ctx = nullptr;
        ASSERT_EQ(QELT_API_Init(&ctx, c.in), 0) << c.in;
        EXPECT_STREQ(raw(ctx)->pszWorkDir, c.stored) << c.in;
        EXPECT_EQ(raw(ctx)->nOption, 0x22u);
        EXPECT_EQ(raw(ctx)->nVerifyType, 1);
        EXPECT_EQ(raw(ctx)->nVerifyCheck, 1);
        EXPECT_EQ(raw(ctx)->bUseCache, 1);
        EXPECT_EQ(QELT_API_Init(&ctx, "/other"), QELT_ERR_ALREADY_INITIALIZED);
        EXPECT_STREQ(raw(ctx)->pszWorkDir, c.stored);
        EXPECT_EQ(QELT_API_Finish(&ctx), 0);
        EXPECT_EQ(ctx, nullptr);
        EXPECT_EQ(QELT_API_Finish(&ctx), 0);
    }
    void* ctx = nullptr;
    EXPECT_EQ(QELT_API_Init(&ctx, nullptr), QELT_ERR_NO_WORK_DIR);
    EXPECT_EQ(ctx, nullptr);
    EXPECT_EQ(QELT_API_Finish(nullptr), 0);
}

TEST(ApiInit, NullAndDisabledHandlesAreRefusedWithoutMessage) {
    char buf[64];
    EXPECT_EQ(QELT_API_GetVersion(nullptr, sizeof buf, buf), QELT_ERR_NOT_INITIALIZED);
    EXPECT_EQ(QELT_API_SetOption(nullptr, 1), QELT_ERR_NOT_INITIALIZED);
    void* ctx = nullptr;
    ASSERT_EQ(QELT_API_Init(&ctx, "/w"), 0);
    raw(ctx)->bInitialized = 0;  // as after a failed random-generator self-test
    EXPECT_EQ(QELT_API_GetVersion(ctx, sizeof buf, buf), QELT_ERR_NOT_INITIALIZED);
    EXPECT_EQ(QELT_API_GetErrInfo(ctx, sizeof buf, buf), QELT_ERR_NO_ERROR_INFO);  // no prologue: still answers
    EXPECT_EQ(QELT_API_Finish(&ctx), 0);
}

class ApiFrame : public ApiTest {};

TEST_F(ApiFrame, VersionAndBufferSizes) {
    char buf[64];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(QELT_API_GetVersion(ctx, 8, buf), QELT_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(buf[0], 'Z');  // untouched
    EXPECT_EQ(errInfo(),
              "[QELT_API_GetVersion] pszVersion에 할당된 메모리가 부족합니다. (필요한 메모리 크기 : 9)"_cp949);
    EXPECT_EQ(QELT_API_GetVersion(ctx, 9, buf), 0);
    EXPECT_STREQ(buf, "V1.5.3.3");
    EXPECT_EQ(QELT_API_GetErrInfo(ctx, sizeof buf, buf), QELT_ERR_NO_ERROR_INFO);
    EXPECT_EQ(QELT_API_GetVersion(ctx, 9, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_API_GetVersion] pszVersion의 포인터가 NULL입니다."_cp949);
}

TEST_F(ApiFrame, InfoIsTwoCrlfLinesInCp949) {
    char buf[256];
    ASSERT_EQ(QELT_API_GetInfo(ctx, sizeof buf, buf), 0);
    const std::string expected = std::string("[API 명] : qeltapi_wc\r\n"_cp949) + "[API 버전] : V1.5.3.3\r\n"_cp949;
    EXPECT_EQ(std::string(buf), expected);
    // The label's Hangul leaves the library as two-byte CP949 codes: "명" is 0xB8ED.
    EXPECT_EQ(static_cast<unsigned char>(buf[5]), 0xB8);
    EXPECT_EQ(static_cast<unsigned char>(buf[6]), 0xED);
    EXPECT_EQ(QELT_API_GetInfo(ctx, static_cast<int>(expected.size()), buf), QELT_ERR_BUFFER_TOO_SMALL);
}

TEST_F(ApiFrame, OptionGroupsMergeIndependently) {
    auto option = [&] { return raw(ctx)->nOption; };
    EXPECT_EQ(QELT_API_SetOption(ctx, 0x01), 0);
    EXPECT_EQ(option(), 0x21u);
    EXPECT_EQ(QELT_API_SetOption(ctx, 0x10), 0);
    EXPECT_EQ(option(), 0x11u);
    EXPECT_EQ(QELT_API_SetOption(ctx, 0x400), 0);
    EXPECT_EQ(option(), 0x411u);
    EXPECT_EQ(QELT_API_SetOption(ctx, 0x200), 0);
    EXPECT_EQ(option(), 0x211u);
    EXPECT_EQ(QELT_API_SetOption(ctx, 0x603), 0);  // 0x01 wins over 0x02, 0x200 then 0x400 added
    EXPECT_EQ(option(), 0x611u);
    EXPECT_EQ(QELT_API_SetOption(ctx, 0), 0);
    EXPECT_EQ(option(), 0x611u);
}

TEST_F(ApiFrame, SettingsAndTheirRefusals) {
    EXPECT_EQ(QELT_API_SetConfFile(ctx, ""), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_API_SetConfFile] 환경파일 위치(pszConfFilePath)를 지정하세요."_cp949);
    EXPECT_EQ(QELT_API_SetConfFile(ctx, "/etc/a.ini"), 0);
    EXPECT_EQ(QELT_API_SetConfFile(ctx, "/etc/b.ini"), 0);
    EXPECT_STREQ(raw(ctx)->pszConfFilePath, "/etc/b.ini");

    BINSTR empty{nullptr, 0};
    EXPECT_EQ(QELT_API_SetCaPubs(ctx, &empty), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_API_SetCaPubs] 인증기관 인증서 목록(pCaPubs)를 지정하세요."_cp949);
    OwnedBinstr bundle(std::string_view("\x30\x03\x02\x01\x05", 5));
    EXPECT_EQ(QELT_API_SetCaPubs(ctx, &bundle), 0);
    ASSERT_NE(raw(ctx)->pCaPubs, nullptr);
    EXPECT_EQ(raw(ctx)->pCaPubs->length(), 5);
    EXPECT_EQ(QELT_API_FreeCaPubs(ctx), 0);
    EXPECT_EQ(raw(ctx)->pCaPubs, nullptr);
    EXPECT_EQ(QELT_API_FreeCaPubs(ctx), 0);

    const int expected[] = {5, 3, 9, 6};
    for (int i = 1; i <= 4; ++i) {
        EXPECT_EQ(QELT_API_SetHashAlgo(ctx, i), 0);
        EXPECT_EQ(raw(ctx)->nHashAlg, expected[i - 1]);
    }
    EXPECT_EQ(QELT_API_SetHashAlgo(ctx, 5), QELT_ERR_HASH_ALGORITHM);
    EXPECT_EQ(errInfo(), "[QELT_API_SetHashAlgo] 지원되지 않는 HASH 알고리즘입니다."_cp949);
    EXPECT_EQ(QELT_API_SetHashAlgo(ctx, 0), QELT_ERR_HASH_ALGORITHM);
}

TEST_F(ApiFrame, Str2TimeForms) {
    time_t a = 0, b = 0, z = 0;
    ASSERT_EQ(QELT_API_Str2Time(ctx, "20130425093000", &a), 0);
    ASSERT_EQ(QELT_API_Str2Time(ctx, "2013-04-25 09:30:00", &b), 0);
    ASSERT_EQ(QELT_API_Str2Time(ctx, "20130425093000Z", &z), 0);
    EXPECT_EQ(a, b);
    EXPECT_EQ(z, 1366882200);
    EXPECT_EQ(z - a, qelt::localUtcOffset());

    time_t t = 0;
    EXPECT_EQ(QELT_API_Str2Time(ctx, "20380119031407Z", &t), 0);
    EXPECT_EQ(t, 2147483647);
    EXPECT_EQ(QELT_API_Str2Time(ctx, "20380119031408Z", &t), QELT_ERR_TIME_FORMAT);
    EXPECT_EQ(errInfo(),
              "[QELT_API_Str2Time] 1970년 이전 시간이나 2038년 1월 19일 03:14:07이후 시간은 지원하지 않습니다."_cp949);
    EXPECT_EQ(QELT_API_Str2Time(ctx, "19691231235959Z", &t), QELT_ERR_TIME_FORMAT);
    EXPECT_EQ(QELT_API_Str2Time(ctx, "201304250930", &t), QELT_ERR_TIME_FORMAT);
    EXPECT_EQ(errInfo(), "[QELT_API_Str2Time] 시간은 YYYYMMDDhhmmss(z(Z)) 형식으로 설정해야 한다."_cp949);
    EXPECT_EQ(QELT_API_Str2Time(ctx, "", &t), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_API_Str2Time] 시간 정보(pszTime)를 입력하세요."_cp949);
    EXPECT_EQ(QELT_API_Str2Time(ctx, "2013-04-25 09:30", &t), QELT_ERR_TIME_FORMAT);  // a field is missing
}

TEST(TimeText, ShortYearRolloverAndBounds) {
    using qelt::TimeForm;
    using qelt::TimeTextResult;
    int64_t a = 0, b = 0;
    EXPECT_EQ(qelt::convertTimeText("130425093000", TimeForm::ShortYear, false, a), TimeTextResult::Ok);
    EXPECT_EQ(a, 1366882200);
    EXPECT_EQ(qelt::convertTimeText("491231235959", TimeForm::ShortYear, false, a), TimeTextResult::OutOfRange);
    EXPECT_EQ(qelt::convertTimeText("500101000000", TimeForm::ShortYear, false, a), TimeTextResult::OutOfRange);
    EXPECT_EQ(qelt::convertTimeText("1304250930", TimeForm::ShortYear, false, a), TimeTextResult::BadShortForm);
    // Fields are not range-checked: month 13 is January of the next year.
    EXPECT_EQ(qelt::convertTimeText("2012-13-01 00:00:00", TimeForm::LongYear, false, a), TimeTextResult::Ok);
    EXPECT_EQ(qelt::convertTimeText("20130101000000", TimeForm::LongYear, false, b), TimeTextResult::Ok);
    EXPECT_EQ(a, b);
    EXPECT_EQ(qelt::convertTimeText("1970-01-01 00:00:49", TimeForm::LongYear, false, a), TimeTextResult::OutOfRange);
    EXPECT_EQ(qelt::convertTimeText("1970-01-01 00:00:50", TimeForm::LongYear, false, a), TimeTextResult::Ok);
    EXPECT_EQ(qelt::convertTimeText("9999999999999-99-99 99:99:99", TimeForm::LongYear, false, a),
              TimeTextResult::OutOfRange);
}

TEST(ApiInit, EveryFrameFunctionRefusesANullHandle) {
    char buf[16];
    BINSTR b{nullptr, 0};
    time_t t;
    int v;
    char s[] = "x";
    const int results[] = {
        QELT_API_GetVersion(nullptr, 16, buf),
        QELT_API_GetInfo(nullptr, 16, buf),
        QELT_API_SetOption(nullptr, 1),
        QELT_API_SetConfFile(nullptr, "a"),
        QELT_API_SetCaPubs(nullptr, &b),
        QELT_API_FreeCaPubs(nullptr),
        QELT_API_Str2Time(nullptr, "20130101000000", &t),
        QELT_API_SetHashAlgo(nullptr, 1),
        QELT_API_GetErrInfo(nullptr, 16, buf),
        QELT_UTIL_GetProfileInt(nullptr, s, s, s, &v),
        QELT_UTIL_GetProfileString(nullptr, s, s, s, 16, buf),
        QELT_UTIL_SetProfileInt(nullptr, s, s, s, 1),
        QELT_UTIL_SetProfileString(nullptr, s, s, s, s),
        QELT_BASE64_Encode(nullptr, &b, &b),
        QELT_BASE64_Decode(nullptr, &b, &b),
        QELT_PEM_Encode(nullptr, 1, &b, &b),
        QELT_PEM_Decode(nullptr, &b, &b),
        QELT_STORAGE_ReadFile(nullptr, s, &b),
        QELT_STORAGE_WriteFile(nullptr, s, &b),
    };
    for (size_t i = 0; i < std::size(results); ++i) EXPECT_EQ(results[i], QELT_ERR_NOT_INITIALIZED) << i;
}
