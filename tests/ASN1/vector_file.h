// Reader of the test vector files under tests/data: "[kind]" starts a case,
// "Key = Value" lines fill it, "#" lines are comments.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace qelt::test {

struct VectorCase {
    std::string kind;
    int line = 0;
    std::map<std::string, std::string> fields;
    bool has(const std::string& key) const { return fields.count(key) != 0; }
    std::string get(const std::string& key) const {
        auto it = fields.find(key);
        return it == fields.end() ? std::string() : it->second;
    }
    // The field as bytes written in hexadecimal (blanks ignored).
    std::vector<uint8_t> hex(const std::string& key) const;
    int number(const std::string& key) const { return std::stoi(get(key)); }
};

std::vector<VectorCase> readVectorFile(const std::string& path);

std::string toHexUpper(const uint8_t* data, size_t len);

}  // namespace qelt::test
