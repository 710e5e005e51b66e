#pragma once

#include "FakeWorkerUi.h"
#include "NetworkWorker.h"
#include "ScopedNetns.h"

#include <chrono>
#include <future>
#include <optional>
#include <string>
#include <thread>

namespace tavolix::e2e {

using test::WorkerUiState;

// A network worker on its own thread in a test namespace, talking to a FakeWorkerUi.
class WorkerHarness final
{
public:
    WorkerHarness() = default;
    ~WorkerHarness()
    {
        if (m_thread.joinable()) {
            control.requestStop();
            m_thread.join();
        }
    }
    WorkerHarness(const WorkerHarness&) = delete;
    WorkerHarness& operator=(const WorkerHarness&) = delete;

    // Starts with a search, as the window does, from inside the namespace:
    // the worker's thread and socket live there.
    bool start(const std::string& namespaceName)
    {
        const test::ScopedNetns inNamespace(namespaceName);
        m_error = inNamespace.error();
        if (!inNamespace.entered())
            return false;
        control.command.store(SearchCommand);
        std::packaged_task<int()> task([this] { return runNetworkWorker(control, ui, {}); });
        m_result = task.get_future();
        m_thread = std::thread(std::move(task));
        return true;
    }

    // The worker's result once it has ended by itself within the timeout.
    std::optional<int> waitForEnd(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        if (m_result.wait_for(timeout) != std::future_status::ready)
            return std::nullopt;
        return m_result.get();
    }

    std::thread::native_handle_type nativeHandle() { return m_thread.native_handle(); }
    const std::string& error() const { return m_error; }

    WorkerControl control;
    test::FakeWorkerUi ui{&control};

private:
    std::future<int> m_result;
    std::thread m_thread;
    std::string m_error;
};

} // namespace tavolix::e2e
