#pragma once

#include "ChildProcess.h"
#include "UniqueFd.h"
#include "WireText.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tavolix::e2e {

// The devicesim built with this tree, inside a network namespace. Its
// transcript goes to an in-memory file that the waits read again as it grows.
class DeviceSimProcess final
{
public:
    DeviceSimProcess(const std::string& namespaceName, const std::vector<std::string>& options);
    DeviceSimProcess(const DeviceSimProcess&) = delete;
    DeviceSimProcess& operator=(const DeviceSimProcess&) = delete;

    // Each wait is false when the program ended or the time ran out first.
    bool waitUntil(const std::function<bool(const std::vector<std::string>&)>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));
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

    std::vector<std::string> lines() const; // the complete lines so far
    std::vector<SimDatagram> datagrams(const std::string& direction) const; // "recv" or "send"

private:
    UniqueFd m_transcript;
    test::ChildProcess m_process;
};

} // namespace tavolix::e2e
