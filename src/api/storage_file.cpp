// QELT_STORAGE_ReadFile / WriteFile: whole-file access for callers.
#include "api/api_call.h"
#include "util/cp949_literal.h"
#include "util/file_io.h"

using namespace qelt;

QELT_EXPORT int QELT_STORAGE_ReadFile(void* pCtx, char* pszFilePath, BINSTR* pData) {
    return api::run(pCtx, "QELT_STORAGE_ReadFile", [&](ApiCall& call) {
        if (!hasText(pszFilePath)) return call.invalid("읽어들일 파일의 파일경로(pszFilePath)를 지정해 주세요."_cp949);
        if (pData == nullptr) return call.nullOutput("pData");
        ByteString content;
        if (readWholeFile(pszFilePath, content) != ReadFileResult::Ok)
            return call.failf(QELT_ERR_FILE_READ, "\"%s\" 위치의 파일을 읽는데 실패하였습니다."_cp949, pszFilePath);
        if (content.isEmpty()) return call.fail(QELT_ERR_FILE_EMPTY, "비어있는 파일입니다."_cp949);
        return call.putBytes(pData, content, "pData");
    });
}

QELT_EXPORT int QELT_STORAGE_WriteFile(void* pCtx, char* pszFilePath, BINSTR* pData) {
    return api::run(pCtx, "QELT_STORAGE_WriteFile", [&](ApiCall& call) {
        if (!hasText(pszFilePath)) return call.invalid("저장할 파일의 파일경로(pszFilePath)를 지정해 주세요."_cp949);
        if (!hasBytes(pData)) return call.invalid("저장할 데이터(pData)를 지정해 주세요."_cp949);
        if (writeWholeFile(pszFilePath, pData->pVal, static_cast<size_t>(pData->nLen)) != WriteFileResult::Ok)
            return call.failf(QELT_ERR_FILE_WRITE, "\"%s\" 위치에 파일을 저장하는데 실패하였습니다."_cp949,
                              pszFilePath);
        return QELT_OK;
    });
}
