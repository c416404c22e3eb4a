// Shared helpers of the unit tests: a context per test, the last error text,
// BINSTR ownership and a scratch directory.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "qeltapi.h"
#include "util/cp949_literal.h"

namespace qelt::test {

using namespace qelt;

// A BINSTR released at scope exit.
struct OwnedBinstr {
    BINSTR b{nullptr, 0};
    OwnedBinstr() = default;
    explicit OwnedBinstr(std::string_view s) { QELT_BINSTR_SetData(reinterpret_cast<const unsigned char*>(s.data()), static_cast<int>(s.size()), &b); }
    explicit OwnedBinstr(const std::vector<uint8_t>& v) { QELT_BINSTR_SetData(v.data(), static_cast<int>(v.size()), &b); }
    ~OwnedBinstr() { QELT_BINSTR_Delete(&b); }
    OwnedBinstr(const OwnedBinstr&) = delete;
    OwnedBinstr& operator=(const OwnedBinstr&) = delete;
    BINSTR* operator&() { return &b; }
    std::string str() const { return b.pVal ? std::string(reinterpret_cast<const char*>(b.pVal), static_cast<size_t>(b.nLen)) : std::string(); }
    std::vector<uint8_t> vec() const { return b.pVal ? std::vector<uint8_t>(b.pVal, b.pVal + b.nLen) : std::vector<uint8_t>(); }
};

// A fresh directory under the build tree for one test.
std::filesystem::path scratchDir(const std::string& name);

// Owns a directory and removes it with everything in it when destroyed; a
// function-local static one removes a shared fixture directory at program end.
struct RemovedAtExit {
    std::filesystem::path path;
    ~RemovedAtExit() {
        std::error_code ignored;
        if (!path.empty()) std::filesystem::remove_all(path, ignored);
    }
};

// Test fixture owning one initialised context.
class ApiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The detail message of the last failed call ("" when there is none).
    std::string errInfo();
    void* ctx = nullptr;
    std::filesystem::path workDir;
};

}  // namespace qelt::test
