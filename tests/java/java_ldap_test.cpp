// The LDAP natives against a real directory: the slapd test directory is
// started here and the Java test classes run against it in a JVM of their own.
// The values the natives must return are fetched first with the same exported
// calls made directly, so the Java side checks the crossing, the C tests the
// fetching itself.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "net/slapd_fixture.h"
#include "qeltapi.h"

namespace qelt::test {
namespace {

#ifdef QELT_JAVA_RUNTIME
void writeFile(const fs::path& p, const BINSTR& b) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(b.pVal), b.nLen);
}
void writeFile(const fs::path& p, const std::vector<uint8_t>& v) {
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(v.data()), static_cast<std::streamsize>(v.size()));
}
#endif

TEST(JavaLdap, NativesReadTheTestDirectory) {
#ifndef QELT_JAVA_RUNTIME
    GTEST_SKIP() << "the Java bindings are not part of this build";
#else
    const fs::path dir = processDir("java-ldap");
    TestDirectory directory;
    std::string error;
    ASSERT_TRUE(directory.start(dir, error)) << error;

    const std::vector<uint8_t> good = directory.cert("ee_good");
    writeFile(dir / "good.der", good);
    // The certificates the verification natives check through the directory.
    writeFile(dir / "revoked.der", directory.cert("ee_revoked"));
    writeFile(dir / "hold.der", directory.cert("ee_hold"));
    void* ctx = nullptr;
    ASSERT_EQ(QELT_API_Init(&ctx, dir.c_str()), 0);
    BINSTR cert{const_cast<uint8_t*>(good.data()), static_cast<int>(good.size())};
    BINSTR crl{nullptr, 0}, path{nullptr, 0};
    const int crlRc = QELT_LDAP_GetCRLByCert(ctx, &cert, &crl);
    const int pathRc = QELT_LDAP_GetCertPath(ctx, &cert, directory.confPath().c_str(), &path);
    if (crlRc == 0) writeFile(dir / "expected_crl.der", crl);
    if (pathRc == 0) writeFile(dir / "expected_path.der", path);
    QELT_BINSTR_Delete(&crl);
    QELT_BINSTR_Delete(&path);
    QELT_API_Finish(&ctx);
    ASSERT_EQ(crlRc, 0);
    ASSERT_EQ(pathRc, 0);

    const std::string cmd = std::string("bash '") + QELT_JAVA_RUN + "' '" + QELT_JAVA_RUNTIME + "' '" + QELT_JAVA_CP +
                            "' '" + QELT_JAVA_LIBDIR + "' '" + QELT_SOURCE_DIR + "/tests/java/data' '" + dir.string() +
                            "' -Dqelt.ldap.port=" + std::to_string(directory.port()) +
                            " '-Dqelt.ldap.dir=" + dir.string() +
                            "' '-Dqelt.ldap.conf=" + directory.confPath().string() +
                            "' '-Dqelt.verify=" + QELT_SOURCE_DIR + "/tests/data/verify' -- com.qelt.test.LdapTest";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
#endif
}

}  // namespace
}  // namespace qelt::test
