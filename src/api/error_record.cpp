#include "api/error_record.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "util/cp949_literal.h"

namespace qelt {

namespace {

struct MessageEntry {
    int code;
    const char* text;
};

// Result code -> fixed text, sorted by code.
const MessageEntry kMessages[] = {
    {1000, "API가 이미 초기화 되어 있음"_cp949},
    {1001, "API를 초기화 해야 함"_cp949},
    {1002, "작업 디렉토리 경로 지정해야 함"_cp949},
    {1003, "메모리 할당 실패"_cp949},
    {1004, "포인터에 할당한 메모리의 사이즈가 충분하지 않음"_cp949},
    {1005, "추가적인 에러 정보 없음"_cp949},
    {1006, "올바르지 않은 인자값"_cp949},
    {1007, "해당 시스템에서 지원되지 않는 함수 임"_cp949},
    {1008, "서버로 부터 응답 메시지를 받는데 실패 (TimeOut)"_cp949},
    {1200, "잘못된 인증서 형식"_cp949},
    {1201, "정보를 확인할 인증서를 설정하지 않음"_cp949},
    {1202, "정보를 확인하고자 하는 필드가 인증서에 존재하지 않음"_cp949},
    {1203, "해당 인증서의 유효기간이 만료됨"_cp949},
    {1204, "인증서 목록 구조체 처리 실패"_cp949},
    {1205, "index의 값이 복수의 인증서 구조체에 포함된 인증서의 개수를 초과"_cp949},
    {1206, "복수의 인증서 구조체에 잘못된 인증서가 포함되어 있음."_cp949},
    {1207, "인증서에 CRL 배포지점 정보가 없음"_cp949},
    {1208, "인증서 CRL 배포 지점 정보가 잘못되었음"_cp949},
    {1209, "인증서 폐지 목록으로 설정한 데이터가 인증서 폐지 목록이 아님"_cp949},
    {1210, "CTL 서명자의 인증서 정보가 없어서 CTL의 서명을 검증할 수 없음"_cp949},
    {1211, "잘못된 인증서 폐지 목록(CRL)입니다."_cp949},
    {1212, "유효기간이 만료된 인증서 폐지 목록(CRL)입니다."_cp949},
    {1213, "인증서 폐지 목록의 유효기간 정보가 잘못되었습니다."_cp949},
    {1214, "효력정지된 인증서 입니다."_cp949},
    {1215, "폐지된 인증서 입니다."_cp949},
    {1216, "OCSP 서버에 접속하는데 실패"_cp949},
    {1217, "OCSP 요청 메시지 전송을 실패"_cp949},
    {1218, "OCSP 응답 메시지를 받는데 실패"_cp949},
    {1219, "OCSP 요청 메시지 구성 실패"_cp949},
    {1220, "잘못된 OCSP 응답 메시지"_cp949},
    {1221, "OCSP 요청이 승인되지 않음"_cp949},
    {1222, "해당 OCSP 서버에서 해당 인증서에 대한 폐지 여부 확인 서비스를 지원하지 않음"_cp949},
    {1223, "획득한 인증서 경로를 저장하는데 실패"_cp949},
    {1224, "인증서 경로 구성 실패"_cp949},
    {1225, "신뢰하는 최상위 인증기관 인증서를 지정해야 함"_cp949},
    {1226, "환경 파일을 읽는데 실패"_cp949},
    {1227, "환경파일에서 CTL의 게시 정보를 획득하는데 실패"_cp949},
    {1228, "환경파일의 CTL의 게시 위치에서 CTL을 획득하는데 실패"_cp949},
    {1229, "획득한  신뢰 인증서 목록(CTL) 저장 실패"_cp949},
    {1230, "잘못된 신뢰 인증서 목록"_cp949},
    {1231, "CTL 발급자를 신뢰할 수 없음"_cp949},
    {1232, "구축된 인증서 경로의 최상위 인증기관 인증서를 신뢰할 수 없음"_cp949},
    {1233, "인증서 경로 검증 실패"_cp949},
    {1234, "인증서 경로 검증 시, 유효기간 검증 실패"_cp949},
    {1235, "인증서 경로 검증 시, 키 용도 검증 실패"_cp949},
    {1236, "인증서 경로 검증 시, 기본 제한 검증 실패"_cp949},
    {1237, "인증서 경로 검증 시, 이름 제한 검증 실패"_cp949},
    {1238, "인증서 경로 검증 시, 인증서 정책 검증 실패"_cp949},
    {1239, "OCSP 서버스 위치 정보가 필요함"_cp949},
    {1240, "디렉토리에서 획득한 CRL / ARL을 저장하는데 실패"_cp949},
    {1241, "OCSP 인증서가 존재하지 않음"_cp949},
    {1242, "검증 시간 형식 또는 날짜가 잘못되었습니다."_cp949},
    {1243, "인증서 경로 획득 실패"_cp949},
    {1244, "검증 시간 형식 또는 날짜가 잘못되었습니다."_cp949},
    {1245, "인증서로 설정한 데이터가 인증서가 아님"_cp949},
    {1246, "인증서 신뢰 목록으로 설정한 데이터가 인증서 신뢰 목록이 아님"_cp949},
    {1247, "인증서 목록으로 설정한 데이터가 인증서 목록이 아님"_cp949},
    {1248, "인증서의 만료날짜가 얼마남지 않았습니다. 인증서 갱신이 필요합니다."_cp949},
    {1249, "이미 유효기간이 지난 CTL 입니다."_cp949},
    {1250, "인증서 신뢰 목록 발급 일자가 현재시간 보다 이후 입니다."_cp949},
    {1251, "CRL 획득 실패"_cp949},
    {1300, "잘못된 복호화된 개인키"_cp949},
    {1301, "개인키 비밀번호가 틀렸음"_cp949},
    {1302, "개인키 암호화 실패"_cp949},
    {1303, "키 쌍이 맞지 않음"_cp949},
    {1304, "잘못된 암호화된 개인키"_cp949},
    {1305, "복호화된 개인키로 설정한 데이터가 복호화된 개인키가 아님"_cp949},
    {1306, "암호화된 개인키로 설정한 데이터가 암호화된 개인키가 아님"_cp949},
    {1400, "인증서를 저장매체에서 읽는데 실패"_cp949},
    {1401, "개인키를 저장매체에서 읽는데 실패"_cp949},
    {1402, "해당 경로의 파일을 읽는데 실패"_cp949},
    {1403, "해당 경로에 파일을 저장하는데 실패"_cp949},
    {1404, "읽고자 하는 파일이 비어있음"_cp949},
    {1405, "지원하지 않는 저장매체 종류"_cp949},
    {1406, "동적 라이브러리를 로드해야 함"_cp949},
    {1407, "이미 동적라이브러리가 로드되어 있음"_cp949},
    {1408, "동적 라이브러리 로드 실패"_cp949},
    {1409, "동적 라이브러리 해제 실패"_cp949},
    {1410, "동적 라이브러리에서 함수 포인터 획득 실패"_cp949},
    {1411, "파일을 삭제하는데 실패"_cp949},
    {1412, "인증서를 저장매체에 저장하는데 실패"_cp949},
    {1413, "개인키를 저장매체에 저장하는데 실패"_cp949},
    {1500, "잘못된 서명 데이터"_cp949},
    {1501, "서명 데이터 구성 실패"_cp949},
    {1502, "잘못된 암호 데이터"_cp949},
    {1503, "암호 데이터 구성 실패"_cp949},
    {1504, "잘못된 서명 및 암호 데이터"_cp949},
    {1505, "서명 및 암호 데이터 구성 실패"_cp949},
    {1506, "서명자의 인증서가 없음"_cp949},
    {1507, "해당 인증서로는 암호 데이터를 처리 할 수 없음"_cp949},
    {1508, "잘못된 수신자 인증서"_cp949},
    {1509, "잘못된 서명자 인증서"_cp949},
    {1510, "서명용 인증서가 아님"_cp949},
    {1511, "암호화용 인증서가 아님"_cp949},
    {1512, "서명 데이터로 설정한 데이터가 서명 데이터가 아님"_cp949},
    {1513, "암호 데이터로 설정한 데이터가 암호 데이터가 아님"_cp949},
    {1514, "서명 및 암호 데이터로 설정한 데이터가 서명 및 암호 데이터가 아님"_cp949},
    {1515, "대칭키암호메시지(Encrypted Data)가 아님"_cp949},
    {1516, "잘못된 대칭키 암호메시지"_cp949},
    {1517, "대칭키 암호메시지 구성 실패"_cp949},
    {1518, "잘못된 서명자 정보임."_cp949},
    {1519, "잘못된 무선용 서명 메시지(SignedContent) 임."_cp949},
    {1520, "무선용 서명 메시지(SignedContent) 구성 실패."_cp949},
    {1521, "잘못된 무선용 비대칭키 암호 메시지(WapEnvelopedData) 임."_cp949},
    {1522, "무선용 비대칭키 암호 메시지(WapEnvelopedData) 구성 실패."_cp949},
    {1523, "지원되지 않는 서명자 정보 타입"_cp949},
    {1600, "전자관인 요청 메시지를 생성하는데 실패"_cp949},
    {1601, "TSA 서버에 접속 실패"_cp949},
    {1602, "전자관인 요청 메시지를 전송하는데 실패"_cp949},
    {1603, "전자관인 응답 메시지를 받는데 실패"_cp949},
    {1604, "TSA 응답 메시지로 설정한 데이터가 TSA 응답 메시지가 아님"_cp949},
    {1605, "잘못된 전자관인 응답 메시지 입니다."_cp949},
    {1606, "잘못된 전자관인 토큰"_cp949},
    {1607, "전자관인 요청이 승인되지 않음"_cp949},
    {1608, "전자관인 토큰이 서명 데이터가 아님"_cp949},
    {1609, "TSA 응답 메시지로 설정한 데이터가 TSA 응답 메시지가 아님"_cp949},
    {1610, "전자관인 요청 정보를 확인할 수 없음"_cp949},
    {1611, "전자관인을 요청했던 메시지와 전자관인 받은 메시지가 다름"_cp949},
    {1612, "전자관인 요청에 대한 응답 메시지가 아님"_cp949},
    {1613, "전자관인 응답메시지가 요청자가 허용하지 않는 인증서 정책으로 발급됨"_cp949},
    {1614, "해당 문서에 대한 시점확인 토큰이 아님"_cp949},
    {1700, "주민(사업자)등록번호에 대한 인증서 소유자가 아님"_cp949},
    {1701, "인증서 안에 본인확인 정보가 없음"_cp949},
    {1702, "개인키에 랜덤정보가 없음"_cp949},
    {1800, "지원하지 않는 대칭키 알고리즘"_cp949},
    {1801, "지정한 알고리즘에 부적당한 Key 길이 임"_cp949},
    {1802, "지정한 알고리즘에 부적당한 IV 길이 임"_cp949},
    {1803, "지원하지 않는 해쉬 알고리즘"_cp949},
    {1804, "지원하지 않는 MAC 알고리즘"_cp949},
    {1805, "대칭키 알고리즘의 Key와 IV가 설정되지 않음"_cp949},
    {1806, "데이터를 해당 키로 암호화하는데 실패"_cp949},
    {1807, "데이터를 해당 키로 복화하는데 실패"_cp949},
    {1808, "KCDSA 서명을 위해서는 인증서 정보를 지정"_cp949},
    {1809, "서명 값 생성 실패"_cp949},
    {1810, "서명 검증에 실패"_cp949},
    {1811, "메시지 다이제스트 생성 실패"_cp949},
    {1812, "MAC 값을 검증하는데 실패"_cp949},
    {1813, "MAC 값을 생성하는데 실패"_cp949},
    {1814, "키쌍 확인 필요"_cp949},
    {1815, "랜덤값 생성 실패"_cp949},
    {1816, "지원되지 않는 알고리즘"_cp949},
    {1817, "지원되지 않는 키 종류"_cp949},
    {1818, "잘못된 공개키"_cp949},
    {1900, "BASE64 인코딩 실패"_cp949},
    {1901, "BASE64 디코딩 실패"_cp949},
    {2000, "URL에서 문자열 \"://\"을 찾을 수 없음"_cp949},
    {2001, "URL의 프토콜을 지원하지 않음"_cp949},
    {2002, "찾고자 하는 데이터가 해당 엔트리에 존재하지 않음"_cp949},
    {2003, "지원되지 않는 데이터 타입"_cp949},
    {2004, "LDAP 초기화(ldap_init)에 실패"_cp949},
    {2005, "LDAP 함수 ldap_simple_bind_s 실패"_cp949},
    {2006, "LDAP 함수 ldap_set_option 실패"_cp949},
    {2007, "LDAP 함수 ldap_search_s 실패"_cp949},
    {2008, "LDAP 함수 ldap_first_entry의 리턴값이 NULL"_cp949},
    {2009, "LDAP 함수 ldap_get_values_len의 리턴값이 NULL"_cp949},
    {2010, "인증서를 이용해 CRL 획득 실패"_cp949},
    {2011, "발급자에 대한 LDAP 정보가 없음"_cp949},
    {2012, "해당 게시 위치에 유효한 발급자 인증서 없음"_cp949},
    {2013, "환경파일에서 정보 획득 실패"_cp949},
    {2100, "통합검증서버에 접속하는데 실패"_cp949},
    {2101, "통합검증서버에 요청 메시지 전송을 실패"_cp949},
    {2102, "통합검증서버에서 응답 메시지를 받는데 실패"_cp949},
    {2103, "잘못된 통합검증서버의 응답 메시지"_cp949},
    {2104, "통합검증서버에서 본인인확인을 지원하지 않는 인증체계 인증서"_cp949},
    {2105, "통합검증서버의 내부 오류"_cp949},
    {2106, "폐지된 요청자의 인증서임"_cp949},
    {2107, "요청자 인증서에 대한 신뢰성 여부 확인을 실패"_cp949},
    {2109, "통합검증서버의 서비스를 사용할 수 있는 권한이 없음"_cp949},
    {2110, "잘못된 요청 메시지 형식임"_cp949},
    {2111, "알 수 없는 통합검증서버의 응답 코드임"_cp949},
    {2112, "환경파일에 통합검증서버의 IP 정보를 지정해야함"_cp949},
    {2113, "환경파일에 통합검증서버의 Port 정보를 지정해야함"_cp949},
    {2114, "환경파일에 통합검증서버의 인증서가 게시되어있는 위치를 지정해야함"_cp949},
    {2115, "통합검증 서버의 키분배용 인증서 획득 실패"_cp949},
    {2116, "통합검증 서버의 서명용 인증서 획득 실패"_cp949},
    {2117, "통합검증 서버의 서명용 인증서를 선뢰할 수 없습니다."_cp949},
    {4000, "잘못된 형식의 도전값"_cp949},
    {4001, "응답 메시지 구성에 실패"_cp949},
    {4002, "잘못된 응답 메시지"_cp949},
    {5000, "Java field call error."_cp949},
    {5001, "The input parameter is null."_cp949},
    {5002, "Java method call error"_cp949},
    {5003, "Memory alocation is failed."_cp949},
    {5004, "Java class call error."_cp949},
};

const char* orEmpty(const char* s) { return s == nullptr ? "" : s; }

}  // namespace

const char* ErrorMessageLookup(int code) {
    const auto* end = std::end(kMessages);
    const auto* it =
        std::lower_bound(std::begin(kMessages), end, code, [](const MessageEntry& e, int c) { return e.code < c; });
    return (it != end && it->code == code) ? it->text : "정의된 에러메시지가 없음"_cp949;
}

void ClearError(ApiContext* ctx) {
    ctx->nErrCode = 0;
    if (ctx->pszErrMsg != nullptr) {
        std::free(ctx->pszErrMsg);
        ctx->pszErrMsg = nullptr;
    }
}

void RecordError(ApiContext* ctx, int code, int kind, const char* function, const char* message, const char* extraName,
                 int extraCode, const char* extraText) {
    ctx->nErrCode = code;
    if (message == nullptr) return;

    const bool head = function != nullptr;
    const char* F = orEmpty(function);
    const char* T = orEmpty(extraText);
    ByteString text;
    switch (static_cast<ErrKind>(kind)) {
        case ErrKind::Frame:
            head ? text.format("[%s] %s", F, message) : text.format("%s", message);
            break;
        case ErrKind::Core:
            head ? text.format("[%s] %s <zorinlib> %s", F, message, T) : text.format("%s <zorinlib> %s", message, T);
            break;
        case ErrKind::Ldap:
            head ? text.format("[%s] %s <ldaplib> errcode=0x%x,msg=%s", F, message, extraCode, T)
                 : text.format("%s <ldaplib> errcode=0x%x,msg=%s", message, extraCode, T);
            break;
        case ErrKind::Dynamic:
            head ? text.format("[%s] %s <dynamiclib> fnc=%s,errcode=0x%x,msg=%s", F, message, orEmpty(extraName),
                               extraCode, T)
                 : text.format("%s <dynamiclib> fnc=%s,errcode=0x%x,msg=%s", message, orEmpty(extraName), extraCode, T);
            break;
        case ErrKind::Ivs:
            head ? text.format("[%s] %s <ivs> respcode=%d,respdesc=%s", F, message, extraCode, T)
                 : text.format("%s <ivs> respcode=%d,respdesc=%s", message, extraCode, T);
            break;
        default:
            break;  // an unknown kind composes an empty text
    }
    // A composition past the formatting limit leaves `text` empty: the code alone remains.

    if (ctx->pszErrMsg != nullptr) std::free(ctx->pszErrMsg);
    ctx->pszErrMsg = static_cast<char*>(std::calloc(static_cast<size_t>(text.length()) + 1, 1));
    if (ctx->pszErrMsg != nullptr) std::memcpy(ctx->pszErrMsg, text.c_str(), static_cast<size_t>(text.length()));
}

}  // namespace qelt
