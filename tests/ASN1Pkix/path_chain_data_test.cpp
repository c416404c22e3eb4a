// Writes the KCDSA keys of tests/data/path (run by make_chains.sh, disabled
// otherwise): KCDSA-1024 key pairs from the library's engine as PKCS#8 and
// SubjectPublicKeyInfo.
#include <cstdlib>

#include "api/pkey_test_keys.h"

namespace qelt::test {
namespace {

TEST(PathChainData, DISABLED_MakeKcdsaKeys) {
    const char* out = std::getenv("QELT_PATH_DATA_OUT");
    ASSERT_NE(out, nullptr);
    for (const std::string name : {"kcdsa_root", "kcdsa_ca", "kcdsa_ee"}) {
        Bytes pkcs8, spki;
        kcdsaKeyPair(141401, pkcs8, spki);
        putFile(std::filesystem::path(out) / (name + ".p8"), pkcs8);
        putFile(std::filesystem::path(out) / (name + ".spki"), spki);
    }
}

}  // namespace
}  // namespace qelt::test
