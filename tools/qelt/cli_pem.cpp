// DER or PEM inputs (cli.h): a PEM file may carry text before and between its
// blocks (as `openssl x509 -text` writes it) and several blocks (a chain).
#include <string_view>

#include "cli.h"

namespace qelt_cli {

namespace {

// The PEM blocks of a text, each from "-----BEGIN" to the end of its END line.
std::vector<std::string_view> pemBlocks(std::string_view text) {
    std::vector<std::string_view> blocks;
    size_t at = 0;
    while ((at = text.find("-----BEGIN ", at)) != std::string_view::npos) {
        const size_t end = text.find("-----END ", at);
        if (end == std::string_view::npos) break;
        const size_t close = text.find("-----", end + 9);
        if (close == std::string_view::npos) break;
        blocks.push_back(text.substr(at, close + 5 - at));
        at = close + 5;
    }
    return blocks;
}

// DER starts with a SEQUENCE; anything else holding a BEGIN line is PEM.
bool looksLikePem(const std::vector<uint8_t>& bytes) {
    if (bytes.empty() || bytes[0] == 0x30) return false;
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return text.find("-----BEGIN ") != std::string_view::npos;
}

}  // namespace

int readAllDerOrPem(Session& s, const std::string& path, std::vector<std::vector<uint8_t>>& ders) {
    ders.clear();
    std::vector<uint8_t> bytes;
    std::string error;
    readInput(path, bytes, error);
    if (!looksLikePem(bytes)) {
        ders.push_back(std::move(bytes));
        return 0;
    }
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const auto blocks = pemBlocks(text);
    if (blocks.empty())
        failCommand((path == "-" ? std::string("standard input") : path) + ": a PEM block has no END line");
    for (const std::string_view block : blocks) {
        Bin pem(std::vector<uint8_t>(block.begin(), block.end())), out;
        if (const int rc = QELT_PEM_Decode(s.ctx(), &pem, &out)) return s.fail(rc);
        ders.push_back(out.vec());
    }
    return 0;
}

int readDerOrPem(Session& s, const std::string& path, std::vector<uint8_t>& der) {
    std::vector<std::vector<uint8_t>> all;
    if (const int rc = readAllDerOrPem(s, path, all)) return rc;
    der = std::move(all.front());
    return 0;
}

}  // namespace qelt_cli
