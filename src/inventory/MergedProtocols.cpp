#include "MergedProtocols.h"

#include <algorithm>

namespace tavolix {
namespace {

void addDetails(Device& into, const Device& from)
{
    into.protocols = static_cast<Protocols>(static_cast<uint8_t>(into.protocols) |
                                            static_cast<uint8_t>(from.protocols));
    for (auto field : {&Device::manufacturer, &Device::model, &Device::serial, &Device::serviceUrl,
                       &Device::endpoint}) {
        if ((into.*field).empty())
            into.*field = from.*field;
    }
    if (into.login == LoginScheme::Unknown)
        into.login = from.login;
    if (!into.clockOffset)
        into.clockOffset = from.clockOffset;
    if (into.xaddrHost.empty())
        into.xaddrHost = from.xaddrHost;
    if (into.addresses.empty())
        into.addresses = from.addresses;
}

} // namespace

std::vector<Device> mergedByMac(const std::vector<std::vector<Device>>& rowsPerProtocol,
                                const NeighbourMacs& neighbours)
{
    std::vector<Device> merged;
    for (const auto& rows : rowsPerProtocol) {
        for (Device row : rows) {
            if (const auto mac = neighbours.of(row.interfaceIndex, row.ip); mac && !macKnown(row)) {
                row.mac = *mac;
                row.macSource = MacSource::Neighbour;
            }
            // One device in two protocols answers with one MAC at one address;
            // one MAC at two addresses is two devices (a cloned firmware), and so
            // are two EndpointReferences at one (read through one address, they
            // show one MAC).
            const auto same = std::find_if(merged.begin(), merged.end(), [&](const Device& d) {
                return macKnown(row) && macKnown(d) && d.mac == row.mac && d.ip == row.ip &&
                       (d.endpoint.empty() || row.endpoint.empty() || d.endpoint == row.endpoint);
            });
            if (same == merged.end())
                merged.push_back(row);
            else
                addDetails(*same, row);
        }
    }
    std::stable_sort(merged.begin(), merged.end(), [](const Device& a, const Device& b) {
        return a.ip != b.ip ? a.ip < b.ip : a.mac < b.mac;
    });
    return merged;
}

MergedProtocols::MergedProtocols(std::vector<Member> members) : m_members(std::move(members)) {}

Result<> MergedProtocols::open(const std::vector<std::string>& interfaceNames)
{
    for (auto& [kind, protocol] : m_members) {
        if (auto opened = protocol->open(interfaceNames); !opened)
            return opened;
    }
    m_interfaces = m_members.front().second->interfaces();
    return Done{};
}

Result<> MergedProtocols::search()
{
    m_changedThrough.clear();
    return searchAll(&DeviceProtocol::search);
}

Result<> MergedProtocols::searchAgain()
{
    return searchAll(&DeviceProtocol::searchAgain);
}

bool MergedProtocols::reading() const
{
    return std::ranges::any_of(m_members, [](const Member& m) { return m.second->reading(); });
}

Result<> MergedProtocols::searchAll(Result<> (DeviceProtocol::*how)())
{
    Result<> outcome = Done{};
    bool anySent = false;
    for (auto& [kind, protocol] : m_members) {
        auto sent = ((*protocol).*how)();
        anySent = anySent || sent;
        if (!sent)
            outcome = sent;
    }
    return anySent ? Done{} : outcome;
}

void MergedProtocols::watch(WaitSet& waits)
{
    for (auto& [kind, protocol] : m_members)
        protocol->watch(waits);
}

bool MergedProtocols::handle(const WaitSet& ready, const RowHandler& handler)
{
    m_neighbours.reset(); // what comes in now may fill it further
    m_collecting = true;
    const std::unique_ptr<bool, void (*)(bool*)> collected(&m_collecting,
                                                           [](bool* flag) { *flag = false; });
    // The handler sees a device's merged row, as devices() will list it.
    for (auto& [kind, protocol] : m_members) {
        const auto merged = [&, kind = kind](const Device& row) {
            // A changed device is seen through its change's protocol alone: the
            // other may show its settings late, or as it keeps them apart.
            if (const auto carried = m_changedThrough.find(row.mac);
                macKnown(row) && carried != m_changedThrough.end())
                return carried->second == kind && handler(row);
            const auto found = macKnown(row) ? identify(row.mac) : std::nullopt;
            return handler(found ? *found : row);
        };
        if (protocol->handle(ready, handler ? RowHandler(merged) : nullptr))
            return true;
    }
    return false;
}

std::vector<Device> MergedProtocols::devices() const
{
    std::vector<std::vector<Device>> rows;
    for (const auto& [kind, protocol] : m_members)
        rows.push_back(protocol->devices());
    // While answers come in, the handler's rows go without it: reading the
    // table for each answer would cost a netlink dump per device.
    if (m_collecting)
        return mergedByMac(rows);
    if (!m_neighbours) {
        // Without it, only what the devices tell of themselves merges them.
        const auto entries = readNeighbourTable();
        m_neighbours = entries ? NeighbourMacs(*entries) : NeighbourMacs();
    }
    return mergedByMac(rows, *m_neighbours);
}

const MergedProtocols::Member* MergedProtocols::carrierOf(const Device& device) const
{
    for (const Member& member : m_members) {
        if (speaks(device, member.first))
            return &member;
    }
    return nullptr;
}

Result<DeviceSettings> MergedProtocols::checkChange(const Device& device,
                                                    const DeviceSettings& asked,
                                                    const ChangeOptions& options) const
{
    if (const Member* carrier = carrierOf(device))
        return carrier->second->checkChange(device, asked, options);
    return refused(macToText(device.mac) + ": no protocol of this search reaches it");
}

Result<> MergedProtocols::sendChange(const Device& device, const DeviceSettings& asked,
                                     const ChangeOptions& options)
{
    if (const Member* carrier = carrierOf(device)) {
        m_changedThrough[device.mac] = carrier->first;
        return carrier->second->sendChange(device, asked, options);
    }
    return refused(macToText(device.mac) + ": no protocol of this search reaches it");
}

std::vector<ChangeOutcome> MergedProtocols::finishChanges()
{
    std::vector<ChangeOutcome> all;
    for (auto& [kind, protocol] : m_members) {
        for (ChangeOutcome& outcome : protocol->finishChanges())
            all.push_back(std::move(outcome));
    }
    return all;
}

std::vector<std::string> MergedProtocols::problems() const
{
    return joined(&DeviceProtocol::problems);
}

std::vector<std::string> MergedProtocols::warnings() const
{
    return joined(&DeviceProtocol::warnings);
}

std::vector<std::string> MergedProtocols::notes() const
{
    return joined(&DeviceProtocol::notes);
}

std::vector<std::string> MergedProtocols::joined(std::vector<std::string> (DeviceProtocol::*lines)()
                                                     const) const
{
    std::vector<std::string> all;
    for (const auto& [kind, protocol] : m_members) {
        for (std::string& line : ((*protocol).*lines)())
            all.push_back(std::move(line));
    }
    return all;
}

std::string MergedProtocols::silenceReport(std::chrono::milliseconds listened) const
{
    std::string report;
    for (const auto& [kind, protocol] : m_members)
        report += (report.empty() ? "" : "\n") + protocol->silenceReport(listened);
    return report;
}

} // namespace tavolix
