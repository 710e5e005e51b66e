#include "PlanCheck.h"

#include "Ipv4.h"

#include <algorithm>
#include <map>

namespace tavolix {
namespace {

std::string rowLabel(const PlanRow& row)
{
    return "row " + std::to_string(row.row) + " (" + macToText(row.mac) + ")";
}

struct Placement
{
    MacAddress mac{};
    Ipv4 ip = 0;
    bool inPlan = false;
    bool moves = false; // the plan gives it a new address
};

void checkAddresses(const std::vector<PlanRow>& rows, const std::vector<Device>& found,
                    PlanVerdict& verdict)
{
    std::vector<Placement> placements;
    for (const Device& device : found) {
        Placement placement{device.mac, device.ip};
        const auto row = std::find_if(rows.begin(), rows.end(),
                                      [&](const PlanRow& r) { return r.mac == device.mac; });
        if (row != rows.end()) {
            placement.inPlan = true;
            placement.ip = row->asked.ip.value_or(device.ip);
            placement.moves = placement.ip != device.ip;
        }
        placements.push_back(placement);
    }
    // Devices that already share an address and keep it are no new problem;
    // a device that moves onto an address someone ends with is.
    for (const Placement& moved : placements) {
        if (!moved.moves)
            continue;
        for (const Placement& other : placements) {
            if (other.mac == moved.mac || other.ip != moved.ip)
                continue;
            if (other.inPlan && (!other.moves || moved.mac < other.mac))
                verdict.errors.push_back("two devices would end with IP " + ipv4Text(moved.ip) +
                                         ": " + macToText(moved.mac) + " and " +
                                         macToText(other.mac));
            else if (!other.inPlan)
                verdict.errors.push_back("planned IP " + ipv4Text(moved.ip) + " for " +
                                         macToText(moved.mac) + " is held by " +
                                         macToText(other.mac) + ", which is not in the plan");
        }
    }
}

void checkGateway(const PlanRow& row, const Device& device, PlanVerdict& verdict)
{
    const bool addressing = row.asked.ip || row.asked.mask || row.asked.gateway;
    const DeviceSettings result = resultingSettings(device, row.asked);
    const Ipv4 ip = *result.ip;
    const Ipv4 mask = *result.mask;
    const Ipv4 gateway = *result.gateway;
    if (addressing && gateway != 0 && !inSameSubnet(ip, gateway, mask))
        verdict.warnings.push_back(rowLabel(row) + ": gateway " + ipv4Text(gateway) +
                                   " lies outside " + ipv4Text(ip & mask) + "/" + ipv4Text(mask));
}

// Devices found unread have no MAC to be planned by: ONVIF devices searched
// without a login.
std::string unreadNote(const std::vector<Device>& found)
{
    const auto unread =
        std::count_if(found.begin(), found.end(), [](const Device& d) { return !d.settingsRead; });
    if (unread == 0)
        return {};
    const auto foreign = std::count_if(
        found.begin(), found.end(), [](const Device& d) { return !d.settingsRead && !d.onLink; });
    return " (" + std::to_string(unread) +
           " ONVIF device(s) answered unread: they are known by MAC only once a login they "
           "accept, --user, reads them" +
           (foreign == 0 ? std::string()
                         : "; " + std::to_string(foreign) +
                               " of them on subnets this host is not on, which --adopt (as "
                               "root) reaches") +
           ")";
}

} // namespace

PlanVerdict checkPlan(const std::vector<PlanRow>& rows, const std::vector<Device>& found,
                      const DeviceProtocol& protocol, const ChangeOptions& options)
{
    PlanVerdict verdict;
    std::map<MacAddress, int> firstRow;
    for (const PlanRow& row : rows) {
        const auto [first, isNew] = firstRow.emplace(row.mac, row.row);
        if (!isNew) {
            verdict.errors.push_back("rows " + std::to_string(first->second) + " and " +
                                     std::to_string(row.row) + " both name " + macToText(row.mac));
            continue;
        }
        if (const auto sole = soleDeviceWith(found, row.mac); !sole) {
            verdict.errors.push_back(rowLabel(row) + ": " + sole.failure().message);
            continue;
        }
        const Device* device = findDevice(found, row.mac);
        if (device == nullptr) {
            verdict.errors.push_back(rowLabel(row) + ": no such device answered the search" +
                                     unreadNote(found));
            continue;
        }
        PlanRow& checked = verdict.rows.emplace_back(row);
        if (auto sendable = protocol.checkChange(*device, row.asked, options)) {
            checked.asked = std::move(*sendable);
        } else {
            std::string_view lines = sendable.failure().message;
            while (!lines.empty()) {
                const std::size_t end = std::min(lines.find('\n'), lines.size());
                verdict.errors.push_back(rowLabel(row) + ": " + std::string(lines.substr(0, end)));
                lines.remove_prefix(std::min(end + 1, lines.size()));
            }
        }
        checkGateway(checked, *device, verdict);
    }
    checkAddresses(verdict.rows, found, verdict);
    return verdict;
}

} // namespace tavolix
