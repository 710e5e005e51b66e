// The window's side of the worker's calls. Each runs on the window's thread
// while the worker waits for it.

#include "ReplyParser.h"
#include "SearchDialog.h"
#include "TransparentLabel.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QRadioButton>
#include <QThread>
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

void SearchDialog::addListRow(int slotNumber, std::string_view rowText)
{
    callOnWindowThread([this, slotNumber, rowText] {
        // An Update may have emptied the table since the worker stored the
        // record; a row for it would name no device.
        const std::optional<DeviceRecord> record = worker.table.recordAt(slotNumber);
        if (!record || record->slot == 0)
            return;
        for (int row = 0; row < deviceList->count(); ++row) {
            if (leadingNumber(deviceList->item(row)->text().toStdString()) == slotNumber)
                return;
        }
        deviceList->addItem(QString::fromStdString(deviceTextToUtf8(rowText, codePageInEffect())));
    });
}

LegacyCodePage SearchDialog::textCodePage()
{
    return callOnWindowThread([this] { return m_detailsCodePage; });
}

} // namespace tavolix
