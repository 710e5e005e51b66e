#include "RecordingWorkerUi.h"

#include "ReplyParser.h"

#include <algorithm>

namespace tavolix::e2e {
namespace {

// How often a shown box looks at the stop flag.
constexpr auto stopPollInterval = std::chrono::milliseconds(5);

} // namespace

RecordingWorkerUi::RecordingWorkerUi(WorkerControl& control) : m_control(control)
{
    // As the window starts: no device selected, the MAC field hidden (no
    // marker file), the login fields shown.
    m_fields[WorkerField::MacGroupCaption] = "ffffffffffff";
}

void RecordingWorkerUi::setField(WorkerField field, std::string text)
{
    const std::lock_guard lock(m_mutex);
    m_fields[field] = std::move(text);
}

void RecordingWorkerUi::setChoiceChecked(WorkerChoice choice, bool checked)
{
    const std::lock_guard lock(m_mutex);
    m_checked[choice] = checked;
}

WorkerUiState RecordingWorkerUi::state() const
{
    const std::lock_guard lock(m_mutex);
    return m_state;
}

bool RecordingWorkerUi::waitUntil(const std::function<bool(const WorkerUiState&)>& condition,
                                  std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return condition(m_state); });
}

void RecordingWorkerUi::setStatusText(std::string_view text)
{
    const std::lock_guard lock(m_mutex);
    m_state.statusTexts.emplace_back(text);
    m_changed.notify_all();
}

std::string RecordingWorkerUi::fieldText(WorkerField field)
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_fields.find(field);
    return it == m_fields.end() ? std::string() : it->second;
}

bool RecordingWorkerUi::isFieldVisible(WorkerField field)
{
    return field != WorkerField::Mac;
}

bool RecordingWorkerUi::isChoiceChecked(WorkerChoice choice)
{
    const std::lock_guard lock(m_mutex);
    const auto it = m_checked.find(choice);
    return it != m_checked.end() && it->second;
}

void RecordingWorkerUi::showMessageBox(std::string_view /*caption*/, std::string_view text)
{
    std::unique_lock lock(m_mutex);
    m_state.messageBoxes.emplace_back(text);
    m_changed.notify_all();
    // The stop flag is not ours to be told about, so it is polled.
    while (m_control.stop.load() == 0)
        m_changed.wait_for(lock, stopPollInterval);
}

void RecordingWorkerUi::resetDisplay()
{
    m_control.table.clear();
    const std::lock_guard lock(m_mutex);
    m_state.rows.clear();
    ++m_state.resetCount;
    m_changed.notify_all();
}

void RecordingWorkerUi::addListRow(int slotNumber, std::string_view rowText)
{
    const std::lock_guard lock(m_mutex);
    const bool listed =
        std::any_of(m_state.rows.begin(), m_state.rows.end(),
                    [&](const std::string& row) { return leadingNumber(row) == slotNumber; });
    if (!listed) {
        const std::string row(rowText);
        m_state.rows.insert(std::upper_bound(m_state.rows.begin(), m_state.rows.end(), row), row);
    }
    m_changed.notify_all();
}

} // namespace tavolix::e2e
