#include "SimLoop.h"

#include "DeviceSimulation.h"
#include "ReplyBuilder.h"
#include "SimSocket.h"
#include "TerminationSignals.h"
#include "Transcript.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <poll.h>

namespace tavolix::devicesim {
namespace {

class SimulationLoop final
{
public:
    SimulationLoop(const SimOptions& options, SimSocket& socket, const Transcript& transcript)
        : m_options(options), m_simulation(options), m_socket(socket), m_transcript(transcript)
    {}
    SimulationLoop(const SimulationLoop&) = delete;
    SimulationLoop& operator=(const SimulationLoop&) = delete;

    // Lets deferred configurations take effect; then the poll time-out until
    // the next one is due, -1 when none waits.
    int applyDueConfigurations()
    {
        const auto now = SimClock::now();
        for (const std::string& note : m_simulation.applyDue(now))
            m_transcript.line("apply " + note);
        const auto next = m_simulation.nextDue();
        if (!next)
            return -1;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*next - now).count();
        return static_cast<int>(std::max<decltype(wait)>(wait, 0));
    }

    void handleOneDatagram()
    {
        const auto received = m_socket.receive(m_receiveBuffer);
        if (!received)
            return;
        const std::span<const uint8_t> bytes(m_receiveBuffer.data(), received->length);
        m_transcript.datagram("recv", addressText(received->sender), bytes);
        const RequestOutcome outcome = m_simulation.handle(bytes, SimClock::now());
        switch (outcome.kind) {
        case RequestKind::Search:
            answerSearch(*received);
            break;
        case RequestKind::Configuration:
            m_transcript.line("apply " + outcome.note);
            break;
        case RequestKind::Deferred:
            m_transcript.line("defer " + outcome.note);
            break;
        case RequestKind::Ignored:
            m_transcript.line("drop " + outcome.note);
            break;
        }
    }

private:
    void answerSearch(const ReceivedDatagram& request)
    {
        std::size_t answered = 0;
        for (const SimulatedDevice& device : m_simulation.devices()) {
            const auto reply = buildReply(device, m_simulation.paddingBytes(), m_replyBuffer);
            if (reply.empty())
                continue;
            if (sendReply(reply, request))
                ++answered;
        }
        m_transcript.line("answered " + std::to_string(answered) + " of " +
                          std::to_string(m_simulation.devices().size()));
    }

    bool sendReply(std::span<const uint8_t> reply, const ReceivedDatagram& request)
    {
        if (m_options.replyMode == ReplyMode::Unicast) {
            const bool sent = m_socket.sendTo(reply, request.sender);
            if (sent)
                m_transcript.datagram("send", addressText(request.sender), reply);
            return sent;
        }
        const bool sent =
            m_socket.sendBroadcast(reply, m_options.replyPort, request.interfaceIndex);
        if (sent)
            m_transcript.datagram("send", "255.255.255.255:" + std::to_string(m_options.replyPort),
                                  reply);
        return sent;
    }

    const SimOptions& m_options;
    DeviceSimulation m_simulation;
    SimSocket& m_socket;
    const Transcript& m_transcript;
    std::array<uint8_t, replyCapacity> m_receiveBuffer{};
    ReplyBuffer m_replyBuffer{};
};

} // namespace

int runSimulation(const SimOptions& options)
{
    // A reader that went away must not kill the simulator mid-line.
    std::signal(SIGPIPE, SIG_IGN);
    const sim::TerminationSignals signals;
    if (signals.fd() < 0) {
        std::perror("signalfd");
        return 1;
    }
    SimSocket socket;
    std::string error;
    if (!socket.open(options.listenPort, error)) {
        std::fprintf(stderr, "devicesim: %s\n", error.c_str());
        return 1;
    }
    const Transcript transcript(!options.quiet);
    SimulationLoop loop(options, socket, transcript);
    transcript.line("ready port=" + std::to_string(options.listenPort) +
                    " devices=" + std::to_string(options.count));

    std::array<pollfd, 2> watched = {{{socket.fd(), POLLIN, 0}, {signals.fd(), POLLIN, 0}}};
    while (true) {
        if (::poll(watched.data(), watched.size(), loop.applyDueConfigurations()) < 0) {
            if (errno == EINTR)
                continue;
            std::perror("poll");
            return 1;
        }
        if (watched[1].revents != 0) {
            transcript.line("exit signal=" + std::to_string(signals.take()));
            return 0;
        }
        if (watched[0].revents != 0)
            loop.handleOneDatagram();
    }
}

} // namespace tavolix::devicesim
