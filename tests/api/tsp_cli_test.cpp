// The qelt tsp verbs against the loopback TSA.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "net/loopback_process.h"
#include "net/tsa_server.h"
#include "test_support.h"
#include "tools/cli_run.h"

namespace qelt::test {
namespace {

using namespace std::chrono_literals;

CommandRun qelt(const std::vector<std::string>& args, const std::string& dir) {
    std::vector<std::string> argv{QELT_CLI_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    CommandRun r;
    r.status = runProcess(argv, 30s, &r.out, dir);
    return r;
}

TEST(TspCli, StampShowAndVerify) {
    LoopbackTsa tsa;
    const std::string dir = scratchDir("TspCli").string();
    writeFile(dir + "/doc.txt", "stamp me");
    writeFile(dir + "/other.txt", "not me");
    const std::string port = std::to_string(tsa.port());
    CommandRun r =
        qelt({"tsp", "stamp", "--host", "127.0.0.1", "--port", port, "--policy", "1.2.410.200004.5.99.2", "--sign",
              "-c", onlinePath("good.pem"), "-k", onlinePath("good.key.der"), "doc.txt", "-o", "doc.tst"},
             dir);
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(tsa.verifiedSignatures(), 1);

    r = qelt({"tsp", "show", "doc.tst"}, dir);
    ASSERT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("TSA:            Qelt Online TSA\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Policy:         1 2 410 200004 5 99 2\n"), std::string::npos) << r.out;

    EXPECT_EQ(qelt({"tsp", "verify", "doc.txt", "doc.tst", "--tsa-cert", "tsa.der"}, dir).status, 0);
    EXPECT_EQ(readFile(dir + "/tsa.der"), onlineFile("tsa.der"));
    EXPECT_EQ(qelt({"tsp", "verify", "other.txt", "doc.tst"}, dir).status, 1);
    // Usage errors.
    EXPECT_EQ(qelt({"tsp", "stamp", "--host", "127.0.0.1", "--port", "70000", "doc.txt", "-o", "x"}, dir).status, 2);
    EXPECT_EQ(qelt({"tsp", "sing"}, dir).status, 2);
}

}  // namespace
}  // namespace qelt::test
