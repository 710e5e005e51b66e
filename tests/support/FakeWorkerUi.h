#pragma once

#include "WorkerControl.h"
#include "WorkerUi.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace tavolix::test {

// Everything the worker has shown so far.
struct WorkerUiState
{
    std::vector<std::string> statusTexts;  // every text in order
    std::vector<std::string> messageBoxes; // "caption: text"
    std::vector<std::string> rows;         // every addListRow since the last reset, in order
    int resetCount = 0;
};

// The window as the worker sees it, thread-safe; it starts with no device
// selected and the MAC field hidden, and a box is dismissed at once. Given
// the worker's control, resetDisplay empties the table as the window does.
class FakeWorkerUi final : public WorkerUi
{
public:
    explicit FakeWorkerUi(WorkerControl* control = nullptr) : m_control(control) {}
    FakeWorkerUi(const FakeWorkerUi&) = delete;
    FakeWorkerUi& operator=(const FakeWorkerUi&) = delete;

    void setField(WorkerField field, std::string text) { setFields({{field, std::move(text)}}); }
    void setFields(std::initializer_list<std::pair<WorkerField, std::string>> fields)
    {
        locked([&] {
            for (const auto& [field, text] : fields)
                m_fields[field] = text;
        });
    }
    void setFieldVisible(WorkerField field, bool shown)
    {
        locked([&] { m_shown[field] = shown; });
    }
    void setChoiceChecked(WorkerChoice choice, bool on)
    {
        locked([&] { m_checked[choice] = on; });
    }
    WorkerUiState state() const
    {
        return locked([&] { return m_state; });
    }
    // The condition runs under the lock and must not call back into this object.
    bool waitUntil(const std::function<bool(const WorkerUiState&)>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) const
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] { return condition(m_state); });
    }

    void setStatusText(std::string_view text) override
    {
        locked([&] { m_state.statusTexts.emplace_back(text); });
    }
    std::string fieldText(WorkerField field) override
    {
        return locked([&] { return m_fields[field]; });
    }
    bool isFieldVisible(WorkerField field) override
    {
        return locked([&] { return !m_shown.contains(field) || m_shown[field]; });
    }
    bool isChoiceChecked(WorkerChoice choice) override
    {
        return locked([&] { return m_checked[choice]; });
    }
    void showMessageBox(std::string_view caption, std::string_view text) override
    {
        locked([&] {
            m_state.messageBoxes.push_back(std::string(caption).append(": ").append(text));
        });
    }
    void resetDisplay() override
    {
        if (m_control)
            m_control->table.clear();
        locked([&] {
            m_state.rows.clear();
            ++m_state.resetCount;
        });
    }
    void addListRow(int, std::string_view rowText) override
    {
        locked([&] { m_state.rows.emplace_back(rowText); });
    }

private:
    // Runs f under the lock and wakes the waits.
    template <typename F> auto locked(F f) const -> decltype(f())
    {
        const std::lock_guard lock(m_mutex);
        m_changed.notify_all();
        return f();
    }

    WorkerControl* const m_control;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    WorkerUiState m_state;
    std::map<WorkerField, std::string> m_fields{{WorkerField::MacGroupCaption, "ffffffffffff"}};
    std::map<WorkerField, bool> m_shown{{WorkerField::Mac, false}};
    std::map<WorkerChoice, bool> m_checked;
};

} // namespace tavolix::test
