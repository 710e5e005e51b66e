#include "DeviceSimProcess.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace tavolix::e2e {

std::string devicesimPath()
{
    return TAVOLIX_DEVICESIM_PATH;
}

DeviceSimProcess::DeviceSimProcess(const std::string& namespaceName,
                                   const std::vector<std::string>& options)
{
    std::array<int, 2> pipeEnds{};
    if (::pipe2(pipeEnds.data(), O_CLOEXEC) != 0) {
        m_outputEnded = true;
        return;
    }
    test::LaunchOptions launch;
    launch.arguments = {"ip", "netns", "exec", namespaceName, devicesimPath()};
    launch.arguments.insert(launch.arguments.end(), options.begin(), options.end());
    // Its complaints about options belong in the test's own output.
    launch.outputFd = pipeEnds[1];
    launch.errorsToOutput = false;
    m_process = std::make_unique<test::ChildProcess>(launch);
    ::close(pipeEnds[1]);
    m_reader = std::thread([this, fd = pipeEnds[0]] { readTranscript(fd); });
}

DeviceSimProcess::~DeviceSimProcess()
{
    terminate();
}

void DeviceSimProcess::readTranscript(int fd)
{
    std::string pending;
    std::array<char, 8192> chunk{};
    while (true) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        pending.append(chunk.data(), static_cast<std::size_t>(got));
        std::size_t start = 0;
        std::size_t end = 0;
        std::vector<std::string> complete;
        while ((end = pending.find('\n', start)) != std::string::npos) {
            complete.push_back(pending.substr(start, end - start));
            start = end + 1;
        }
        pending.erase(0, start);
        if (!complete.empty()) {
            const std::lock_guard lock(m_mutex);
            m_lines.insert(m_lines.end(), std::make_move_iterator(complete.begin()),
                           std::make_move_iterator(complete.end()));
            m_changed.notify_all();
        }
    }
    ::close(fd);
    const std::lock_guard lock(m_mutex);
    m_outputEnded = true;
    m_changed.notify_all();
}

bool DeviceSimProcess::waitUntil(
    const std::function<bool(const std::vector<std::string>&)>& condition,
    std::chrono::milliseconds timeout)
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return condition(m_lines) || m_outputEnded; }) &&
           condition(m_lines);
}

bool DeviceSimProcess::waitReady(std::chrono::milliseconds timeout)
{
    return waitUntil(
        [](const std::vector<std::string>& lines) {
            return std::any_of(lines.begin(), lines.end(),
                               [](const std::string& line) { return line.starts_with("ready "); });
        },
        timeout);
}

bool DeviceSimProcess::waitForLine(const std::string& line, std::chrono::milliseconds timeout)
{
    return waitUntil(
        [&](const std::vector<std::string>& lines) {
            return std::find(lines.begin(), lines.end(), line) != lines.end();
        },
        timeout);
}

std::vector<std::string> DeviceSimProcess::lines() const
{
    const std::lock_guard lock(m_mutex);
    return m_lines;
}

std::vector<SimDatagram> DeviceSimProcess::datagrams(const std::string& direction) const
{
    std::vector<SimDatagram> found;
    for (const std::string& line : lines()) {
        auto datagram = parseSimDatagram(line);
        if (datagram && datagram->direction == direction)
            found.push_back(std::move(*datagram));
    }
    return found;
}

int DeviceSimProcess::terminate()
{
    if (m_process) {
        m_exitCode = m_process->terminate();
        m_process.reset();
    }
    if (m_reader.joinable())
        m_reader.join();
    return m_exitCode;
}

} // namespace tavolix::e2e
