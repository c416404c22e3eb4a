// The natives that talk to servers: the loopback time-stamp authority and the
// test identity-verification server are started here, and the Java test class
// ServerTest runs against them in a JVM of its own. What the servers received
// is checked afterwards: signed requests whose signatures verified, and the
// identification number the server decrypted.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "api/ident_test_data.h"
#include "net/ivs_test_server.h"
#include "net/slapd_fixture.h"
#include "net/tsa_server.h"

namespace qelt::test {
namespace {

TEST(JavaOnline, TimeStampAndIdentityServers) {
#ifndef QELT_JAVA_RUNTIME
    GTEST_SKIP() << "the Java bindings are not part of this build";
#else
    const fs::path dir = processDir("java-online");
    LoopbackTsa tsa;
    IvsTestServer ivs(identData("ivs_sign.der"), identData("ivs_sign.p8"), identData("ivs_km.p8"));
    ivs.registerIdentity(identData("user.der"), "8001011234567");
    ivs.markRevoked(identData("biz.der"));
    // The directory URL names a port where nothing listens: the server's
    // certificates come from the natives' arguments and the work directory.
    const fs::path conf = dir / "online.conf";
    std::ofstream(conf) << "[IVS]\nIP = 127.0.0.1\nPORT = " << ivs.port()
                        << "\nSVR_KM_CERT_URL = ldap://127.0.0.1:" << LoopbackServer::refusedPort()
                        << "/cn=ivs,o=Qelt Test,c=KR\nTIME_OUT = 10\n"
                        << "[TSA]\nTSA_TIME_OUT = 10\n";

    const std::string cmd = std::string("bash '") + QELT_JAVA_RUN + "' '" + QELT_JAVA_RUNTIME + "' '" + QELT_JAVA_CP +
                            "' '" + QELT_JAVA_LIBDIR + "' '" + QELT_SOURCE_DIR + "/tests/java/data' '" + dir.string() +
                            "' -Dqelt.tsa.port=" + std::to_string(tsa.port()) + " '-Dqelt.conf=" + conf.string() +
                            "' -- com.qelt.test.ServerTest";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;

    EXPECT_EQ(tsa.transportErrors(), 0);
    EXPECT_GE(tsa.signedRequests(), 1);
    EXPECT_EQ(tsa.verifiedSignatures(), tsa.signedRequests());
    EXPECT_GE(tsa.timeStampRequests().size(), 4u);
    // The last identity question ServerTest asks is the right one.
    EXPECT_EQ(ivs.lastIdn(), "8001011234567");
    EXPECT_GE(ivs.requests().size(), 4u);
#endif
}

}  // namespace
}  // namespace qelt::test
