#pragma once

#include "DialogControls.h"
#include "DialogSkin.h"
#include "LanguageSwitch.h"
#include "SearchDialogOptions.h"
#include "WorkerBridge.h"

#include <QDialog>
#include <QMap>
#include <memory>
#include <optional>

namespace tavolix {

// The program's one window: the device list, the detail fields and the
// commands. Its worker bridge runs the network worker and stops it before the
// window goes away.
class SearchDialog final : public QDialog, public LanguageTextTarget, private DialogControls
{
    Q_OBJECT

public:
    explicit SearchDialog(const SearchDialogOptions& options = {}, QWidget* parent = nullptr);
    ~SearchDialog() override;
    Q_DISABLE_COPY_MOVE(SearchDialog)

    const DialogControls& controls() const { return *this; }
    WorkerBridge& workerBridge() { return m_bridge; }
    WorkerControl& workerControl() { return worker; }
    bool isWorkerRunning() const { return m_bridge.isRunning(); }
    CaptionZones captionZones() const { return {closeZone, minimiseZone}; }

    // Enter: nothing at all, so the window neither closes nor changes.
    void accept() override;
    // Escape: the shutdown.
    void reject() override;
    // The shutdown, reached from Escape, Exit and a close request: stops the
    // worker, waits for it while still serving its window calls, and ends the
    // dialog's run with 0.
    void onCancel();

    // LanguageTextTarget
    void setInterfaceText(ControlId controlId, const QString& text) override;
    void languageApplied() override;

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

    const SearchDialogOptions m_options;
    WorkerBridge m_bridge;
    WorkerControl& worker = m_bridge.control();
    QMap<ControlId, QWidget*> m_controlsById;
    std::unique_ptr<LanguageSwitch> m_languageSwitch;
    bool m_shuttingDown = false;

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
};

} // namespace tavolix
