#pragma once

#include "DialogControls.h"
#include "DialogSkin.h"
#include "LanguageSwitch.h"
#include "PendingRows.h"
#include "SearchDialogOptions.h"
#include "WorkerControl.h"
#include "WorkerUi.h"

#include <QDialog>
#include <QList>
#include <QMap>
#include <QPointer>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class QMessageBox;

namespace tavolix {

// The program's one window: the device list, the detail fields and the
// commands. It starts the network worker, serves the worker's window calls
// on its own thread and stops the worker before it goes away.
class SearchDialog final : public QDialog,
                           public WorkerUi,
                           public LanguageTextTarget,
                           private DialogControls
{
    Q_OBJECT

public:
    explicit SearchDialog(const SearchDialogOptions& options = {}, QWidget* parent = nullptr);
    ~SearchDialog() override;
    Q_DISABLE_COPY_MOVE(SearchDialog)

    const DialogControls& controls() const { return *this; }
    WorkerControl& workerControl() { return worker; }
    bool isWorkerRunning() const { return workerThread.joinable(); }
    CaptionZones captionZones() const { return {closeZone, minimiseZone}; }

    // Enter: nothing at all, so the window neither closes nor changes.
    void accept() override;
    // Escape: the shutdown.
    void reject() override;
    // The shutdown, reached from Escape, Exit and a close request: stops the
    // worker, waits for it while still serving its window calls, and ends the
    // dialog's run with 0.
    void onCancel();

    // WorkerUi: called on the worker's thread, carried out on the window's.
    void setStatusText(std::string_view text) override;
    std::string fieldText(WorkerField field) override;
    bool isFieldVisible(WorkerField field) override;
    bool isChoiceChecked(WorkerChoice choice) override;
    void showMessageBox(std::string_view caption, std::string_view text) override;
    void resetDisplay() override;
    void addListRow(int slotNumber, std::string_view rowText) override;
    LegacyCodePage textCodePage() override;

    // LanguageTextTarget
    void setInterfaceText(ControlId controlId, const QString& text) override;
    void languageApplied() override;

signals:
    void workerEnded(QPrivateSignal);

protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // The title strip: close and minimise buttons, and the handle that moves
    // the window.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // Initialisation, in the order the constructor runs it.
    void createControls();
    void connectEvents();
    void setIcons();
    void applySkin();
    void applyFonts();
    void startWorker();
    void showMacFieldIfMarked();

    // Event handlers.
    void showSelectedDevice();
    void openDeviceWebPage();
    void onUpdate();
    void onSubmit();
    void onPppoeMode();
    void onDhcpMode();
    void onStaticMode();

    void showDeviceDetails(const DeviceRecord& record);
    void enableForKind(const DeviceRecord& record);
    void clearDisplay();
    struct ModeRule;
    void applyModeRule(const ModeRule& rule);
    // The stored device the selected row names, if the row and the table agree.
    std::optional<DeviceRecord> selectedRecord() const;
    QWidget* controlById(ControlId id) const { return m_controlsById.value(id); }
    // How device texts that are not UTF-8 read in the language now in effect.
    LegacyCodePage codePageInEffect() const;

    void beginStripMove();
    void showCaptionHover(QPoint clientPoint);

    void listPendingRows();
    void stopWorker();
    void closeMessageBoxes();
    void messageBoxFinished();
    template <typename Call> auto callOnWindowThread(Call&& call);

    const SearchDialogOptions m_options;
    WorkerControl worker;
    std::thread workerThread;
    QMap<ControlId, QWidget*> m_controlsById;
    std::unique_ptr<LanguageSwitch> m_languageSwitch;
    bool m_shuttingDown = false;
    // The code page the selected device's texts were shown in.
    LegacyCodePage m_detailsCodePage = LegacyCodePage::Windows1252;

    // Where the caption buttons were last painted; empty before the first paint.
    QRect closeZone;
    QRect minimiseZone;
    DialogSkin m_skin;
    // Set only while a mouse move repaints the caption buttons.
    std::optional<QPoint> m_captionHoverPoint;
    // A press on the title strip that may move the window.
    struct StripPress
    {
        QPoint cursorStart; // global
        QPoint windowStart;
        bool movingByHand = false;
    };
    std::optional<StripPress> m_stripPress;
    std::atomic<bool> m_workerFinished{false};
    PendingRows m_pendingRows;

    // A worker message box: the worker waits until it is dismissed or the
    // dialog asks the worker to stop.
    std::mutex m_messageBoxMutex;
    std::condition_variable m_messageBoxDone;
    bool m_messageBoxOpen = false;
    QList<QPointer<QMessageBox>> m_messageBoxes; // window thread only
};

} // namespace tavolix
