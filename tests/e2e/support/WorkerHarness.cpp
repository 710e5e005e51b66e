#include "WorkerHarness.h"

#include "ScopedNetns.h"

namespace tavolix::e2e {

WorkerHarness::~WorkerHarness()
{
    stop();
}

bool WorkerHarness::start(const std::string& namespaceName)
{
    const test::ScopedNetns inNamespace(namespaceName);
    if (!inNamespace.entered()) {
        m_error = inNamespace.error();
        return false;
    }
    control.command.store(SearchCommand);
    std::packaged_task<int()> task(
        [this] { return runNetworkWorker(control, ui, WorkerEndpoints{}); });
    m_result = task.get_future().share();
    m_thread = std::thread(std::move(task));
    return true;
}

std::optional<int> WorkerHarness::waitForEnd(std::chrono::milliseconds timeout)
{
    if (!m_result.valid() || m_result.wait_for(timeout) != std::future_status::ready)
        return std::nullopt;
    return m_result.get();
}

int WorkerHarness::stop()
{
    if (!m_thread.joinable())
        return -1;
    control.requestStop();
    m_thread.join();
    return m_result.valid() ? m_result.get() : -1;
}

} // namespace tavolix::e2e
