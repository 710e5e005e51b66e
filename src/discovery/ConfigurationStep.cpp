#include "ConfigurationStep.h"

#include "ConfigurationFields.h"
#include "MacCodec.h"
#include "TextLimits.h"
#include "WorkerControl.h"
#include "WorkerUi.h"

#include <string>

namespace tavolix {
namespace {

// Field texts pass through a 256-byte scratch area: 255 bytes at most.
constexpr std::size_t scratchCapacity = 255;

std::string readField(WorkerUi& ui, WorkerField field)
{
    return std::string(cutAtCharacterBoundary(ui.fieldText(field), scratchCapacity));
}

// The device the MAC group caption names: the first slot, empty ones
// included, whose address text equals the caption.
std::optional<DeviceRecord> findTarget(WorkerControl& control, WorkerUi& ui)
{
    const std::string caption = readField(ui, WorkerField::MacGroupCaption);
    for (int number = 1; number <= DeviceTable::slotCount; ++number) {
        const auto record = control.table.recordAt(number);
        if (record && caption == macToText(record->mac))
            return record;
    }
    return std::nullopt;
}

// Every field as the window shows it.
ConfigurationFields shownFields(WorkerUi& ui)
{
    using enum WorkerField;
    ConfigurationFields asked;
    // Only with the MAC field shown can a request change a device's address.
    if (ui.isFieldVisible(Mac))
        asked.mac = readField(ui, Mac);
    asked.name = readField(ui, Name);
    asked.pppoeAccount = readField(ui, PppoeAccount);
    asked.pppoePassword = readField(ui, PppoePassword);
    asked.ipAddress = readField(ui, IpAddress);
    asked.subnetMask = readField(ui, SubnetMask);
    asked.gateway = readField(ui, Gateway);
    asked.httpPort = readField(ui, HttpPort);
    asked.pppoe = ui.isChoiceChecked(WorkerChoice::Pppoe);
    asked.dhcp = ui.isChoiceChecked(WorkerChoice::Dhcp);
    return asked;
}

// Shows the refusal's box and tells what follows it: nothing sent, or the
// end of the worker when it was stopped meanwhile.
ConfigurationOutcome complain(WorkerControl& control, WorkerUi& ui, const Failure& refusal)
{
    ui.showMessageBox(refusalCaption, refusal.message);
    return control.stop.load() != 0 ? ConfigurationOutcome::Stopped : ConfigurationOutcome::Refused;
}

} // namespace

ConfigurationOutcome composeConfiguration(WorkerControl& control, WorkerUi& ui,
                                          RequestBuffer& request)
{
    ConfigurationInput input;
    if (ui.isFieldVisible(WorkerField::LoginAccount)) {
        input.login = ConfigurationLogin{readField(ui, WorkerField::LoginAccount),
                                         readField(ui, WorkerField::LoginPassword)};
        // The login is asked for first, a device selected or not.
        if (const auto checked = checkLogin(*input.login); !checked)
            return complain(control, ui, checked.failure());
    }
    const auto target = findTarget(control, ui);
    if (!target)
        return ConfigurationOutcome::FallBackToSearch;
    input.device = *target;
    const auto asked = askedSettingsFrom(shownFields(ui), *target);
    if (!asked)
        return complain(control, ui, asked.failure());
    input.asked = *asked;
    input.codePage = ui.textCodePage();

    const auto composed = composeConfigurationRequest(input);
    if (!composed)
        return complain(control, ui, composed.failure());
    request = *composed;
    return ConfigurationOutcome::Composed;
}

} // namespace tavolix
