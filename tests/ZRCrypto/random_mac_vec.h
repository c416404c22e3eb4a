// Reads the known-answer files of tests/data/crypto: "[NAME]" sections of
// "Key = / In = / Out =" lines in hex, '#' comments and blank lines ignored.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace qelt::test {

struct KnownAnswer {
    std::string section;
    std::vector<uint8_t> key, in, out;
    int line = 0;
};

inline std::vector<uint8_t> hexBytes(const std::string& hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

inline std::vector<KnownAnswer> readKnownAnswers(const std::string& path) {
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "cannot read " << path;
    std::vector<KnownAnswer> all;
    std::string section, line;
    KnownAnswer cur;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            section = line.substr(1, line.find(']') - 1);
            continue;
        }
        const auto eq = line.find(" = ");
        if (eq == std::string::npos) continue;
        const std::string name = line.substr(0, eq), value = line.substr(eq + 3);
        if (name == "Key") cur.key = hexBytes(value);
        if (name == "In") cur.in = hexBytes(value);
        if (name == "Out") {
            cur.out = hexBytes(value);
            cur.section = section;
            cur.line = lineNo;
            all.push_back(cur);
            cur = KnownAnswer{};
        }
    }
    return all;
}

}  // namespace qelt::test
