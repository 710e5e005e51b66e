#pragma once

#include "DeviceProtocol.h"

#include <memory>
#include <utility>
#include <vector>

namespace tavolix {

// Several protocols as one: a search goes out in all of them at once, and a
// device that answers in more than one is one row, merged by MAC address.
// A change goes through the first protocol the device answered in, in the
// order given (ours first: it reaches devices across subnets).
class MergedProtocols final : public DeviceProtocol
{
public:
    using Member = std::pair<Protocols, std::unique_ptr<DeviceProtocol>>;
    explicit MergedProtocols(std::vector<Member> members);

    Result<> open(const std::vector<std::string>& interfaceNames) override;
    Result<> search() override;
    void watch(WaitSet& waits) override;
    bool handle(const WaitSet& ready, const RowHandler& handler) override;
    std::vector<Device> devices() const override;
    Result<> sendChange(const Device& device, const SettingValues& asked,
                        const ChangeOptions& options) override;
    std::vector<ChangeOutcome> finishChanges() override;
    std::vector<std::string> problems() const override;
    std::string silenceReport(std::chrono::milliseconds listened) const override;

private:
    std::vector<Member> m_members;
};

// Rows of several protocols as one list: rows with the same known MAC become
// one, the first protocol's values kept and the others' ONVIF details added.
std::vector<Device> mergedByMac(const std::vector<std::vector<Device>>& rowsPerProtocol);

} // namespace tavolix
