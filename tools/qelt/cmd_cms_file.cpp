// The shared parts of the qelt cms verbs (cmd_cms_file.h), and the detached
// signing steps and time-stamp tokens: cms tbs, cms compose, cms tst-get,
// cms tst-set.
#include "cmd_cms_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <ctime>

using namespace qelt_cli;

namespace qelt_cli::cms {

namespace {

struct Named {
    const char* name;
    int code;
};
constexpr Named kCiphers[] = {{"des", QELT_SYM_DES},
                              {"3des", QELT_SYM_3DES},
                              {"seed", QELT_SYM_SEED},
                              {"neat", QELT_SYM_NEAT},
                              {"aria", QELT_SYM_ARIA}};
constexpr Named kHashes[] = {
    {"sha1", QELT_HASH_SHA1}, {"md5", QELT_HASH_MD5}, {"has160", QELT_HASH_HAS160}, {"sha256", QELT_HASH_SHA256}};

// A definite DER length at p (within n bytes): its value and how many bytes it took.
bool derLength(const uint8_t* p, size_t n, uint64_t& value, size_t& used) {
    if (n == 0) return false;
    if (p[0] < 0x80) {
        value = p[0];
        used = 1;
        return true;
    }
    const size_t count = p[0] & 0x7F;
    if (count == 0 || count > 8 || count + 1 > n) return false;  // 0x80 is BER's indefinite form
    value = 0;
    for (size_t i = 1; i <= count; ++i) value = value << 8 | p[i];
    used = count + 1;
    return true;
}

void appendLength(std::vector<uint8_t>& out, uint64_t n) {
    if (n < 0x80) {
        out.push_back(static_cast<uint8_t>(n));
        return;
    }
    std::vector<uint8_t> octets;
    for (; n > 0; n >>= 8) octets.insert(octets.begin(), static_cast<uint8_t>(n));
    out.push_back(static_cast<uint8_t>(0x80 | octets.size()));
    out.insert(out.end(), octets.begin(), octets.end());
}

struct Layout {
    MessageForm form = MessageForm::Other;
    uint64_t innerOffset = 0;  // where the bare structure starts
};

// Reads the head of a message file and finds its form: the lengths must be
// definite and add up to the file's size exactly.
Layout layoutOf(const std::string& path) {
    Layout layout;
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return layout;
    struct stat st {};
    std::array<uint8_t, 64> head{};
    const ssize_t n = fstat(fd, &st) == 0 ? pread(fd, head.data(), head.size(), 0) : -1;
    close(fd);
    if (n < 4 || head[0] != 0x30) return layout;
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    uint64_t len = 0;
    size_t used = 0;
    if (!derLength(&head[1], static_cast<size_t>(n) - 1, len, used) || 1 + used + len != size) return layout;
    size_t at = 1 + used;
    if (head[at] == 0x02) {
        layout.form = MessageForm::BareDer;
        return layout;
    }
    // ContentInfo: 06 len OID, A0 len, then the bare SEQUENCE to the end.
    if (head[at] != 0x06 || at + 2 > static_cast<size_t>(n)) return layout;
    at += 2 + head[at + 1];
    if (at + 2 > static_cast<size_t>(n) || head[at] != 0xA0) return layout;
    if (!derLength(&head[at + 1], static_cast<size_t>(n) - at - 1, len, used)) return layout;
    at += 1 + used;
    if (at + len != size || at + 2 > static_cast<size_t>(n) || head[at] != 0x30) return layout;
    uint64_t innerLen = 0;
    if (!derLength(&head[at + 1], static_cast<size_t>(n) - at - 1, innerLen, used) || 1 + used + innerLen != len)
        return layout;
    if (at + 1 + used >= static_cast<size_t>(n) || head[at + 1 + used] != 0x02) return layout;
    layout.form = MessageForm::ContentInfoDer;
    layout.innerOffset = at;
    return layout;
}

// Copies `count` bytes of `from` at `offset` to the end of `to`, in the kernel where it can.
void copyRange(int from, uint64_t offset, int to, uint64_t count, const std::string& what) {
    loff_t in = static_cast<loff_t>(offset);
    while (count > 0) {
        const ssize_t n = copy_file_range(from, &in, to, nullptr, std::min<uint64_t>(count, 1u << 30), 0);
        if (n > 0) {
            count -= static_cast<uint64_t>(n);
            continue;
        }
        if (n == 0) failCommand(what + ": the file ended early");
        if (errno == EINTR) continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)
            failCommand(what + ": " + std::strerror(errno));
        // No kernel copy between these files: through a buffer.
        std::array<uint8_t, 1 << 16> buf;
        while (count > 0) {
            const ssize_t r = pread(from, buf.data(), std::min<uint64_t>(count, buf.size()), in);
            if (r <= 0)
                failCommand(what + ": " + (r == 0 ? std::string("the file ended early") : std::strerror(errno)));
            for (ssize_t done = 0; done < r;) {
                const ssize_t w = write(to, buf.data() + done, static_cast<size_t>(r - done));
                if (w < 0 && errno != EINTR) failCommand(what + ": " + std::strerror(errno));
                if (w > 0) done += w;
            }
            in += r;
            count -= static_cast<uint64_t>(r);
        }
    }
}

}  // namespace

