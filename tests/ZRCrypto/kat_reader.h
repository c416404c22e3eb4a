// Readers of the known-answer files under tests/data/crypto: Botan-style .vec
// files ([SECTION] headers, "Name = hex" lines, a vector ends at its "Out"
// line) and the JSON case tables (one "name": "value" pair per line).
#pragma once

#include <cstdint>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace qelt::test {

using Bytes = std::vector<uint8_t>;

inline Bytes hexBytes(const std::string& hex) {
    Bytes out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::string trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(" \t\r") - b + 1);
}

struct KatVector {
    std::string section;
    std::map<std::string, std::string> fields;  // raw values (hex for .vec)
    Bytes bytes(const std::string& name) const {
        auto it = fields.find(name);
        return it == fields.end() ? Bytes() : hexBytes(it->second);
    }
    bool has(const std::string& name) const { return fields.count(name) != 0; }
};

inline std::string cryptoDataPath(const std::string& file) { return std::string(QELT_TEST_DATA_DIR) + "/crypto/" + file; }

inline std::vector<KatVector> readVec(const std::string& file) {
    std::vector<KatVector> out;
    std::ifstream in(cryptoDataPath(file));
    std::string line, section;
    KatVector cur;
    while (std::getline(in, line)) {
        line = trim(line);
        if (line.empty() || line[0] == '#') continue;
        if (line.front() == '[') {
            section = line.substr(1, line.find(']') - 1);
            cur.fields.clear();
            continue;
        }
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string name = trim(line.substr(0, eq));
        cur.fields[name] = trim(line.substr(eq + 1));
        if (name == "Out") {
            cur.section = section;
            out.push_back(cur);
            cur.fields.clear();
        }
    }
    return out;
}

// Each {...} object of the JSON case table, its string and number members by name.
inline std::vector<std::map<std::string, std::string>> readJsonCases(const std::string& file) {
    std::vector<std::map<std::string, std::string>> out;
    std::ifstream in(cryptoDataPath(file));
    std::string line;
    std::map<std::string, std::string> cur;
    int depth = 0;  // 1 inside the document, 2 inside a case, 3 inside a nested member
    while (std::getline(in, line)) {
        line = trim(line);
        if (!line.empty() && line.back() == '{') ++depth;
        if (!line.empty() && line.front() == '}' && --depth == 1 && !cur.empty()) {
            out.push_back(cur);
            cur.clear();
        }
        const size_t colon = line.find("\":");
        if (line.size() > 1 && line[0] == '"' && colon != std::string::npos) {
            const std::string name = line.substr(1, colon - 1);
            std::string value = trim(line.substr(colon + 2));
            if (!value.empty() && value.back() == ',') value.pop_back();
            if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
            if (value != "{" && value != "[") cur[name] = value;
        }
    }
    return out;
}

}  // namespace qelt::test
