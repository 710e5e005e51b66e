#pragma once

#include "DialogControls.h"
#include "PendingRows.h"
#include "WorkerControl.h"
#include "WorkerUi.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class QMessageBox;
class QWidget;

namespace tavolix {

struct WorkerEndpoints;

// The window's side of the network worker: owns the worker's thread and the
// block it shares with the window, and carries out the worker's calls on the
// window's thread. The worker waits for every call but its list rows.
class WorkerBridge final : public QObject, public WorkerUi
{
    Q_OBJECT

public:
    // What the bridge asks of the window beyond its controls: emptying the
    // display, and the code page of the language in effect for listed rows.
    struct WindowSide
    {
        std::function<void()> clearDisplay;
        std::function<LegacyCodePage()> languageCodePage;
    };

    WorkerBridge(QWidget& window, const DialogControls& controls, WindowSide side);
    ~WorkerBridge() override;
    Q_DISABLE_COPY_MOVE(WorkerBridge)

    WorkerControl& control() { return m_control; }
    bool isRunning() const { return m_thread.joinable(); }

    // Starts the worker on a thread of its own. Without the thread the window
    // still works, only without a network.
    void start(const WorkerEndpoints& endpoints);
    // Asks the worker to end, releases it from a message box, closes the
    // boxes, and keeps serving its window calls (user input excluded) until it
    // has ended; then joins it.
    void stop();

    // The code page the selected device's texts were shown in (window thread).
    void setFieldCodePage(LegacyCodePage page) { m_fieldCodePage = page; }

    // WorkerUi: called on the worker's thread, carried out on the window's.
    void setStatusText(std::string_view text) override;
    std::string fieldText(WorkerField field) override;
    bool isFieldVisible(WorkerField field) override;
    bool isChoiceChecked(WorkerChoice choice) override;
    void showMessageBox(std::string_view caption, std::string_view text) override;
    void resetDisplay() override;
    void addListRow(int slotNumber, std::string_view rowText) override;
    LegacyCodePage textCodePage() override;

signals:
    void workerEnded(QPrivateSignal);

private:
    template <typename Call> auto callOnWindowThread(Call&& call);
    void listPendingRows();
    void closeMessageBoxes();
    void messageBoxFinished();

    QWidget& m_window;
    const DialogControls& m_controls;
    const WindowSide m_side;
    WorkerControl m_control;
    std::thread m_thread;
    std::atomic<bool> m_finished{false};
    PendingRows m_pendingRows;
    LegacyCodePage m_fieldCodePage = LegacyCodePage::Windows1252;

    // A worker message box: the worker waits until it is dismissed or the
    // window asks the worker to stop.
    std::mutex m_messageBoxMutex;
    std::condition_variable m_messageBoxDone;
    bool m_messageBoxOpen = false;
    QList<QPointer<QMessageBox>> m_messageBoxes; // window thread only
};

} // namespace tavolix
