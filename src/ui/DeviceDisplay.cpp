// The device list's selection shown in the detail fields, and the reset that
// empties them.

#include "BitmapButton.h"
#include "Credentials.h"
#include "DeviceSummary.h"
#include "MacCodec.h"
#include "ReplyParser.h"
#include "SearchDialog.h"
#include "TransparentLabel.h"

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <initializer_list>

namespace tavolix {
namespace {

// What a device may never exceed in the login fields.
constexpr int loginFieldLimit = static_cast<int>(loginFieldSize);
const QString noDeviceCaption = QStringLiteral("ffffffffffff");

QString shownText(std::string_view deviceBytes, LegacyCodePage page)
{
    return QString::fromStdString(deviceTextToUtf8(deviceBytes, page));
}

void setAllEnabled(std::initializer_list<QWidget*> widgets, bool enabled)
{
    for (QWidget* widget : widgets)
        widget->setEnabled(enabled);
}

} // namespace

void SearchDialog::showSelectedDevice()
{
    if (deviceList->selectedItems().isEmpty())
        return;
    if (const std::optional<DeviceRecord> record = selectedRecord()) {
        showDeviceDetails(*record);
        enableForKind(*record);
    }
    loginAccountEdit->setMaxLength(loginFieldLimit);
    loginPasswordEdit->setMaxLength(loginFieldLimit);
}

// The row's leading number is the slot. A row that the table no longer
// backs (the list and the table out of step) names nothing.
std::optional<DeviceRecord> SearchDialog::selectedRecord() const
{
    const QList<QListWidgetItem*> selected = deviceList->selectedItems();
    if (selected.isEmpty())
        return std::nullopt;
    if (deviceList->row(selected.first()) >= worker.table.usedSlotCount())
        return std::nullopt;
    std::optional<DeviceRecord> record =
        worker.table.recordAt(leadingNumber(selected.first()->text().toStdString()));
    if (!record || record->slot == 0)
        return std::nullopt;
    return record;
}

void SearchDialog::showDeviceDetails(const DeviceRecord& record)
{
    // The worker reads the texts back in the same code page, so what the
    // user leaves untouched is never sent, whatever bytes the device holds.
    const LegacyCodePage page = codePageInEffect();
    m_bridge.setFieldCodePage(page);
    const auto toQString = [page](const auto& field) {
        return shownText(tavolix::fieldText(field), page);
    };
    setAllEnabled({ipAddressEdit, subnetMaskEdit, gatewayEdit, pppoeAccountEdit, pppoePasswordEdit},
                  false);
    nameEdit->setText(toQString(record.name));
    ipAddressEdit->setText(QString::fromStdString(tavolix::ipv4Text(record.ipAddress)));
    subnetMaskEdit->setText(QString::fromStdString(tavolix::ipv4Text(record.subnetMask)));
    gatewayEdit->setText(QString::fromStdString(tavolix::ipv4Text(record.gateway)));
    pppoeAccountEdit->setText(toQString(record.pppoeAccount));
    pppoePasswordEdit->setText(toQString(record.pppoePassword));
    httpPortEdit->setText(QString::number(record.httpPort));

    const QString macText = QString::fromStdString(macToText(record.mac));
    macGroup->setTitle(macText);
    if (macEdit->isVisibleTo(this))
        macEdit->setText(macText);

    dhcpRadio->setChecked(false);
    pppoeRadio->setChecked(false);
    staticRadio->setChecked(false);
    switch (chosenAddressMode(record.networkMode)) {
    case AddressMode::Pppoe:
        pppoeRadio->setChecked(true);
        break;
    case AddressMode::Dhcp:
        dhcpRadio->setChecked(true);
        break;
    case AddressMode::Static:
        setAllEnabled({ipAddressEdit, subnetMaskEdit, gatewayEdit}, true);
        setAllEnabled({pppoeAccountEdit, pppoePasswordEdit}, false);
        staticRadio->setChecked(true);
        break;
    }
    deviceInfoText->setText(shownText(summaryText(record), page));
}

// What the device's kind lets the user change.
void SearchDialog::enableForKind(const DeviceRecord& record)
{
    switch (record.kind) {
    case DeviceKind::WithoutPppoe:
        setAllEnabled({pppoeAccountEdit, pppoePasswordEdit, macEdit, pppoeRadio}, false);
        setAllEnabled({nameEdit, httpPortEdit, staticRadio, dhcpRadio, loginAccountEdit,
                       loginPasswordEdit, submitButton},
                      true);
        setAllEnabled({ipAddressEdit, subnetMaskEdit, gatewayEdit},
                      record.networkMode[2] == modeOff);
        break;
    case DeviceKind::ReadOnly:
        setAllEnabled({nameEdit, httpPortEdit, macEdit, staticRadio, dhcpRadio, pppoeRadio,
                       submitButton, loginAccountEdit, loginPasswordEdit, ipAddressEdit,
                       subnetMaskEdit, gatewayEdit},
                      false);
        break;
    case DeviceKind::Unstated:
        // The address and PPPoE fields keep what the device's mode gave them.
        // Such devices take a login as kind 1 ones do: the login fields stay open.
        setAllEnabled({nameEdit, httpPortEdit, macEdit, staticRadio, dhcpRadio, pppoeRadio,
                       submitButton, loginAccountEdit, loginPasswordEdit},
                      true);
        break;
    }
}

LegacyCodePage SearchDialog::codePageInEffect() const
{
    return codePageOfLanguage(m_languageSwitch->currentLanguage());
}

// Leaves the status text, the language, the radio buttons' and Submit's
// enabled state and the pending command alone.
void SearchDialog::clearDisplay()
{
    for (QLineEdit* edit : {nameEdit, macEdit, ipAddressEdit, subnetMaskEdit, gatewayEdit,
                            httpPortEdit, pppoeAccountEdit, pppoePasswordEdit})
        edit->clear();
    deviceInfoText->setText(QString());
    loginAccountEdit->clear();
    loginPasswordEdit->clear();
    setAllEnabled({loginAccountEdit, loginPasswordEdit, nameEdit, httpPortEdit, macEdit,
                   pppoeAccountEdit, pppoePasswordEdit, ipAddressEdit, subnetMaskEdit, gatewayEdit},
                  false);
    macGroup->setTitle(noDeviceCaption);
    pppoeRadio->setChecked(false);
    staticRadio->setChecked(false);
    dhcpRadio->setChecked(false);
    deviceList->clear();
    worker.table.clear();
}

} // namespace tavolix
