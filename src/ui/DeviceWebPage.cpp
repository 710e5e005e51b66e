#include "DeviceSummary.h"
#include "SearchDialog.h"

#include <QDesktopServices>
#include <QUrl>

namespace tavolix {

// There is no browser registry key here: the page address goes straight to
// the desktop's handler for web addresses. A row that names no stored device
// opens nothing.
void SearchDialog::openDeviceWebPage()
{
    const std::optional<DeviceRecord> record = selectedRecord();
    if (!record)
        return;
    const QUrl address(QString::fromStdString(devicePageAddress(*record)), QUrl::StrictMode);
    if (address.isValid())
        QDesktopServices::openUrl(address);
}

} // namespace tavolix
