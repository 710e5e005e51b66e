#pragma once

#include "DeviceProtocol.h"
#include "NeighbourTable.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace tavolix {

// Several protocols as one: a search goes out in all of them at once, and a
// device that answers in more than one is one row, merged by MAC address and
// IP address.
// A change goes through the first protocol the device answered in, in the
// order given (ours first: it reaches devices across subnets).
class MergedProtocols final : public DeviceProtocol
{
public:
    using Member = std::pair<Protocols, std::unique_ptr<DeviceProtocol>>;
    explicit MergedProtocols(std::vector<Member> members);

    Result<> open(const std::vector<std::string>& interfaceNames) override;
    Result<> search() override;
    Result<> searchAgain() override;
    bool reading() const override;
    void watch(WaitSet& waits) override;
    bool handle(const WaitSet& ready, const RowHandler& handler) override;
    std::vector<Device> devices() const override;
    Result<DeviceSettings> checkChange(const Device& device, const DeviceSettings& asked,
                                       const ChangeOptions& options) const override;
    Result<> sendChange(const Device& device, const DeviceSettings& asked,
                        const ChangeOptions& options) override;
    std::vector<ChangeOutcome> finishChanges() override;
    std::vector<std::string> problems() const override;
    std::vector<std::string> warnings() const override;
    std::vector<std::string> notes() const override;
    std::string silenceReport(std::chrono::milliseconds listened) const override;

private:
    // The member a change to the device goes through: the first it speaks.
    const Member* carrierOf(const Device& device) const;
    Result<> searchAll(Result<> (DeviceProtocol::*how)());
    // Every member's lines of one kind, in the members' order.
    std::vector<std::string> joined(std::vector<std::string> (DeviceProtocol::*lines)()
                                        const) const;

    std::vector<Member> m_members;
    // The neighbour table, read once per search after its answers are in:
    // the HTTP reads of the ONVIF devices have filled it by then.
    mutable std::optional<NeighbourMacs> m_neighbours;
    bool m_collecting = false;
    // Since the search: the protocol each changed device's change went
    // through, the only one whose answers then show that device.
    std::map<MacAddress, Protocols> m_changedThrough;
};

// Rows of several protocols as one list: rows with the same known MAC at the
// same IP address become one, the first protocol's values kept and the others' ONVIF details added.
// A row whose MAC is unknown takes the one the neighbour table vouches for at
// its address.
std::vector<Device> mergedByMac(const std::vector<std::vector<Device>>& rowsPerProtocol,
                                const NeighbourMacs& neighbours = {});

} // namespace tavolix
