#include "DeviceSimProcess.h"

#include <fstream>
#include <sstream>
#include <sys/mman.h>
#include <thread>

namespace tavolix::e2e {
namespace {

test::LaunchOptions launchOptions(const std::string& namespaceName,
                                  const std::vector<std::string>& options, int transcript)
{
    test::LaunchOptions launch;
    launch.arguments = {"ip", "netns", "exec", namespaceName, TAVOLIX_DEVICESIM_PATH};
    launch.arguments.insert(launch.arguments.end(), options.begin(), options.end());
    launch.outputFd = transcript;
    launch.errorsToOutput = false; // its complaints belong in the test's own output
    return launch;
}

} // namespace

DeviceSimProcess::DeviceSimProcess(const std::string& namespaceName,
                                   const std::vector<std::string>& options)
    : m_transcript(::memfd_create("devicesim-transcript", MFD_CLOEXEC)),
      m_process(launchOptions(namespaceName, options, m_transcript.get()))
{}

std::vector<std::string> DeviceSimProcess::lines() const
{
    // Opened afresh, so the offset the simulator writes at is left alone; a
    // line still being written (no end of line yet) is not taken.
    std::ifstream transcript("/proc/self/fd/" + std::to_string(m_transcript.get()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(transcript, line) && !transcript.eof();)
        lines.push_back(line);
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

std::vector<SimDatagram> DeviceSimProcess::datagrams(const std::string& direction) const
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

} // namespace tavolix::e2e
