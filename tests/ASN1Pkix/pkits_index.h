// The NIST PKITS cases of tests/data/pkits (pkits_tests.json) and the lists
// of cases whose verdict differs here, for the two PKITS runs.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "path_test_json.h"
#include "pkix_test_support.h"

namespace qelt::test {

inline const std::filesystem::path& pkitsDir() {
    static const std::filesystem::path dir = std::filesystem::path(QELT_TEST_DATA_DIR) / "pkits";
    return dir;
}

// tests/data/pkits/<relative> as a ByteString.
inline ByteString pkitsFile(const std::string& relative) {
    const auto v = readFileBytes(pkitsDir() / relative);
    return ByteString(v.data(), static_cast<int>(v.size()));
}

struct PkitsCase {
    std::string id, title;  // id: the section number, "/<subpart>" added where the title names one
    std::vector<std::string> certs, crls, policies;  // certs from the trust anchor to the target
    bool shouldValidate = false, explicitPolicy = false, mappingInhibit = false, anyPolicyInhibit = false;
};

inline std::vector<PkitsCase> readPkitsIndex() {
    std::ifstream in(pkitsDir() / "pkits_tests.json");
    const json::Value index = json::parse(std::string(std::istreambuf_iterator<char>(in), {}));
    std::vector<PkitsCase> cases;
    for (const json::Value& t : index["tests"].items) {
        PkitsCase c;
        c.title = t["title"].text;
        c.id = t["number"].text;
        if (const auto sub = c.title.find("(Subpart "); sub != std::string::npos)
            c.id += "/" + c.title.substr(sub + 9, c.title.find(')', sub) - sub - 9);
        for (const auto& v : t["certs"].items) c.certs.push_back(v.text);
        for (const auto& v : t["crls"].items) c.crls.push_back(v.text);
        for (const auto& v : t["initial_policy_set"].items) c.policies.push_back(index["policy_oids"][v.text].text);
        c.shouldValidate = t["should_validate"].boolean;
        c.explicitPolicy = t["initial_explicit_policy"].boolean;
        c.mappingInhibit = t["initial_policy_mapping_inhibit"].boolean;
        c.anyPolicyInhibit = t["initial_inhibit_any_policy"].boolean;
        cases.push_back(std::move(c));
    }
    return cases;
}

// id -> rule, from a differences file ("id | rule" lines, '#' comments).
inline std::map<std::string, std::string> readPkitsDifferences(const std::filesystem::path& file) {
    std::map<std::string, std::string> out;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        if (const auto bar = line.find(" | "); bar != std::string::npos)
            out[line.substr(0, bar)] = line.substr(bar + 3);
    }
    return out;
}

}  // namespace qelt::test
