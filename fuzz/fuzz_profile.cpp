// Profile files: both readers and the writer over arbitrary file contents.
// The input is "section\0key\0file content".
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "util/file_io.h"
#include "util/profile.h"

namespace {
std::string scratchPath() {
    static const std::string path = [] {
        char dir[] = "/tmp/qelt-fuzz-profile-XXXXXX";
        if (!mkdtemp(dir)) std::abort();
        return std::string(dir) + "/p.ini";
    }();
    return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1 << 14) return 0;
    const char* p = reinterpret_cast<const char*>(data);
    const char* end = p + size;
    const char* s1 = static_cast<const char*>(memchr(p, 0, size));
    if (!s1) return 0;
    const char* s2 = static_cast<const char*>(memchr(s1 + 1, 0, static_cast<size_t>(end - s1 - 1)));
    if (!s2) return 0;
    const std::string section(p, s1), key(s1 + 1, s2);
    const std::string path = scratchPath();
    if (qelt::writeWholeFile(path.c_str(), s2 + 1, static_cast<size_t>(end - s2 - 1)) != qelt::WriteFileResult::Ok)
        return 0;
    qelt::Profile profile;
    if (profile.setPath(path.c_str()) != 0) return 0;
    char buf[64];
    profile.readA(section.c_str(), key.c_str(), buf, sizeof buf);
    profile.readB(section.c_str(), key.c_str(), buf, sizeof buf);
    profile.getString(section.c_str(), key.c_str(), buf, 3, "dflt");
    if (!section.empty() && !key.empty() && section.find_first_of(" []\n") == std::string::npos &&
        key.find_first_of(" =\r\n\t#[") == std::string::npos && profile.write(section.c_str(), key.c_str(), "v") == 0) {
        // What was just written must read back through the line reader.
        if (profile.readB(section.c_str(), key.c_str(), buf, sizeof buf) == 0 && std::strcmp(buf, "v") != 0)
            std::abort();
    }
    return 0;
}
