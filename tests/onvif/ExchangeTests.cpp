#include "ChildProcess.h"
#include "DeviceLogin.h"
#include "HttpExchanges.h"
#include "NetnsTopology.h"
#include "ScopedNetns.h"
#include "TemporaryDirectory.h"

#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace tavolix::onvif {
namespace {

using namespace std::chrono;
using test::ChildProcess;
using test::NetnsTopology;

// One call through HttpExchanges on this thread, waited for up to 5 s.
HttpResult exchange(HttpExchanges& http, const HttpPost& post)
{
    const auto id = http.post(post);
    if (!id)
        return {0, id.failure()};
    const auto until = Clock::now() + 5s;
    while (Clock::now() < until) {
        WaitSet waits;
        http.watch(waits);
        static_cast<void>(waits.wait(until));
        for (HttpResult& result : http.advance(waits))
            return std::move(result);
    }
    return {*id, incomplete("no result in 5 s")};
}

bool waitForReady(const std::string& file)
{
    for (int attempt = 0; attempt < 300; ++attempt) {
        std::ifstream in(file);
        if (std::string word; in >> word && word == "ready")
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// libcurl's own Digest against a peer that checks it by hand, over http and
// over https with a self-signed certificate.
TEST(HttpExchanges, AnswersADigestChallengeAndTellsWhatItSentAndHeard)
{
    if (const auto reason = NetnsTopology::unavailableReason())
        GTEST_SKIP() << *reason;
    NetnsTopology net;
    ASSERT_TRUE(net.addNamespace("peer")) << net.error();
    const test::TemporaryDirectory folder;
    const std::string cert = (folder.path() / "cert.pem").string();
    const std::string key = (folder.path() / "key.pem").string();
    ASSERT_EQ(test::runCommand({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj",
                                "/CN=camera", "-days", "2", "-keyout", key, "-out", cert})
                  .exitCode,
              0);
    const std::string httpReady = (folder.path() / "http").string();
    const std::string httpsReady = (folder.path() / "https").string();
    const auto peer = [&](std::vector<std::string> arguments, const std::string& ready) {
        test::LaunchOptions options;
        options.arguments = std::move(arguments);
        options.networkNamespace = net.name("peer");
        options.outputFile = ready;
        return options;
    };
    const ChildProcess plain(peer({"python3", DIGEST_PEER, "8080", "secret"}, httpReady));
    const ChildProcess tls(peer({"python3", DIGEST_PEER, "8443", "secret", cert, key}, httpsReady));
    ASSERT_TRUE(waitForReady(httpReady) && waitForReady(httpsReady));

    const test::ScopedNetns inside(net.name("peer"));
    ASSERT_TRUE(inside.entered()) << inside.error();
    const std::string body(700, 'x');
    struct Row
    {
        std::string url;
        std::optional<HttpLogin> login;
        TlsCheck tls;
        long status; // 0: no answer
        std::string answer;
        std::optional<LoginScheme> sent;
        std::size_t challenges;
    };
    const HttpLogin right{"admin", "secret"};
    const HttpLogin wrong{"admin", "guess"};
    const std::string http = "http://127.0.0.1:8080/onvif/device_service";
    const std::string https = "https://127.0.0.1:8443/onvif/device_service";
    const std::vector<Row> rows = {
        // SHA-256 is offered first, in its own header: libcurl answers it.
        {http, right, TlsCheck::Skip, 200, "700", LoginScheme::DigestSha256, 0},
        {http, wrong, TlsCheck::Skip, 401, "<html>401</html>", LoginScheme::DigestSha256, 2},
        {http, std::nullopt, TlsCheck::Skip, 401, "<html>401</html>", std::nullopt, 2},
        {https, right, TlsCheck::Skip, 200, "700", LoginScheme::DigestSha256, 0},
        {https, right, TlsCheck::Required, 0, "", std::nullopt, 0}, // self-signed
    };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        HttpExchanges exchanges(row.tls);
        const HttpResult result =
            exchange(exchanges, {row.url, body, "urn:call", 3000ms, row.login});
        ASSERT_EQ(static_cast<bool>(result.answer), row.status != 0) << "row " << i;
        if (!result.answer)
            continue;
        EXPECT_EQ(result.answer->status, row.status) << "row " << i;
        EXPECT_EQ(result.answer->body, row.answer) << "row " << i;
        EXPECT_EQ(digestSent(result.answer->authorization), row.sent) << "row " << i;
        EXPECT_EQ(result.answer->challenges.size(), row.challenges) << "row " << i;
        ASSERT_TRUE(result.answer->date.has_value()) << "row " << i;
        EXPECT_LE(abs(*result.answer->date - system_clock::now()), 2s) << "row " << i;
    }
}

} // namespace
} // namespace tavolix::onvif
