// Helpers of the record tests: reading files, running the openssl command in
// a scratch directory, and the decode / re-encode round trip.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ASN1Pkix/record.h"

namespace qelt::test {

std::vector<uint8_t> readFileBytes(const std::filesystem::path& path);

// Runs `command` (a shell line) inside `dir`; true when it exits with 0.
bool runIn(const std::filesystem::path& dir, const std::string& command);

// A scratch directory filled once per test program with OpenSSL-made inputs:
// keys, certificates, CRL, CMS, PKCS#8, PKCS#12, OCSP and time-stamp files.
const std::filesystem::path& opensslFixtures();

// Decodes `der` into `record` and checks that it re-encodes to the same bytes.
template <class Record>
::testing::AssertionResult roundTrips(const std::vector<uint8_t>& der, Record& record) {
    if (int rc = record.fromASN1Object(der); rc != 0)
        return ::testing::AssertionFailure() << "decode failed (" << rc << "): " << record.errorText();
    const ByteString& out = record.toASN1Object(0);
    if (record.errorCode() != 0) return ::testing::AssertionFailure() << "encode failed: " << record.errorText();
    if (out.bytes().size() != der.size() || !std::equal(der.begin(), der.end(), out.bytes().begin()))
        return ::testing::AssertionFailure()
               << "re-encoding differs (" << out.length() << " vs " << der.size() << " octets)";
    return ::testing::AssertionSuccess();
}

}  // namespace qelt::test
