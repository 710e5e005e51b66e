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

namespace tavolix::e2e {

// Everything the worker has done to the fake window so far.
struct WorkerUiState
{
    std::vector<std::string> statusTexts;  // every text in order
    std::vector<std::string> rows;         // the device list, kept sorted by text
    std::vector<std::string> messageBoxes; // their texts
    int resetCount = 0;
};

// A window stand-in for the network worker, without Qt. Test code sets the
// field texts and check states it wants the worker to read, and
// watches what the worker shows. Thread-safe: the worker calls it from its
// own thread while the test thread inspects and waits.
//
// showMessageBox blocks like a modal box nobody dismisses: until the
// control's stop flag becomes non-zero. resetDisplay empties the control's
// device table together with the rows, as the window does.
class RecordingWorkerUi final : public WorkerUi
{
public:
    explicit RecordingWorkerUi(WorkerControl& control);
    RecordingWorkerUi(const RecordingWorkerUi&) = delete;
    RecordingWorkerUi& operator=(const RecordingWorkerUi&) = delete;

    // Test side.
    void setField(WorkerField field, std::string text);
    void setChoiceChecked(WorkerChoice choice, bool checked);
    WorkerUiState state() const;
    // Waits until the state satisfies the condition; the condition runs under
    // the lock and must not call back into this object.
    bool waitUntil(const std::function<bool(const WorkerUiState&)>& condition,
                   std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

    // Worker side.
    void setStatusText(std::string_view text) override;
    std::string fieldText(WorkerField field) override;
    bool isFieldVisible(WorkerField field) override;
    bool isChoiceChecked(WorkerChoice choice) override;
    void showMessageBox(std::string_view caption, std::string_view text) override;
    void resetDisplay() override;
    void addListRow(int slotNumber, std::string_view rowText) override;

private:
    WorkerControl& m_control;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    WorkerUiState m_state;
    std::map<WorkerField, std::string> m_fields;
    std::map<WorkerChoice, bool> m_checked;
};

} // namespace tavolix::e2e
