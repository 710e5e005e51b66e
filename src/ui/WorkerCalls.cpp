// The window's side of the worker's calls. Each runs on the window's thread;
// the worker waits for all but its list rows.

#include "ReplyParser.h"
#include "SearchDialog.h"
#include "TransparentLabel.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QRadioButton>
#include <QThread>
#include <bitset>
#include <type_traits>

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

QLineEdit* DialogControls::*editFor(WorkerField field)
{
    for (const FieldEdit& entry : fieldEdits) {
        if (entry.field == field)
            return entry.edit;
    }
    return nullptr;
}

} // namespace

template <typename Call> auto SearchDialog::callOnWindowThread(Call&& call)
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

void SearchDialog::setStatusText(std::string_view text)
{
    callOnWindowThread([this, shown = toQString(text)] { statusText->setText(shown); });
}

std::string SearchDialog::fieldText(WorkerField field)
{
    return callOnWindowThread([this, field]() -> std::string {
        if (field == WorkerField::MacGroupCaption)
            return macGroup->title().toStdString();
        QLineEdit* DialogControls::*edit = editFor(field);
        return edit != nullptr ? (this->*edit)->text().toStdString() : std::string();
    });
}

// Visible means not hidden by the dialog: the answer does not depend on
// whether the window itself is on screen yet.
bool SearchDialog::isFieldVisible(WorkerField field)
{
    return callOnWindowThread([this, field] {
        QLineEdit* DialogControls::*edit = editFor(field);
        return edit != nullptr && (this->*edit)->isVisibleTo(this);
    });
}

bool SearchDialog::isChoiceChecked(WorkerChoice choice)
{
    return callOnWindowThread([this, choice] {
        return (choice == WorkerChoice::Pppoe ? pppoeRadio : dhcpRadio)->isChecked();
    });
}

// The box does not block the window: the user may still press Exit, and the
// shutdown then closes the box and releases the waiting worker.
void SearchDialog::showMessageBox(std::string_view caption, std::string_view text)
{
    const bool onWindowThread = QThread::currentThread() == thread();
    {
        std::lock_guard lock(m_messageBoxMutex);
        m_messageBoxOpen = true;
    }
    const bool shown = callOnWindowThread([this, title = toQString(caption),
                                           message = toQString(text)] {
        if (worker.stop.load() != 0)
            return false;
        auto* box = new QMessageBox(QMessageBox::Critical, title, message, QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setWindowModality(Qt::NonModal);
        connect(box, &QDialog::finished, this, &SearchDialog::messageBoxFinished);
        m_messageBoxes.removeIf([](const QPointer<QMessageBox>& open) { return open.isNull(); });
        m_messageBoxes.append(box);
        box->show();
        return true;
    });
    std::unique_lock lock(m_messageBoxMutex);
    // The window's thread cannot wait for its own box.
    if (shown && !onWindowThread)
        m_messageBoxDone.wait(lock,
                              [this] { return !m_messageBoxOpen || worker.stop.load() != 0; });
    m_messageBoxOpen = false;
}

void SearchDialog::messageBoxFinished()
{
    {
        std::lock_guard lock(m_messageBoxMutex);
        m_messageBoxOpen = false;
    }
    m_messageBoxDone.notify_all();
}

void SearchDialog::resetDisplay()
{
    callOnWindowThread([this] { clearDisplay(); });
}

// The worker does not wait for its rows: it goes on reading replies while the
// window lists what it has been handed, many rows at a time.
void SearchDialog::addListRow(int slotNumber, std::string_view rowText)
{
    // Only the worker fills slots, so a slot that holds a device right after
    // the worker stored one has not been emptied since, and the generation is
    // the record's. An emptied table gets no row for the record.
    const std::optional<uint64_t> generation = worker.table.generationHolding(slotNumber);
    if (!generation)
        return;
    const bool firstWaiting = m_pendingRows.add(slotNumber, std::string(rowText), *generation);
    if (QThread::currentThread() == thread())
        listPendingRows();
    else if (firstWaiting)
        QMetaObject::invokeMethod(this, &SearchDialog::listPendingRows, Qt::QueuedConnection);
}

void SearchDialog::listPendingRows()
{
    const PendingRows::Batch batch = m_pendingRows.take();
    // Rows of a table emptied since (Update, a reset) would name no device.
    if (batch.rows.empty() || batch.tableGeneration != worker.table.generation())
        return;
    // The slots the list names already, read once for the whole batch.
    std::bitset<DeviceTable::slotCount + 1> listed;
    for (int row = 0; row < deviceList->count(); ++row) {
        const int number = leadingNumber(deviceList->item(row)->text().toStdString());
        if (number >= 1 && number <= DeviceTable::slotCount)
            listed.set(static_cast<std::size_t>(number));
    }
    const LegacyCodePage page = codePageInEffect();
    for (const PendingRows::Row& row : batch.rows) {
        const auto slot = static_cast<std::size_t>(row.slotNumber);
        if (listed.test(slot))
            continue; // the slot has its row; a later name does not replace it
        listed.set(slot);
        deviceList->addItem(QString::fromStdString(deviceTextToUtf8(row.text, page)));
    }
}

LegacyCodePage SearchDialog::textCodePage()
{
    return callOnWindowThread([this] { return m_detailsCodePage; });
}

} // namespace tavolix
