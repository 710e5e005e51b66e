#pragma once

#include "Doctor.h"
#include "InterfaceStates.h"

namespace tavolix::doctor {

// Reads the nftables ruleset (`nft -j list ruleset`) and the iptables filter
// table (`iptables-save`), where those programs are installed, and tells
// whether their input chains would drop a device's reply to the local port
// on one of the interfaces, sent to this host or broadcast, or an ONVIF
// device's answer to a probe.
DoctorCheck checkPacketFilter(const DoctorOptions& options,
                              const std::vector<LocalInterface>& interfaces);

} // namespace tavolix::doctor
