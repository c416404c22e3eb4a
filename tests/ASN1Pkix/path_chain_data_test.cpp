// Writes the KCDSA keys of tests/data/path (run by make_chains.sh, disabled
// otherwise): KCDSA-1024 key pairs from the library's engine as PKCS#8 and
// SubjectPublicKeyInfo.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "ASN1Pkix/pkcs_keys.h"
#include "ZRCrypto/engine/zcap_pkey.h"

namespace qelt::test {
namespace {

void write(const std::filesystem::path& p, const ByteString& b) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.data()), b.length());
}

TEST(PathChainData, DISABLED_MakeKcdsaKeys) {
    const char* out = std::getenv("QELT_PATH_DATA_OUT");
    ASSERT_NE(out, nullptr);
    for (const char* name : {"kcdsa_root", "kcdsa_ca", "kcdsa_ee"}) {
        ByteString pub, pri;
        ASSERT_EQ(zcapGenerateKeyPair(141401, ByteString(), pub, pri), 0);
        RDSAPrivateKey dsa(pri);
        RKCDSAParameters params;
        params.setP(dsa.getP());
        params.setQ(dsa.getQ());
        params.setG(dsa.getG());
        RAlgorithmIdentifier alg;
        alg.editAlgorithm().setOID("1 2 410 200004 1 21");
        ASN1Any any;
        any.set(params.toASN1Object());
        alg.setParameters(any);
        RPrivateKeyInfo info;
        info.setVersion(0);
        info.setPrivateKeyAlgorithm(alg);
        ASN1Integer x = dsa.getX();
        info.editPrivateKey().setValue(x.toASN1Object());
        RSubjectPublicKeyInfo spki;
        spki.setAlgorithm(alg);
        ASN1Integer y = dsa.getY();
        const ByteString yDer(y.toASN1Object());
        spki.editSubjectPublicKey().setBitString(yDer.data(), yDer.length(), 0);
        write(std::filesystem::path(out) / (std::string(name) + ".p8"), info.toASN1Object());
        write(std::filesystem::path(out) / (std::string(name) + ".spki"), spki.toASN1Object());
    }
}

}  // namespace
}  // namespace qelt::test
