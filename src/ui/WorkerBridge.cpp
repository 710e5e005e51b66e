#include "WorkerBridge.h"

#include "NetworkWorker.h"
#include "ReplyParser.h"
#include "TransparentLabel.h"

#include <QEventLoop>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QRadioButton>
#include <QThread>
#include <array>
#include <bitset>
#include <system_error>
#include <type_traits>
#include <utility>

namespace tavolix {
namespace {

QString toQString(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

struct FieldEdit
{
    WorkerField field;
    QLineEdit* DialogControls::*edit;
};

constexpr std::array<FieldEdit, 10> fieldEdits{{
    {WorkerField::LoginAccount, &DialogControls::loginAccountEdit},
    {WorkerField::LoginPassword, &DialogControls::loginPasswordEdit},
    {WorkerField::Mac, &DialogControls::macEdit},
    {WorkerField::Name, &DialogControls::nameEdit},
    {WorkerField::IpAddress, &DialogControls::ipAddressEdit},
    {WorkerField::SubnetMask, &DialogControls::subnetMaskEdit},
    {WorkerField::Gateway, &DialogControls::gatewayEdit},
    {WorkerField::HttpPort, &DialogControls::httpPortEdit},
    {WorkerField::PppoeAccount, &DialogControls::pppoeAccountEdit},
    {WorkerField::PppoePassword, &DialogControls::pppoePasswordEdit},
}};

QLineEdit* editFor(const DialogControls& controls, WorkerField field)
{
    for (const FieldEdit& entry : fieldEdits) {
        if (entry.field == field)
            return controls.*entry.edit;
    }
    return nullptr;
}

} // namespace

WorkerBridge::WorkerBridge(QWidget& window, const DialogControls& controls, WindowSide side)
    : m_window(window), m_controls(controls), m_side(std::move(side))
{}

WorkerBridge::~WorkerBridge()
{
    stop();
}

void WorkerBridge::start(const WorkerEndpoints& endpoints)
{
    try {
        m_thread = std::thread([this, endpoints] {
            runNetworkWorker(m_control, *this, endpoints);
            m_finished.store(true);
            QMetaObject::invokeMethod(
                this, [this] { emit workerEnded(QPrivateSignal()); }, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        m_finished.store(true);
    }
}

void WorkerBridge::stop()
{
    m_control.requestStop();
    {
        // A worker between its stop check and its wait must not miss the wake-up.
        std::lock_guard lock(m_messageBoxMutex);
    }
    m_messageBoxDone.notify_all();
    closeMessageBoxes();
    if (!m_thread.joinable())
        return;
    // The worker may be in the middle of a window call, or about to make one:
    // keep serving them until it has ended. The user's input waits meanwhile.
    if (!m_finished.load()) {
        QEventLoop serveUntilEnded;
        connect(this, &WorkerBridge::workerEnded, &serveUntilEnded, &QEventLoop::quit);
        if (!m_finished.load())
            serveUntilEnded.exec(QEventLoop::ExcludeUserInputEvents);
    }
    m_thread.join();
}

void WorkerBridge::closeMessageBoxes()
{
    const QList<QPointer<QMessageBox>> boxes = std::exchange(m_messageBoxes, {});
    for (const QPointer<QMessageBox>& box : boxes) {
        if (box)
            box->done(QMessageBox::Ok);
    }
}

template <typename Call> auto WorkerBridge::callOnWindowThread(Call&& call)
{
    using Result = std::invoke_result_t<Call&>;
    if (QThread::currentThread() == thread())
        return call();
    if constexpr (std::is_void_v<Result>) {
        QMetaObject::invokeMethod(this, std::forward<Call>(call), Qt::BlockingQueuedConnection);
    } else {
        Result result{};
        QMetaObject::invokeMethod(this, std::forward<Call>(call), Qt::BlockingQueuedConnection,
                                  &result);
        return result;
    }
}

void WorkerBridge::setStatusText(std::string_view text)
{
    callOnWindowThread([this, shown = toQString(text)] { m_controls.statusText->setText(shown); });
}

std::string WorkerBridge::fieldText(WorkerField field)
{
    return callOnWindowThread([this, field]() -> std::string {
        if (field == WorkerField::MacGroupCaption)
            return m_controls.macGroup->title().toStdString();
        const QLineEdit* edit = editFor(m_controls, field);
        return edit != nullptr ? edit->text().toStdString() : std::string();
    });
}

// Visible means not hidden by the window: the answer does not depend on
// whether the window itself is on screen yet.
bool WorkerBridge::isFieldVisible(WorkerField field)
{
    return callOnWindowThread([this, field] {
        const QLineEdit* edit = editFor(m_controls, field);
        return edit != nullptr && edit->isVisibleTo(&m_window);
    });
}

bool WorkerBridge::isChoiceChecked(WorkerChoice choice)
{
    return callOnWindowThread([this, choice] {
        return (choice == WorkerChoice::Pppoe ? m_controls.pppoeRadio : m_controls.dhcpRadio)
            ->isChecked();
    });
}

// The box does not block the window: the user may still press Exit, and the
// shutdown then closes the box and releases the waiting worker.
void WorkerBridge::showMessageBox(std::string_view caption, std::string_view text)
{
    const bool onWindowThread = QThread::currentThread() == thread();
    {
        std::lock_guard lock(m_messageBoxMutex);
        m_messageBoxOpen = true;
    }
    const bool shown = callOnWindowThread([this, title = toQString(caption),
                                           message = toQString(text)] {
        if (m_control.stop.load() != 0)
            return false;
        auto* box =
            new QMessageBox(QMessageBox::Critical, title, message, QMessageBox::Ok, &m_window);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        connect(box, &QDialog::finished, this, &WorkerBridge::messageBoxFinished);
        m_messageBoxes.removeIf([](const QPointer<QMessageBox>& open) { return open.isNull(); });
        m_messageBoxes.append(box);
        box->show();
        return true;
    });
    std::unique_lock lock(m_messageBoxMutex);
    // The window's thread cannot wait for its own box.
    if (shown && !onWindowThread)
        m_messageBoxDone.wait(lock,
                              [this] { return !m_messageBoxOpen || m_control.stop.load() != 0; });
    m_messageBoxOpen = false;
}

void WorkerBridge::messageBoxFinished()
{
    {
        std::lock_guard lock(m_messageBoxMutex);
        m_messageBoxOpen = false;
    }
    m_messageBoxDone.notify_all();
}

void WorkerBridge::resetDisplay()
{
    callOnWindowThread([this] { m_side.clearDisplay(); });
}

// The worker does not wait for its rows: it goes on reading replies while the
// window lists what it has been handed, many rows at a time.
void WorkerBridge::addListRow(int slotNumber, std::string_view rowText)
{
    // Only the worker fills slots, so a slot that holds a device right after
    // the worker stored one has not been emptied since, and the generation is
    // the record's. An emptied table gets no row for the record.
    const std::optional<uint64_t> generation = m_control.table.generationHolding(slotNumber);
    if (!generation)
        return;
    const bool firstWaiting = m_pendingRows.add(slotNumber, std::string(rowText), *generation);
    if (QThread::currentThread() == thread())
        listPendingRows();
    else if (firstWaiting)
        QMetaObject::invokeMethod(this, &WorkerBridge::listPendingRows, Qt::QueuedConnection);
}

void WorkerBridge::listPendingRows()
{
    const PendingRows::Batch batch = m_pendingRows.take();
    // Rows of a table emptied since (Update, a reset) would name no device.
    if (batch.rows.empty() || batch.tableGeneration != m_control.table.generation())
        return;
    QListWidget& list = *m_controls.deviceList;
    // The slots the list names already, read once for the whole batch.
    std::bitset<DeviceTable::slotCount + 1> listed;
    for (int row = 0; row < list.count(); ++row) {
        const int number = leadingNumber(list.item(row)->text().toStdString());
        if (number >= 1 && number <= DeviceTable::slotCount)
            listed.set(static_cast<std::size_t>(number));
    }
    const LegacyCodePage page = m_side.languageCodePage();
    for (const PendingRows::Row& row : batch.rows) {
        const auto slot = static_cast<std::size_t>(row.slotNumber);
        if (listed.test(slot))
            continue; // the slot has its row; a later name does not replace it
        listed.set(slot);
        list.addItem(QString::fromStdString(deviceTextToUtf8(row.text, page)));
    }
}

LegacyCodePage WorkerBridge::textCodePage()
{
    return callOnWindowThread([this] { return m_fieldCodePage; });
}

} // namespace tavolix
