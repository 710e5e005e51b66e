#pragma once

#include "ChildProcess.h"
#include "WireText.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tavolix::e2e {

// The devicesim program built with this tree.
std::string devicesimPath();

// devicesim running inside a network namespace (`ip netns exec`), its
// transcript read line by line on a thread of its own. The destructor sends
// SIGTERM, reaps the process and joins the reader.
class DeviceSimProcess final
{
public:
    DeviceSimProcess(const std::string& namespaceName, const std::vector<std::string>& options);
    ~DeviceSimProcess();
    DeviceSimProcess(const DeviceSimProcess&) = delete;
    DeviceSimProcess& operator=(const DeviceSimProcess&) = delete;

    // Waits for the "ready" line; false when the program ended or the time
    // ran out first (then lines() tells why).
    bool waitReady(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Waits until the transcript so far satisfies the condition, which runs
    // under the reader's lock and must not call back into this object.
    bool waitUntil(const std::function<bool(const std::vector<std::string>&)>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // Waits for a line that is exactly `line`.
    bool waitForLine(const std::string& line,
                     std::chrono::milliseconds timeout = std::chrono::seconds(10));

    std::vector<std::string> lines() const;
    // The datagram lines of one direction ("recv" or "send"), in order.
    std::vector<SimDatagram> datagrams(const std::string& direction) const;

    // SIGTERM, then the exit code (128 + signal when a signal ended it).
    int terminate();

private:
    void readTranscript(int fd);

    std::unique_ptr<test::ChildProcess> m_process;
    std::thread m_reader;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<std::string> m_lines;
    bool m_outputEnded = false;
    int m_exitCode = -1;
};

} // namespace tavolix::e2e