int cipherOf(const std::string& name) {
    for (const Named& n : kCiphers)
        if (name == n.name) return n.code;
    return 0;
}

int setHash(Session& s, const Args& a, const std::string& option) {
    const auto name = a.get(option);
    if (!name) return 0;
    int code = 0;
    for (const Named& n : kHashes)
        if (*name == n.name) code = n.code;
    if (code == 0) usageError((option.size() == 1 ? "-" : "--") + option + " takes sha1, md5, has160 or sha256");
    return QELT_API_SetHashAlgo(s.ctx(), code) == 0 ? 0 : s.fail(QELT_ERR_HASH_ALGORITHM);
}

int setMessageForm(Session& s, const Args& a) {
    if (a.has("bare") && a.has("pem")) usageError("--pem writes a ContentInfo: it does not go with --bare");
    const int option = a.has("bare") ? QELT_OPT_CMS_BARE : QELT_OPT_CMS_CONTENTINFO;
    if (const int rc = QELT_API_SetOption(s.ctx(), option)) return s.fail(rc);
    return 0;
}

int writeMessage(Session& s, const Args& a, std::span<const uint8_t> der) {
    const std::string out = a.get("o", a.get("out", "-"));
    if (!a.has("pem")) {
        writeOutput(out, der);
        return 0;
    }
    Bin in(std::vector<uint8_t>(der.begin(), der.end())), pem;
    if (const int rc = QELT_PEM_Encode(s.ctx(), QELT_PEM_TYPE_PKCS7, &in, &pem)) return s.fail(rc);
    writeOutput(out, pem.span());
    return 0;
}

MessageForm messageForm(const std::string& path) { return layoutOf(path).form; }

