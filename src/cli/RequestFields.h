#pragma once

#include "Datagram.h"
#include "DeviceRecord.h"
#include "DeviceText.h"
#include "Settings.h"
#include "WorkerUi.h"

#include <optional>
#include <string>

namespace tavolix::cli {

struct Login
{
    std::string account;
    std::string password;
};

// The fields the window's Submit would hold for one device: the device's own
// values, the asked values in their place, and the login. Names and accounts
// are shown as the window shows them, decoded in the code page, so that the
// composer sends no untouched text and writes a changed one in the device's
// own encoding. The configuration composer reads them through
// the same interface through which it reads the window.
class RequestFields final : public WorkerUi
{
public:
    RequestFields(const DeviceRecord& device, const SettingValues& asked, const Login& login,
                  LegacyCodePage page);
    RequestFields(const RequestFields&) = delete;
    RequestFields& operator=(const RequestFields&) = delete;

    std::string fieldText(WorkerField field) override;
    bool isFieldVisible(WorkerField field) override;
    bool isChoiceChecked(WorkerChoice choice) override;
    LegacyCodePage textCodePage() override { return m_page; }
    void showMessageBox(std::string_view caption, std::string_view text) override;
    // There is no window: nothing to show, reset or list.
    void setStatusText(std::string_view) override {}
    void resetDisplay() override {}
    void addListRow(int, std::string_view) override {}

    // The composer's complaint, when it refused a value.
    const std::string& complaint() const { return m_complaint; }

private:
    std::string value(Setting setting) const;
    std::string decoded(std::string_view deviceBytes) const;

    const DeviceRecord& m_device;
    const SettingValues& m_asked;
    const Login& m_login;
    LegacyCodePage m_page;
    std::string m_complaint;
};

// The configuration request that Submit would send for the device with the
// asked values; nothing, with the composer's complaint in problem, when it
// refuses one.
std::optional<RequestBuffer> composeRequest(const DeviceRecord& device, const SettingValues& asked,
                                            const Login& login, LegacyCodePage page,
                                            std::string& problem);

} // namespace tavolix::cli
