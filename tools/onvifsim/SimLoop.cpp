#include "SimLoop.h"

#include "DiscoverySocket.h"
#include "HttpFrontEnd.h"
#include "InterfaceAddresses.h"
#include "SimFleet.h"
#include "TerminationSignals.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <poll.h>
#include <random>

namespace tavolix::onvifsim {
namespace {

constexpr std::size_t datagramCapacity = 65536;

// One flushed line per event on standard output, so that a test reading the
// pipe sees each as it happens:
//   match 02005e200001 198.18.0.1:41000 http://198.18.0.20/onvif/device_service
//   probe 198.18.0.1:41000 types=1 answered 2 of 2
//   call 02005e200001 SetNetworkDefaultGateway ok 198.18.0.254
//   move 02005e200001 198.18.0.20/24:80 -> 198.18.0.50/24:80 gateway none
void printLine(const std::string& text)
{
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Where a probe's answer goes: back to the prober, or with --answer-to-group, when the prober
// is off the answerer's subnet, to the group (a camera whose gateway is gone has no route back).
sockaddr_in answerDestination(const ProbeAnswer& answer, const sockaddr_in& prober, bool toGroup)
{
    const Ipv4 mask = answer.prefixLength == 0 ? 0 : ~Ipv4{0} << (32 - answer.prefixLength);
    if (!toGroup || ((ntohl(prober.sin_addr.s_addr) ^ answer.source) & mask) == 0)
        return prober;
    sockaddr_in group{};
    group.sin_family = AF_INET;
    group.sin_addr.s_addr = htonl(discoveryGroup);
    group.sin_port = htons(discoveryPort);
    return group;
}

// Probe matches waiting for their moment: each camera answers after its own
// random wait, so that a thousand answers do not arrive as one burst.
class PendingMatches final
{
public:
    PendingMatches(int spreadMs, bool toGroup) : m_spread(0, spreadMs), m_toGroup(toGroup) {}
    PendingMatches(const PendingMatches&) = delete;
    PendingMatches& operator=(const PendingMatches&) = delete;

    void take(SimFleet& fleet, const DiscoverySocket& socket, std::span<char> buffer)
    {
        const auto received = socket.receive(buffer);
        if (!received)
            return;
        const std::string_view datagram(buffer.data(), received->length);
        const auto now = Clock::now();
        for (ProbeAnswer& answer : fleet.answerProbe(datagram, endpointText(received->sender))) {
            const sockaddr_in destination = answerDestination(answer, received->sender, m_toGroup);
            m_waiting.emplace(now + std::chrono::milliseconds(m_spread(m_random)),
                              Match{std::move(answer), destination});
        }
    }

    // Sends what is due; then the wait until the next one, -1: none.
    int sendDue(const DiscoverySocket& socket)
    {
        const auto now = Clock::now();
        while (!m_waiting.empty() && m_waiting.begin()->first <= now) {
            const Match& match = m_waiting.begin()->second;
            if (!socket.sendFrom(match.answer.source, match.answer.message, match.destination))
                printLine("send-failed " + endpointText(match.destination));
            m_waiting.erase(m_waiting.begin());
        }
        if (m_waiting.empty())
            return -1;
        return static_cast<int>(
            std::chrono::ceil<std::chrono::milliseconds>(m_waiting.begin()->first - now).count());
    }

private:
    using Clock = std::chrono::steady_clock;
    struct Match
    {
        ProbeAnswer answer;
        sockaddr_in destination;
    };
    std::multimap<Clock::time_point, Match> m_waiting;
    std::uniform_int_distribution<int> m_spread;
    std::minstd_rand m_random{std::random_device{}()};
    bool m_toGroup;
};

// The nearer of two poll() time-outs, where -1 waits for ever.
int nearer(int a, int b)
{
    return a < 0 ? b : b < 0 ? a : std::min(a, b);
}

int fail(const std::string& what)
{
    std::fprintf(stderr, "onvifsim: %s\n", what.c_str());
    return 1;
}

} // namespace

int runSimulation(const OnvifSimOptions& options)
{
    std::signal(SIGPIPE, SIG_IGN); // a reader that went away must not end us mid-line
    const sim::TerminationSignals signals;
    if (signals.fd() < 0)
        return fail("signalfd failed");
    const InterfaceAddresses addresses(options.interfaceName);
    SimFleet fleet(
        options,
        [&](const NetworkSettings& before, const NetworkSettings& after, bool keepOld) {
            if (keepOld)
                return addresses.add(after.address, after.prefixLength);
            return addresses.move(before.address, before.prefixLength, after.address,
                                  after.prefixLength);
        },
        &printLine);
    if (!addresses.promoteSecondaries())
        return fail("cannot set promote_secondaries on " + options.interfaceName);
    std::vector<std::pair<Ipv4, int>> initial;
    for (const SimCamera& camera : fleet.cameras())
        initial.emplace_back(camera.settings.address, camera.settings.prefixLength);
    if (!addresses.addAll(initial))
        return fail("cannot add the cameras' addresses to " + options.interfaceName);
    std::string error;
    DiscoverySocket discovery;
    HttpFrontEnd http(fleet);
    std::optional<PemPair> certificate;
    if (servesHttps(options)) {
        std::vector<Ipv4> named;
        for (const auto& [address, prefix] : initial)
            named.push_back(address);
        certificate = makeSelfSignedCertificate(named, options.xaddrHost);
        if (!certificate)
            return fail("cannot make the TLS certificate");
    }
    if (!discovery.open(options.interfaceName, error) || !http.start(certificate, error) ||
        !http.listenOn(fleet.listeners(), error))
        return fail(error);
    printLine("ready http=" + (servesHttp(options) ? std::to_string(options.httpPort) : "off") +
              (servesHttps(options) ? " https=" + std::to_string(options.httpsPort) : "") +
              " devices=" + std::to_string(options.count));

    std::vector<char> buffer(datagramCapacity);
    PendingMatches matches(options.matchDelayMs, options.answerToGroup);
    unsigned movesListened = fleet.moves();
    while (true) {
        const int wait = nearer(matches.sendDue(discovery), http.timeoutMs());
        std::vector<pollfd> watched = {{signals.fd(), POLLIN, 0}, {discovery.fd(), POLLIN, 0}};
        for (const int daemon : http.daemonFds())
            watched.push_back({daemon, POLLIN, 0});
        const std::size_t firstListener = watched.size();
        for (const int listener : http.listenerFds())
            watched.push_back({listener, POLLIN, 0});
        if (::poll(watched.data(), watched.size(), wait) < 0) {
            if (errno == EINTR)
                continue;
            return fail(std::string("poll: ") + std::strerror(errno));
        }
        if (watched[0].revents != 0) {
            printLine("exit signal=" + std::to_string(signals.take()));
            return 0;
        }
        if (watched[1].revents != 0)
            matches.take(fleet, discovery, buffer);
        for (std::size_t i = firstListener; i < watched.size(); ++i) {
            if (watched[i].revents != 0)
                http.accept(watched[i].fd);
        }
        http.run();
        // A camera that moved to another address or port is listened for there.
        if (fleet.moves() != movesListened && !http.listenOn(fleet.listeners(), error))
            printLine("listen-failed " + error);
        movesListened = fleet.moves();
    }
}

} // namespace tavolix::onvifsim
