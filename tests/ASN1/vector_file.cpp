#include "vector_file.h"

#include <fstream>

namespace qelt::test {

std::vector<uint8_t> VectorCase::hex(const std::string& key) const {
    std::string digits;
    for (char c : get(key))
        if (c != ' ') digits += c;
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < digits.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    return out;
}

std::vector<VectorCase> readVectorFile(const std::string& path) {
    std::vector<VectorCase> cases;
    std::ifstream in(path);
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            cases.push_back({line.substr(1, line.find(']') - 1), lineNo, {}});
            continue;
        }
        const size_t eq = line.find(" =");
        if (eq == std::string::npos || cases.empty()) continue;
        std::string value = eq + 3 <= line.size() ? line.substr(eq + 3) : std::string();
        // "\t" stands for a tab character.
        for (size_t p; (p = value.find("\\t")) != std::string::npos;) value.replace(p, 2, "\t");
        cases.back().fields[line.substr(0, eq)] = value;
    }
    return cases;
}

std::string toHexUpper(const uint8_t* data, size_t len) {
    static const char* kDigits = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < len; ++i) {
        out += kDigits[data[i] >> 4];
        out += kDigits[data[i] & 15];
    }
    return out;
}

}  // namespace qelt::test
