#pragma once

#include "NetworkWorker.h"
#include "RecordingWorkerUi.h"
#include "WorkerControl.h"

#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <thread>

namespace tavolix::e2e {

// A network worker on its own thread inside a test namespace, talking to a
// RecordingWorkerUi. The destructor stops the worker and joins its thread.
class WorkerHarness final
{
public:
    WorkerHarness() = default;
    ~WorkerHarness();
    WorkerHarness(const WorkerHarness&) = delete;
    WorkerHarness& operator=(const WorkerHarness&) = delete;

    // Sets the first command to a search (as the window does before it starts
    // the worker) and starts the thread while the calling thread stands in the
    // namespace, so the worker and its socket live there. False with error()
    // set when the namespace cannot be entered.
    bool start(const std::string& namespaceName);

    // The worker's result once it has ended, nothing when it has not within timeout.
    std::optional<int> waitForEnd(std::chrono::milliseconds timeout = std::chrono::seconds(10));

    // requestStop and join; the worker's result (or -1 when it never ran).
    int stop();

    // The native handle, for reading the thread's CPU clock.
    std::thread::native_handle_type nativeHandle() { return m_thread.native_handle(); }
    const std::string& error() const { return m_error; }

    WorkerControl control;
    RecordingWorkerUi ui{control};

private:
    std::shared_future<int> m_result;
    std::thread m_thread;
    std::string m_error;
};

} // namespace tavolix::e2e