std::string unwrappedCopy(const std::string& path) {
    const Layout layout = layoutOf(path);
    if (layout.form != MessageForm::ContentInfoDer) failCommand(path + ": not a DER ContentInfo");
    const ScratchFile scratch(path);
    const int from = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const int to = open(scratch.path().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    struct stat st {};
    if (from < 0 || to < 0 || fstat(from, &st) != 0) failCommand("cannot read " + path + ": " + std::strerror(errno));
    copyRange(from, layout.innerOffset, to, static_cast<uint64_t>(st.st_size) - layout.innerOffset,
              "cannot copy " + path);
    close(from);
    if (close(to) != 0) failCommand("cannot write a temporary copy of " + path + ": " + std::strerror(errno));
    return scratch.path();
}

void wrapInto(const std::string& barePath, std::span<const uint8_t> typeOid, const std::string& outPath) {
    const int from = open(barePath.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (from < 0 || fstat(from, &st) != 0)
        failCommand("cannot read the message just made: " + std::string(std::strerror(errno)));
    const uint64_t bare = static_cast<uint64_t>(st.st_size);
    std::vector<uint8_t> tagged = {0xA0};
    appendLength(tagged, bare);
    std::vector<uint8_t> head = {0x30};
    appendLength(head, typeOid.size() + tagged.size() + bare);
    head.insert(head.end(), typeOid.begin(), typeOid.end());
    head.insert(head.end(), tagged.begin(), tagged.end());
    const int to = open(outPath.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (to < 0 || write(to, head.data(), head.size()) != static_cast<ssize_t>(head.size()))
        failCommand("cannot write " + outPath + ": " + std::strerror(errno));
    copyRange(from, 0, to, bare, "cannot write " + outPath);
    close(from);
    if (close(to) != 0) failCommand("cannot write " + outPath + ": " + std::strerror(errno));
}

int signerCount(Session& s) {
    int count = 0;
    for (;; ++count) {
        Bin cert;
        if (QELT_CMS_GetSigner2(s.ctx(), count, &cert, nullptr) != 0) break;
    }
    return count;
}

}  // namespace qelt_cli::cms

namespace {

using namespace qelt_cli::cms;

// "YYYYMMDDhhmmss" of now, local time (the library's reading of time texts).
std::string nowText() {
    const std::time_t t = std::time(nullptr);
    std::tm parts{};
    localtime_r(&t, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &parts);
    return text;
}

// Processes a message for its signer records (content given for a detached one).
int processForSigners(Session& s, const Args& a) {
    if (a.positional.size() != 1) return Session::usage("name the SignedData file");
    std::vector<uint8_t> message;
    if (const int rc = readDerOrPem(s, a.positional[0], message)) return rc;
    InputBytes content;
    const auto contentPath = a.get("content");
    if (contentPath) content = mapInput(*contentPath);
    // Without detached content the library hands the carried content back:
    // into a record of our own, freed here, never into the view.
    BINSTR data = content.view();
    Bin in(message), carried;
    int count = 0;
    if (const int rc = QELT_CMS_ProcessSignedData2(s.ctx(), &in, contentPath ? &data : &carried.b, &count))
        return s.fail(rc);
    return 0;
}

// ContentInfo { signedData, [0] EXPLICIT SignedData } around a bare SignedData.
std::vector<uint8_t> wrapSignedData(std::span<const uint8_t> sd) {
    auto length = [](std::vector<uint8_t>& out, size_t n) {
        if (n < 0x80) {
            out.push_back(static_cast<uint8_t>(n));
            return;
        }
        std::vector<uint8_t> octets;
        for (; n > 0; n >>= 8) octets.insert(octets.begin(), static_cast<uint8_t>(n));
        out.push_back(static_cast<uint8_t>(0x80 | octets.size()));
        out.insert(out.end(), octets.begin(), octets.end());
    };
    std::vector<uint8_t> body(std::begin(kSignedDataOid), std::end(kSignedDataOid));
    body.push_back(0xA0);
    length(body, sd.size());
    body.insert(body.end(), sd.begin(), sd.end());
    std::vector<uint8_t> out = {0x30};
    length(out, body.size());
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

int runTbs(Session& s, const Args& a) {
    if (!a.has("c") || a.positional.size() != 1) return Session::usage("cms tbs: -c CERT and a DATA file are needed");
    std::vector<uint8_t> cert;
    if (const int rc = readDerOrPem(s, *a.get("c"), cert)) return rc;
    if (const int rc = setHash(s, a, "a")) return rc;
    const InputBytes data = mapInput(a.positional[0]);
    std::string time = a.get("t", "");
    if (time.empty()) {
        // The second step must use the same time: say which one was taken.
        time = nowText();
        noteOnSuccess("signing time: " + time + " (give it to cms compose with -t)");
    }
    Bin c(cert), out;
    BINSTR d = data.view();
    if (const int rc = QELT_CMS_MakeTBSData(s.ctx(), &c, &d, time.data(), &out)) return s.fail(rc);
    writeOutput(a.get("o", "-"), out.span());
    return 0;
}

int runCompose(Session& s, const Args& a) {
    if (!a.has("c") || !a.has("t") || !a.has("sig") || a.positional.size() != 1)
        return Session::usage("cms compose: -c CERT -t TIME --sig SIGNATURE and a DATA file are needed");
    if (a.has("bare") && a.has("pem")) usageError("--pem writes a ContentInfo: it does not go with --bare");
    std::vector<uint8_t> cert;
    if (const int rc = readDerOrPem(s, *a.get("c"), cert)) return rc;
    if (const int rc = setHash(s, a, "a")) return rc;
    const InputBytes data = mapInput(a.positional[0]);
    const InputBytes signature = mapInput(*a.get("sig"));
    // Each command runs in its own context: the first step is made again
    // (the same certificate, data and time give the same bytes).
    std::string time = *a.get("t");
    Bin c(cert), tbs, out;
    BINSTR d = data.view(), sig = signature.view();
    if (const int rc = QELT_CMS_MakeTBSData(s.ctx(), &c, &d, time.data(), &tbs)) return s.fail(rc);
    if (const int rc = QELT_CMS_ComposeSignedData(s.ctx(), &sig, &out)) return s.fail(rc);
    if (a.has("bare")) return writeMessage(s, a, out.span());
    return writeMessage(s, a, wrapSignedData(out.span()));
}

int runTstGet(Session& s, const Args& a) {
    if (const int rc = processForSigners(s, a)) return rc;
    const int index = static_cast<int>(a.number("index", 0, INT_MAX, 0));
    Bin out;
    const int rc =
        a.has("tbt") ? QELT_CMS_GetTBTData(s.ctx(), index, &out) : QELT_CMS_GetTimeStampToken(s.ctx(), index, &out);
    if (rc != 0) return s.fail(rc);
    writeOutput(a.get("o", "-"), out.span());
    return 0;
}

int runTstSet(Session& s, const Args& a) {
    if (!a.has("token") || a.positional.size() != 1)
        return Session::usage("cms tst-set: --token TOKEN and a SignedData");
    const int index = static_cast<int>(a.number("index", 0, INT_MAX, 0));
    std::vector<uint8_t> message, token;
    if (const int rc = readDerOrPem(s, a.positional[0], message)) return rc;
    if (const int rc = readDerOrPem(s, *a.get("token"), token)) return rc;
    Bin m(message), t(token), out;
    if (const int rc = QELT_CMS_SetTimeStampToken(s.ctx(), &m, index, &t, &out)) return s.fail(rc);
    writeOutput(a.get("o", "-"), out.span());
    return 0;
}

}  // namespace

QELT_CLI_VERB({"cms tbs",
               "cms tbs -c CERT [-t YYYYMMDDhhmmss] [-a HASH] DATA [-o TBS]",
               {},
               &runTbs,
               {"First of two signing steps: writes the bytes the signer must sign (the DER of the signed "
                "attributes). Without -t the current time is taken and printed, for the second step.",
                {{"-c CERT", "the signer's certificate"},
                 {"-t TIME", "the signing time, YYYYMMDDhhmmss in local time (Z at the end for UTC)"},
                 {"-a HASH", "sha1, md5, has160 or sha256 (default: the certificate's own)"},
                 {"-o FILE", "write the bytes to FILE instead of standard output"}},
                {"qelt cms tbs -c ee.pem -t 20250102030405 hello.txt -o tbs.der"}}});
QELT_CLI_VERB({"cms compose",
               "cms compose -c CERT -t YYYYMMDDhhmmss --sig SIGNATURE [-a HASH] [--bare|--pem] DATA [-o OUT]",
               {"contentinfo", "bare", "pem"},
               &runCompose,
               {"Second signing step: a SignedData around a signature made outside the library over the bytes of "
                "cms tbs (the same certificate, time and data).",
                {{"-c CERT", "the signer's certificate"},
                 {"-t TIME", "the signing time given to cms tbs"},
                 {"--sig FILE", "the signature value"},
                 {"-a HASH", "the hash given to cms tbs"},
                 {"--bare", "the bare SignedData instead of a ContentInfo"},
                 {"--contentinfo", "a ContentInfo (the default)"},
                 {"--pem", "PEM around the ContentInfo"},
                 {"-o FILE", "write the message to FILE instead of standard output"}},
                {"qelt cms compose -c ee.pem -t 20250102030405 --sig sig.bin hello.txt -o composed.p7"}}});
QELT_CLI_VERB({"cms tst-get",
               "cms tst-get [--index N] [--tbt] [--content DATA] SIGNED [-o OUT]",
               {"tbt"},
               &runTstGet,
               {"A signer's time-stamp token, or with --tbt the signature value to have time-stamped.",
                {{"--index N", "the signer, from 0 (default 0)"},
                 {"--tbt", "the signature value instead of the token"},
                 {"--content FILE", "the content of a detached message"},
                 {"-o FILE", "write to FILE instead of standard output"}},
                {"qelt cms tst-get --tbt hello.p7 -o tbt.bin"}}});
QELT_CLI_VERB({"cms tst-set",
               "cms tst-set [--index N] --token TOKEN SIGNED [-o OUT]",
               {},
               &runTstSet,
               {"Adds a time-stamp token to a signer of a SignedData.",
                {{"--index N", "the signer, from 0 (default 0)"},
                 {"--token FILE", "the time-stamp token (DER or PEM)"},
                 {"-o FILE", "write the message to FILE instead of standard output"}},
                {"qelt cms tst-set --token tok.der hello.p7 -o stamped.p7"}}});
