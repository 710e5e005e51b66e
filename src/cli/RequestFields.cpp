#include "RequestFields.h"

#include "ConfigurationStep.h"
#include "MacCodec.h"
#include "WorkerControl.h"

namespace tavolix::cli {

RequestFields::RequestFields(const DeviceRecord& device, const SettingValues& asked,
                             const Login& login, LegacyCodePage page)
    : m_device(device), m_asked(asked), m_login(login), m_page(page)
{}

std::string RequestFields::decoded(std::string_view deviceBytes) const
{
    return deviceTextToUtf8(deviceBytes, m_page);
}

std::string RequestFields::value(Setting setting) const
{
    const auto asked = m_asked.find(setting);
    return asked != m_asked.end() ? asked->second : currentValue(m_device, setting);
}

std::string RequestFields::fieldText(WorkerField field)
{
    switch (field) {
    case WorkerField::LoginAccount:
        return m_login.account;
    case WorkerField::LoginPassword:
        return m_login.password;
    case WorkerField::MacGroupCaption:
        return macToText(m_device.mac);
    case WorkerField::Mac:
        return macToText(m_device.mac);
    case WorkerField::Name:
        return decoded(value(Setting::Name));
    case WorkerField::IpAddress:
        return value(Setting::Ip);
    case WorkerField::SubnetMask:
        return value(Setting::Mask);
    case WorkerField::Gateway:
        return value(Setting::Gateway);
    case WorkerField::HttpPort:
        return value(Setting::HttpPort);
    case WorkerField::PppoeAccount:
        return decoded(value(Setting::PppoeAccount));
    case WorkerField::PppoePassword:
        return decoded(tavolix::fieldText(m_device.pppoePassword));
    }
    return {};
}

bool RequestFields::isFieldVisible(WorkerField field)
{
    // The login always goes along; a device's own MAC is never changed here.
    return field == WorkerField::LoginAccount;
}

bool RequestFields::isChoiceChecked(WorkerChoice choice)
{
    const AddressMode mode = resultingMode(m_device, m_asked);
    return choice == WorkerChoice::Pppoe ? mode == AddressMode::Pppoe : mode == AddressMode::Dhcp;
}

void RequestFields::showMessageBox(std::string_view, std::string_view text)
{
    m_complaint.assign(text);
}

std::optional<RequestBuffer> composeRequest(const DeviceRecord& device, const SettingValues& asked,
                                            const Login& login, LegacyCodePage page,
                                            std::string& problem)
{
    // The composer finds its target in a device table by the caption's MAC,
    // as the window's Submit does: a table that holds just this device.
    WorkerControl control;
    control.table.store(device);
    RequestFields fields(device, asked, login, page);
    RequestBuffer request{};
    DatagramWriter writer(request);
    if (composeConfiguration(control, fields, writer) == ConfigurationOutcome::Composed)
        return request;
    problem = fields.complaint().empty() ? "the request could not be composed" : fields.complaint();
    return std::nullopt;
}

} // namespace tavolix::cli
