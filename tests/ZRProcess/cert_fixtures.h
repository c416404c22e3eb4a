// Certificates made by the openssl command once per test program, covering
// every extension the certificate getters read.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace qelt::test {

// The directory holding ca.der, ee.der/ee.pem (RSA, all extensions, serial
// 00 8F 01, Korean UTF8String subject), ec.der (EC, BMPString subject,
// two-octet key usage, O/R address and EDI party names), v1.der, unknown10.der,
// unknown11.der, twoku.der (two key usage extensions), expired.der, mv.der
// (multi-valued RDN) and sect163k1.der, c2pnb163v1.der, secp160r1.der (EC keys).
const std::filesystem::path& certFixtures();
std::vector<uint8_t> fixtureBytes(const std::string& name);
// The output of an openssl command run in the fixture directory.
std::string opensslOutput(const std::string& command);

}  // namespace qelt::test
