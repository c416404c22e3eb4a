#include "api/cert_verify_common.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "util/file_io.h"

namespace qelt {

std::string cacheFilePath(const ApiContext& ctx, const char* kind, const ByteString& name, const char* extension) {
    std::string dir = ctx.pszWorkDir != nullptr ? ctx.pszWorkDir : ".";
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    return dir + "/cache/" + kind + "/" + std::string(name.view()) + "." + extension;
}

bool readCache(const std::string& path, ByteString& out) {
    ByteString data;
    if (readWholeFile(path.c_str(), data) != ReadFileResult::Ok || data.isEmpty()) return false;
    out = std::move(data);
    return true;
}

bool writeCache(const std::string& path, const ByteString& data) {
    return writeWholeFile(path.c_str(), data) == WriteFileResult::Ok;
}

void dropCache(const std::string& path) { std::remove(path.c_str()); }

int64_t referenceTime(const ApiContext& ctx) {
    return ctx.tVerifyTime != 0 ? static_cast<int64_t>(ctx.tVerifyTime) : static_cast<int64_t>(std::time(nullptr));
}

std::string timeText(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    char text[32] = {0};
    if (localtime_r(&t, &local) == nullptr) return std::to_string(seconds);
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

int storeConfPath(ApiCall& call, const char* path) {
    ApiContext& ctx = call.ctx();
    if (ctx.pszConfFilePath != nullptr && std::strcmp(ctx.pszConfFilePath, path) == 0) return 0;
    char* copy = duplicateText(path);
    if (copy == nullptr) return call.noMemory("pApiCtx->pszConfFilePath");
    releaseText(ctx.pszConfFilePath);
    ctx.pszConfFilePath = copy;
    return 0;
}

}  // namespace qelt
