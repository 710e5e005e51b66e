#include "ChildProcess.h"
#include "DeviceLogin.h"
#include "NetnsTopology.h"
#include "ScopedNetns.h"
#include "TemporaryDirectory.h"

#include <fstream>
#include <gtest/gtest.h>
#include <thread>

namespace tavolix::onvif {
namespace {

using namespace std::chrono;

// One call through HttpExchanges on this thread.
HttpResult exchange(HttpExchanges& http, const HttpPost& post)
{
    const auto id = http.post(post);
    for (const auto until = Clock::now() + 5s; id && Clock::now() < until;) {
        WaitSet waits;
        http.watch(waits);
        static_cast<void>(waits.wait(until));
        for (HttpResult& result : http.advance(waits))
            return std::move(result);
    }
    return {0, incomplete("no answer")};
}

// libcurl's Digest against a peer checking it by hand, over http and self-signed https.
TEST(HttpExchanges, AnswersADigestChallengeAndTellsWhatItSentAndHeard)
{
    if (const auto reason = test::NetnsTopology::unavailableReason())
        GTEST_SKIP() << *reason;
    test::NetnsTopology net;
    ASSERT_TRUE(net.addNamespace("peer")) << net.error();
    const test::TemporaryDirectory folder;
    const auto file = [&](const char* name) { return (folder.path() / name).string(); };
    ASSERT_EQ(test::runCommand({"openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-subj",
                                "/CN=camera", "-keyout", file("key"), "-out", file("cert")})
                  .exitCode,
              0);
    std::vector<std::unique_ptr<test::ChildProcess>> peers;
    for (const std::vector<std::string>& tail :
         {std::vector<std::string>{"8080"}, {"8443", file("cert"), file("key")}}) {
        test::LaunchOptions options;
        options.arguments = {"python3", DIGEST_PEER, tail[0], "secret"};
        options.arguments.insert(options.arguments.end(), tail.begin() + 1, tail.end());
        options.networkNamespace = net.name("peer");
        options.outputFile = file(tail[0].c_str());
        peers.push_back(std::make_unique<test::ChildProcess>(options));
        std::string ready;
        for (int wait = 0; wait < 300 && !(std::ifstream(options.outputFile) >> ready); ++wait)
            std::this_thread::sleep_for(10ms);
        ASSERT_EQ(ready, "ready");
    }

    const test::ScopedNetns inside(net.name("peer"));
    ASSERT_TRUE(inside.entered()) << inside.error();
    const HttpLogin right{"admin", "secret"};
    const std::string http = "http://127.0.0.1:8080/onvif/device_service";
    const std::string https = "https://127.0.0.1:8443/onvif/device_service";
    // URL, login, TLS check; what is heard: status, body, the Digest sent, how many challenges.
    const std::vector<std::tuple<std::string, std::optional<HttpLogin>, TlsCheck, std::string>>
        rows = {
            // SHA-256 is offered first, in its own header: libcurl answers it.
            {http, right, TlsCheck::Skip, "200 700 digest-sha256 0"},
            {http, HttpLogin{"admin", "guess"}, TlsCheck::Skip,
             "401 <html>401</html> digest-sha256 2"},
            {http, std::nullopt, TlsCheck::Skip, "401 <html>401</html> - 2"},
            {https, right, TlsCheck::Skip, "200 700 digest-sha256 0"},
            {https, right, TlsCheck::Required, "no answer"}, // self-signed
        };
    for (const auto& [url, login, tls, expected] : rows) {
        HttpExchanges exchanges(tls);
        const auto result = exchange(exchanges, {url, std::string(700, 'x'), "", 3s, login});
        std::string heard = "no answer";
        if (const auto& a = result.answer) {
            const auto sent = digestSent(a->authorization);
            heard = std::to_string(a->status) + " " + a->body + " " +
                    (sent ? std::string(loginSchemeName(*sent)) : "-") + " " +
                    std::to_string(a->challenges.size());
            EXPECT_LE(abs(a->date.value_or(system_clock::time_point{}) - system_clock::now()), 2s);
        }
        EXPECT_EQ(heard, expected) << url;
    }
}

} // namespace
} // namespace tavolix::onvif
