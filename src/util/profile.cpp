#include "util/profile.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string_view>

#include "util/byte_string.h"
#include "util/file_io.h"

namespace qelt {

namespace {

constexpr size_t kLineMax = 4096;  // reader B and the writer read at most this many bytes per line
constexpr size_t kIntBuffer = 256;
constexpr size_t kStringBuffer = 4096;
constexpr size_t kMaxTempPath = 256;

using File = std::unique_ptr<FILE, decltype(&std::fclose)>;
File openFile(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode), &std::fclose); }

// The first piece of `line` when split at any of `delims`; empty when there is none.
std::string_view firstPiece(std::string_view line, std::string_view delims) {
    const size_t start = line.find_first_not_of(delims);
    if (start == std::string_view::npos) return {};
    const size_t end = line.find_first_of(delims, start);
    return line.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
}

constexpr std::string_view kHeaderDelims = " []";

bool isSectionHeader(std::string_view line, std::string_view section) {
    const std::string_view piece = firstPiece(line, kHeaderDelims);
    return !piece.empty() && piece == section;
}

std::string_view trimRight(std::string_view s, std::string_view chars) {
    const size_t end = s.find_last_not_of(chars);
    return end == std::string_view::npos ? std::string_view{} : s.substr(0, end + 1);
}

std::string_view trimLeft(std::string_view s, std::string_view chars) {
    const size_t start = s.find_first_not_of(chars);
    return start == std::string_view::npos ? std::string_view{} : s.substr(start);
}

// Reads one line (with its line feed) of at most kLineMax - 1 bytes; false at end of file.
// NUL bytes are dropped: a profile is text, and a line cut at a NUL would lose
// its line feed, so a rewritten profile would run two lines into one.
bool readLine(FILE* f, std::string& line) {
    line.clear();
    size_t taken = 0;
    int c = 0;
    while (taken < kLineMax - 1 && (c = std::getc(f)) != EOF) {
        ++taken;
        if (c != 0) line.push_back(static_cast<char>(c));
        if (c == '\n') break;
    }
    return taken != 0;
}

int copyValue(std::string_view value, char* out, size_t outSize, int tooLong) {
    if (value.size() >= outSize) return tooLong;
    std::memcpy(out, value.data(), value.size());
    out[value.size()] = 0;
    return Profile::kFound;
}

int toInt(const char* text, int fallback) {
    int v = 0;
    return std::sscanf(text, "%d", &v) == 1 ? v : fallback;
}

// Copies at most outSize - 1 bytes of `value` and a NUL; returns the bytes copied.
int copyTruncated(const char* value, char* out, size_t outSize) {
    const size_t n = std::min(std::strlen(value), outSize - 1);
    std::memcpy(out, value, n);
    out[n] = 0;
    return static_cast<int>(n);
}

int copyDefault(char* out, size_t outSize, const char* defaultValue) {
    if (out == nullptr || outSize == 0) return 0;
    const char* d = defaultValue ? defaultValue : "";
    const size_t n = std::min(std::strlen(d), outSize - 1);
    std::memcpy(out, d, n);
    out[n] = 0;
    return 0;
}

}  // namespace

int Profile::setPath(const char* path) {
    const size_t len = std::strlen(path);
    if (len >= kMaxPath + 1) return kPathTooLong;
    // The temporary file lies beside the profile; a '/' in the first position does not count.
    const std::string p(path);
    const size_t slash = p.rfind('/');
    const std::string temp =
        (slash == std::string::npos || slash == 0) ? std::string(kTempName) : p.substr(0, slash) + "/" + kTempName;
    if (temp.size() > kMaxTempPath) return kTempPathTooLong;
    if (!fileExists(path)) return kNoSuchFile;
    m_path = p;
    m_tempPath = temp;
    return kPathOk;
}

int Profile::readA(const char* section, const char* key, char* out, size_t outSize) const {
    ByteString content;
    if (readWholeFile(m_path.c_str(), content) != ReadFileResult::Ok || content.isEmpty()) return kNoFile;
    const std::string_view text = content.view();

    // The section header counts only at the start of the text or right after a line feed.
    const std::string header = std::string("[") + section + "]";
    size_t at = text.find(header);
    while (at != std::string_view::npos && at != 0 && text[at - 1] != '\n') at = text.find(header, at + 1);
    if (at == std::string_view::npos) return kNoSection;
    std::string_view body = text.substr(at + header.size());
    // The first '[' after the header ends the body when it begins a line.
    if (const size_t next = body.find('['); next != std::string_view::npos && next > 0 && body[next - 1] == '\n')
        body = body.substr(0, next);

    // The key counts only right after a line feed and when a blank or '=' follows it.
    const std::string_view k(key);
    size_t pos = body.find(k);
    while (pos != std::string_view::npos) {
        const bool lineStart = pos > 0 && body[pos - 1] == '\n';
        const size_t after = pos + k.size();
        if (lineStart && after < body.size() && (body[after] == ' ' || body[after] == '=')) break;
        pos = body.find(k, pos + 1);
    }
    if (pos == std::string_view::npos) return kNoKey;
    std::string_view line = body.substr(pos);
    line = line.substr(0, line.find('\n'));
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) return kNoEquals;
    const std::string_view value = trimRight(trimLeft(line.substr(eq + 1), " \t"), " \t\r");
    if (value.empty()) return kEmptyValue;
    return copyValue(value, out, outSize, kSectionEnded);
}

