#include "DeviceSimProcess.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <sstream>
#include <sys/mman.h>
#include <thread>

namespace tavolix::e2e {
namespace {

test::LaunchOptions launchOptions(const std::string& namespaceName,
                                  const std::vector<std::string>& options, int transcript)
{
    test::LaunchOptions launch;
    launch.arguments = {"ip", "netns", "exec", namespaceName, devicesimPath()};
    launch.arguments.insert(launch.arguments.end(), options.begin(), options.end());
    launch.outputFd = transcript;
    launch.errorsToOutput = false; // its complaints belong in the test's own output
    return launch;
}

std::optional<SimDatagram> parseDatagram(const std::string& line)
{
    SimDatagram datagram;
    std::string hex;
    std::istringstream(line) >> datagram.direction >> datagram.peer >> hex;
    if ((datagram.direction != "recv" && datagram.direction != "send") || hex.size() % 2 != 0)
        return std::nullopt;
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        uint8_t byte = 0;
        if (std::from_chars(&hex[i], &hex[i] + 2, byte, 16).ptr != &hex[i] + 2)
            return std::nullopt;
        datagram.bytes.push_back(byte);
    }
    return datagram;
}

} // namespace

std::string devicesimPath()
{
    return TAVOLIX_DEVICESIM_PATH;
}

DeviceSimProcess::DeviceSimProcess(const std::string& namespaceName,
                                   const std::vector<std::string>& options)
    : m_transcript(::memfd_create("devicesim-transcript", MFD_CLOEXEC)),
      m_process(launchOptions(namespaceName, options, m_transcript.get()))
{}

std::vector<std::string> DeviceSimProcess::lines() const
{
    // pread leaves the offset the simulator writes at alone.
    std::string text;
    std::array<char, 8192> chunk{};
    ssize_t got = 0;
    while ((got = ::pread(m_transcript.get(), chunk.data(), chunk.size(),
                          static_cast<off_t>(text.size()))) > 0)
        text.append(chunk.data(), static_cast<std::size_t>(got));
    std::vector<std::string> lines;
    for (std::size_t start = 0, end = 0; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

bool DeviceSimProcess::waitUntil(
    const std::function<bool(const std::vector<std::string>&)>& condition,
    std::chrono::milliseconds timeout)
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

bool DeviceSimProcess::waitReady(std::chrono::milliseconds timeout)
{
    return waitUntil(
        [](const auto& lines) {
            return std::ranges::any_of(lines,
                                       [](auto& line) { return line.starts_with("ready "); });
        },
        timeout);
}

bool DeviceSimProcess::waitForLine(const std::string& line, std::chrono::milliseconds timeout)
{
    return waitUntil([&](const auto& lines) { return std::ranges::count(lines, line) > 0; },
                     timeout);
}

std::vector<SimDatagram> DeviceSimProcess::datagrams(const std::string& direction) const
{
    std::vector<SimDatagram> found;
    for (const std::string& line : lines()) {
        auto datagram = parseDatagram(line);
        if (datagram && datagram->direction == direction)
            found.push_back(std::move(*datagram));
    }
    return found;
}

} // namespace tavolix::e2e
