#pragma once

#include "ChildProcess.h"
#include "MacCodec.h"
#include "UdpSocket.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace tavolix::e2e {

// A transcript line "recv 198.18.0.1:3566 56584c3833..." or "send ...".
struct SimDatagram
{
    std::string direction; // "recv" or "send"
    std::string peer;      // "198.18.0.1:3566"
    std::vector<uint8_t> bytes;
};

// Lower-case, as devicesim prints.
inline std::string hexFromBytes(std::span<const uint8_t> bytes)
{
    std::string hex;
    for (const uint8_t byte : bytes)
        hex += {hexDigits[byte >> 4], hexDigits[byte & 0x0f]};
    return hex;
}

// A plain unicast datagram from the calling thread's namespace.
inline bool sendUnicast(const std::string& address, uint16_t port, std::span<const uint8_t> bytes)
{
    UdpSocket socket;
    return socket.open() && socket.send(bytes, address, port);
}

// devicesim (or onvifsim) in a network namespace; the waits reread its transcript as it grows.
class DeviceSimProcess final
{
public:
    DeviceSimProcess(const std::string& namespaceName, const std::vector<std::string>& options,
                     const std::string& program = TAVOLIX_DEVICESIM_PATH)
        : m_process(launchOptions(namespaceName, program, options, m_transcript.fd()))
    {}
    DeviceSimProcess(const DeviceSimProcess&) = delete;
    DeviceSimProcess& operator=(const DeviceSimProcess&) = delete;

    // Each wait is false when the program ended or the time ran out first.
    bool waitUntil(const std::function<bool(const std::vector<std::string>&)>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (true) {
            // Looked at before the transcript, so the last lines of an ended run count.
            const bool ended = m_process.poll().has_value();
            if (condition(lines()))
                return true;
            if (ended || std::chrono::steady_clock::now() > deadline)
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    bool waitForLine(const std::string& line)
    {
        return waitUntil([&](const auto& lines) { return std::ranges::count(lines, line) > 0; });
    }
    bool waitReady()
    {
        return waitUntil([](const std::vector<std::string>& lines) {
            return std::ranges::any_of(lines,
                                       [](auto& line) { return line.starts_with("ready "); });
        });
    }

    // The complete lines so far: a line without its end of line is not taken.
    std::vector<std::string> lines() const
    {
        std::istringstream transcript(m_transcript.text());
        std::vector<std::string> lines;
        for (std::string line; std::getline(transcript, line) && !transcript.eof();)
            lines.push_back(line);
        return lines;
    }
    std::vector<SimDatagram> datagrams(const std::string& direction) const // "recv" or "send"
    {
        std::vector<SimDatagram> found;
        for (const std::string& line : lines()) {
            SimDatagram datagram;
            std::string hex;
            std::istringstream(line) >> datagram.direction >> datagram.peer >> hex;
            if (datagram.direction != direction)
                continue;
            for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
                datagram.bytes.push_back(
                    static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
            found.push_back(std::move(datagram));
        }
        return found;
    }

private:
    static test::LaunchOptions launchOptions(const std::string& namespaceName,
                                             const std::string& program,
                                             const std::vector<std::string>& options,
                                             int transcript)
    {
        test::LaunchOptions launch;
        launch.arguments = {"ip", "netns", "exec", namespaceName, program};
        launch.arguments.insert(launch.arguments.end(), options.begin(), options.end());
        launch.outputFd = transcript;
        launch.errorsToOutput = false; // its complaints belong in the test's own output
        return launch;
    }

    test::OutputCapture m_transcript;
    test::ChildProcess m_process;
};

} // namespace tavolix::e2e