int Profile::getInt(const char* section, const char* key, int defaultValue) const {
    char buf[kIntBuffer];
    return readA(section, key, buf, sizeof buf) == kFound ? toInt(buf, defaultValue) : defaultValue;
}

int Profile::getString(const char* section, const char* key, char* out, size_t outSize,
                       const char* defaultValue) const {
    char buf[kStringBuffer];
    return readA(section, key, buf, sizeof buf) == kFound ? copyTruncated(buf, out, outSize)
                                                          : copyDefault(out, outSize, defaultValue);
}

int Profile::readB(const char* section, const char* key, char* out, size_t outSize) const {
    File f = openFile(m_path, "r");
    if (!f) return kNoFile;
    std::string line;
    for (;;) {
        if (!readLine(f.get(), line)) return 3;  // the file ended before the section
        if (firstPiece(line, kHeaderDelims).empty()) return kNoSection;
        if (isSectionHeader(line, section)) break;
    }
    const std::string_view k(key);
    while (readLine(f.get(), line)) {
        if (line[0] == '#') continue;
        if (line[0] == '[') return kSectionEnded;
        const std::string_view l(line);
        const size_t eq = l.find('=');
        if (eq == std::string_view::npos) continue;
        const std::string_view name = l.substr(0, eq);
        if (name != k && trimRight(name, " \t\r\n") != k) continue;
        std::string_view value = l.substr(eq + 1);
        value = value.substr(0, value.find_first_of("\r\n"));
        value = trimRight(trimLeft(value, " \t"), " \t");
        if (value.empty()) return kNoEquals;
        return copyValue(value, out, outSize, kSectionEnded);
    }
    return kSectionEnded;
}

int Profile::getIntLine(const char* section, const char* key, int defaultValue) const {
    char buf[kIntBuffer];
    return readB(section, key, buf, sizeof buf) == kFound ? toInt(buf, defaultValue) : defaultValue;
}

int Profile::getStringLine(const char* section, const char* key, char* out, size_t outSize,
                           const char* defaultValue) const {
    char buf[kStringBuffer];
    return readB(section, key, buf, sizeof buf) == kFound ? copyTruncated(buf, out, outSize)
                                                          : copyDefault(out, outSize, defaultValue);
}

int Profile::write(const char* section, const char* key, const char* value) const {
    // The profile is replaced by a rename: only a regular file may be (a
    // device or pipe named as the profile would itself be replaced).
    struct stat st {};
    if (::stat(m_path.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) return kReplaceFailed;
    File in = openFile(m_path, "r");
    if (!in) {
        File created = openFile(m_path, "w");
        if (created) std::fprintf(created.get(), "\n[%s]\n%s = %s\n", section, key, value);
        return kCreatedNew;
    }
    File out = openFile(m_tempPath, "w");
    if (!out) return kTempRefused;

    std::string line;
    bool inSection = false;
    while (!inSection && readLine(in.get(), line)) {
        std::fputs(line.c_str(), out.get());
        inSection = isSectionHeader(line, section);
    }
    if (!inSection) {
        std::fprintf(out.get(), "\n[%s]\n%s = %s\n", section, key, value);
    } else {
        bool written = false;
        while (!written && readLine(in.get(), line)) {
            if (line[0] == '#') {
                std::fputs(line.c_str(), out.get());
            } else if (line[0] == '[') {  // the next section: the key goes at the end of ours
                std::fprintf(out.get(), "%s = %s\n", key, value);
                std::fputs(line.c_str(), out.get());
                written = true;
            } else if (firstPiece(line, " =\r\n\t") == key) {
                std::fprintf(out.get(), "%s = %s\n", key, value);
                written = true;
            } else {
                std::fputs(line.c_str(), out.get());
            }
        }
        if (!written) std::fprintf(out.get(), "%s = %s\n", key, value);
        while (readLine(in.get(), line)) std::fputs(line.c_str(), out.get());
    }
    const bool flushed = std::fflush(out.get()) == 0 && !std::ferror(out.get());
    in.reset();
    out.reset();
    if (!flushed) {
        std::remove(m_tempPath.c_str());  // the profile stays untouched
        return kReplaceFailed;
    }
    std::remove(m_path.c_str());
    return std::rename(m_tempPath.c_str(), m_path.c_str()) == 0 ? kWritten : kReplaceFailed;
}

}  // namespace qelt
