#include <cstring>

#include "api/error_record.h"
#include "ZRCrypto/engine/zcap_result.h"
#include "test_support.h"
#include "util/error_holder.h"

using namespace qelt::test;

class ErrorRecord : public ApiTest {
protected:
    qelt::ApiContext* c() { return static_cast<qelt::ApiContext*>(ctx); }
};

TEST_F(ErrorRecord, CompositionKinds) {
    struct Case {
        int kind;
        const char* function;
        const char* expected;
    } cases[] = {
        {0, "F", "[F] M"},
        {0, nullptr, "M"},
        {1, "F", "[F] M <zorinlib> T"},
        {1, nullptr, "M <zorinlib> T"},
        {2, "F", "[F] M <ldaplib> errcode=0x51,msg=T"},
        {2, nullptr, "M <ldaplib> errcode=0x51,msg=T"},
        {3, "F", "[F] M <dynamiclib> fnc=N,errcode=0x51,msg=T"},
        {3, nullptr, "M <dynamiclib> fnc=N,errcode=0x51,msg=T"},
        {4, "F", "[F] M <ivs> respcode=81,respdesc=T"},
        {4, nullptr, "M <ivs> respcode=81,respdesc=T"},
        {7, "F", ""},
    };
    for (const auto& k : cases) {
        qelt::RecordError(c(), 1500, k.kind, k.function, "M", "N", 0x51, "T");
        EXPECT_EQ(c()->nErrCode, 1500);
        ASSERT_NE(c()->pszErrMsg, nullptr);
        EXPECT_STREQ(c()->pszErrMsg, k.expected) << k.kind;
    }
    // A null message keeps the previous detail message.
    qelt::RecordError(c(), 1501, 0, "F", nullptr, nullptr, 0, nullptr);
    EXPECT_EQ(c()->nErrCode, 1501);
    EXPECT_STREQ(c()->pszErrMsg, "");
    // A composition past the formatting limit is lost; the code remains.
    const std::string huge(5000, 'x');
    qelt::RecordError(c(), 1502, 0, "F", huge.c_str(), nullptr, 0, nullptr);
    EXPECT_EQ(c()->nErrCode, 1502);
    EXPECT_STREQ(c()->pszErrMsg, "");
    qelt::ClearError(c());
    EXPECT_EQ(c()->nErrCode, 0);
    EXPECT_EQ(c()->pszErrMsg, nullptr);
}

TEST_F(ErrorRecord, GetErrInfoTruncatesAndDoesNotConsume) {
    qelt::RecordError(c(), 1200, 0, "F", "abcdef", nullptr, 0, nullptr);  // "[F] abcdef", 10 bytes
    char buf[32];
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(QELT_API_GetErrInfo(ctx, 10, buf), QELT_ERR_BUFFER_TOO_SMALL);
    EXPECT_STREQ(buf, "[F] abcde");
    std::memset(buf, 'Z', sizeof buf);
    EXPECT_EQ(QELT_API_GetErrInfo(ctx, 0, buf), QELT_ERR_BUFFER_TOO_SMALL);
    EXPECT_EQ(buf[0], 'Z');
    EXPECT_EQ(QELT_API_GetErrInfo(ctx, 11, buf), 0);
    EXPECT_STREQ(buf, "[F] abcdef");
    EXPECT_EQ(QELT_API_GetErrInfo(ctx, 11, buf), 0);
    EXPECT_EQ(QELT_API_GetErrInfo(ctx, 11, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(QELT_API_GetErrInfo(nullptr, 11, buf), QELT_ERR_NOT_INITIALIZED);
}

TEST(ErrorMessages, LookupTable) {
    EXPECT_STREQ(qelt::ErrorMessageLookup(1000), "API가 이미 초기화 되어 있음"_cp949);
    EXPECT_STREQ(qelt::ErrorMessageLookup(1242), "검증 시간 형식 또는 날짜가 잘못되었습니다."_cp949);
    EXPECT_STREQ(qelt::ErrorMessageLookup(2000), "URL에서 문자열 \"://\"을 찾을 수 없음"_cp949);
    EXPECT_STREQ(qelt::ErrorMessageLookup(5004), "Java class call error.");
    for (int code : {0, 1524, 1999, 2108, 8021, -1})
        EXPECT_STREQ(qelt::ErrorMessageLookup(code), "정의된 에러메시지가 없음"_cp949) << code;
    // The texts leave the library as CP949: "정" is 0xC1A4.
    const auto* text = reinterpret_cast<const unsigned char*>(qelt::ErrorMessageLookup(1));
    EXPECT_EQ(text[0], 0xC1);
    EXPECT_EQ(text[1], 0xA4);
}

TEST(EngineResultText, StagesAndUnknownCodes) {
    EXPECT_STREQ(qelt::ZCAP_GetResultText(2107), "Update stage; Invalid key value.(2107)");
    EXPECT_STREQ(qelt::ZCAP_GetResultText(116), " Verification of signature or MAC failed.(116)");
    EXPECT_STREQ(qelt::ZCAP_GetResultText(3101), "Final stage; Invalid input or output data.(3101)");
    EXPECT_STREQ(qelt::ZCAP_GetResultText(1102), "Init stage; Memory allocation failed.(1102)");
    EXPECT_STREQ(qelt::ZCAP_GetResultText(5116), " Verification of signature or MAC failed.(5116)");
    EXPECT_STREQ(qelt::ZCAP_GetResultText(117), "");
    EXPECT_STREQ(qelt::ZCAP_GetResultText(0), " Successfully completed.(0)");
}

TEST(LocationRecord, FormatAndChaining) {
    struct Holder : qelt::ErrorHolder {};
    Holder inner, outer;
    inner.fail("RInner", "decode", "this", 3);
    const std::string innerText = inner.errorText();
    EXPECT_EQ(innerText.rfind("[error_record_test.cpp:", 0), 0u) << innerText;
    EXPECT_EQ(innerText.substr(innerText.find(']')), "]RInner::decode-this(3)");
    EXPECT_EQ(inner.errorCode(), 3);

    outer.location("POuter", "process", "m_inner", 7, inner.errorText());
    const std::string outerText = outer.errorText();
    EXPECT_NE(outerText.find("]POuter::process-m_inner(7),[error_record_test.cpp:"), std::string::npos);
    EXPECT_EQ(outerText.substr(outerText.size() - innerText.size()), innerText);
    EXPECT_EQ(outer.errorCode(), 0);  // location() leaves the code to the caller

    // The holder's own chain passed as the message grows outward.
    outer.location("POuter", "again", "this", 8, outer.errorText());
    EXPECT_NE(std::string(outer.errorText()).find("again-this(8),["), std::string::npos);

    qelt::ByteString chain;
    qelt::formatLocationRecord(chain, "C:\\src\\a\\b.cpp", 12, "K", "m", "l", 1, "");
    EXPECT_STREQ(chain.c_str(), "[b.cpp:12]K::m-l(1)");
    qelt::formatLocationRecord(chain, "plain.cpp", 1, "K", "m", "l", 1, "msg");
    EXPECT_STREQ(chain.c_str(), "[plain.cpp:1]K::m-l(1),msg");
}
