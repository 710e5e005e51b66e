#pragma once

#include "Doctor.h"
#include "InterfaceStates.h"

#include <cstdint>

namespace tavolix::doctor {

// Where the kernel would send a datagram to group:port out of one interface:
// the source address it would give it, or why it could not send it.
struct MulticastExit
{
    int error = 0;       // errno of the route lookup; 0 when there is a way out
    uint32_t source = 0; // host byte order
};

// Asks the kernel by connecting a UDP socket whose multicast interface is
// set: the connect does the route lookup a probe's send does, and sends
// nothing.
MulticastExit lookUpMulticastExit(uint32_t group, uint16_t port, unsigned interfaceIndex);

// Whether the probes can leave every usable interface, and from one of that
// interface's own addresses: answers go to the probe's source address, so a
// probe that leaves with another interface's address is answered elsewhere,
// if at all.
DoctorCheck checkMulticastRoute(const ProbeOptions& probes,
                                const std::vector<LocalInterface>& interfaces);

} // namespace tavolix::doctor
