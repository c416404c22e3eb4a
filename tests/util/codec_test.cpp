#include "test_support.h"
#include "util/base64.h"

using namespace qelt::test;
using qelt::ByteString;

namespace {
ByteString b64(std::string_view s) {
    ByteString out;
    EXPECT_EQ(qelt::base64Encode(ByteString(s.data(), static_cast<int>(s.size())), out), 0);
    return out;
}
}  // namespace

TEST(Base64, Rfc4648VectorsAndPadding) {
    const std::pair<const char*, const char*> vectors[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                                           {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                                                           {"foobar", "Zm9vYmFy"}};
    for (const auto& [plain, encoded] : vectors) {
        EXPECT_EQ(b64(plain).view(), encoded);
        ByteString back;
        ASSERT_EQ(qelt::base64Decode(ByteString(encoded), back), 0) << encoded;
        EXPECT_EQ(back.view(), plain);
    }
    // Every byte value survives a round trip.
    std::string all;
    for (int i = 0; i < 256; ++i) all.push_back(static_cast<char>(i));
    ByteString back;
    ASSERT_EQ(qelt::base64Decode(b64(all), back), 0);
    EXPECT_EQ(back.view(), all);
}

TEST(Base64, StrictDecodingRefusals) {
    for (const char* bad : {"Zm9", "Zm9v\r\n", "Zm 9v", "Z===", "Zm=v", "=Zm9", "Zm9v!A==", "====", "Zg=\n"}) {
        ByteString out("keep");
        EXPECT_EQ(qelt::base64Decode(ByteString(bad), out), 1) << bad;
    }
}

TEST(Pem, LayoutLinesAndLabels) {
    std::string data48(48, 'a'), data49(49, 'a');
    ByteString text;
    ASSERT_EQ(qelt::pemEncode(qelt::PEM_CERTIFICATE, ByteString(data48.data(), 48), text), 0);
    const std::string body48 = b64(data48).c_str();
    EXPECT_EQ(body48.size(), 64u);
    EXPECT_EQ(text.view(), "-----BEGIN CERTIFICATE-----\r\n" + body48 + "\r\n-----END CERTIFICATE-----");

    ASSERT_EQ(qelt::pemEncode(qelt::PEM_NONE, ByteString(data49.data(), 49), text), 0);
    const std::string body49 = b64(data49).c_str();
    EXPECT_EQ(text.view(), body49.substr(0, 64) + "\r\n" + body49.substr(64));
    EXPECT_EQ(body49.size() - 64, 4u);

    ASSERT_EQ(qelt::pemEncode(qelt::PEM_X509_CRL, ByteString("x"), text), 0);
    EXPECT_EQ(text.view().substr(0, 21), "-----BEGIN X509 CRL--");
}

TEST(Pem, DecodeAnyLabelAndTyped) {
    const std::string body = "-----BEGIN SOMETHING ELSE-----\nZm9v\r\nYmFy\n-----END SOMETHING ELSE-----\n";
    ByteString out;
    ASSERT_EQ(qelt::pemDecode(ByteString(body.c_str()), out), 0);
    EXPECT_EQ(out.view(), "foobar");
    ASSERT_EQ(qelt::pemDecode(ByteString("Zm9v Ym Fy\r\n"), out), 0);  // no markers: the whole text is the body
    EXPECT_EQ(out.view(), "foobar");
    // A clean Base64 text followed by a line break fails as Base64 and passes as PEM.
    EXPECT_EQ(qelt::base64Decode(ByteString("Zm9vYmFy\r\n"), out), 1);
    EXPECT_EQ(qelt::pemDecode(ByteString("-----BEGIN X-----\r\nZm9vYmFy\r\n-----END X-----"), out), 0);

    EXPECT_EQ(qelt::pemDecode(ByteString("-----BEGIN X"), out), qelt::PEM_NO_HEADER);
    EXPECT_EQ(qelt::pemDecode(ByteString("-----BEGIN X-----Zm9v"), out), qelt::PEM_NO_FOOTER);
    EXPECT_EQ(qelt::pemDecode(ByteString("-----BEGIN X-----Zm9v*-----END X-----"), out), qelt::PEM_BAD_BODY);

    const std::string req = "junk\n-----BEGIN CERTIFICATE REQUEST-----\nZm9v\n-----END CERTIFICATE REQUEST-----\n";
    ASSERT_EQ(qelt::pemDecodeTyped(qelt::PEM_CERTIFICATE_REQUEST, ByteString(req.c_str()), out), 0);
    EXPECT_EQ(out.view(), "foo");
    EXPECT_EQ(qelt::pemDecodeTyped(qelt::PEM_CERTIFICATE, ByteString(req.c_str()), out), qelt::PEM_NO_HEADER);
    EXPECT_EQ(qelt::pemDecodeTyped(qelt::PEM_X509_CRL, ByteString("-----BEGIN X509 CRL-----Zm9v"), out),
              qelt::PEM_NO_FOOTER);
}

class CodecApi : public ApiTest {};

TEST_F(CodecApi, ExportedFunctionsAndTheirMessages) {
    OwnedBinstr data(std::string_view("foobar")), out;
    ASSERT_EQ(QELT_BASE64_Encode(ctx, &data, &out), 0);
    EXPECT_EQ(out.str(), "Zm9vYmFy");
    EXPECT_EQ(out.b.pVal[out.b.nLen], 0);  // filled records carry a NUL
    OwnedBinstr decoded;
    ASSERT_EQ(QELT_BASE64_Decode(ctx, &out, &decoded), 0);
    EXPECT_EQ(decoded.str(), "foobar");

    BINSTR empty{nullptr, 0};
    EXPECT_EQ(QELT_BASE64_Encode(ctx, &empty, &out), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_BASE64_Encode] 인코딩할 데이터를 지정해 주세요."_cp949);
    EXPECT_EQ(QELT_BASE64_Encode(ctx, &data, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_BASE64_Encode] pEncData의 포인터가 NULL입니다."_cp949);
    OwnedBinstr bad(std::string_view("Zm9"));
    EXPECT_EQ(QELT_BASE64_Decode(ctx, &bad, &decoded), QELT_ERR_BASE64_DECODE);
    EXPECT_EQ(errInfo(), "[QELT_BASE64_Decode] BASE64 디코딩 실패"_cp949);
    EXPECT_EQ(decoded.str(), "foobar");  // the output is untouched on failure
    EXPECT_EQ(QELT_BASE64_Decode(ctx, nullptr, &decoded), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_BASE64_Decode] 디코딩할 데이터를 지정해 주세요."_cp949);

    OwnedBinstr pem;
    ASSERT_EQ(QELT_PEM_Encode(ctx, 3, &data, &pem), 0);
    EXPECT_EQ(pem.str(), "-----BEGIN X509 CRL-----\r\nZm9vYmFy\r\n-----END X509 CRL-----");
    ASSERT_EQ(QELT_PEM_Encode(ctx, 5, &data, &pem), 0);
    EXPECT_EQ(pem.str().substr(0, 17), "-----BEGIN PKCS7-");
    ASSERT_EQ(QELT_PEM_Decode(ctx, &pem, &decoded), 0);
    EXPECT_EQ(decoded.str(), "foobar");
    EXPECT_EQ(QELT_PEM_Encode(ctx, 6, &data, &pem), QELT_ERR_UNSUPPORTED_TYPE);
    EXPECT_EQ(QELT_PEM_Encode(ctx, -1, &data, &pem), QELT_ERR_UNSUPPORTED_TYPE);
    EXPECT_EQ(QELT_PEM_Encode(ctx, 1, nullptr, &pem), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_PEM_Encode] 인코딩할 데이터(pData)를 지정해 주세요."_cp949);
    OwnedBinstr broken(std::string_view("-----BEGIN X-----Zm9v"));
    EXPECT_EQ(QELT_PEM_Decode(ctx, &broken, &decoded), QELT_ERR_PEM_DECODE);
    EXPECT_EQ(errInfo(), "[QELT_PEM_Decode] PEM 메시지를 디코딩하는데 실패하였습니다."_cp949);
    EXPECT_EQ(QELT_PEM_Decode(ctx, &broken, nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(errInfo(), "[QELT_PEM_Decode] pData의 포인터가 NULL입니다."_cp949);
}
