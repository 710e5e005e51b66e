#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <sys/types.h>

namespace tavolix::doctor {

struct PortHolder
{
    unsigned long inode = 0; // of the socket bound to the port
    std::optional<pid_t> pid;
    std::string command; // the holder's command name, when it could be read
};

// Tries to bind a UDP socket to the port on all local addresses, as the
// search does, and closes it again. 0 when that worked, else the errno.
int tryBindUdp(uint16_t port);

// Who holds the UDP port in this network namespace: the socket's inode from
// /proc/thread-self/net/udp (or udp6), then the process with a descriptor for it. The
// pid stays empty when no readable /proc/PID/fd has it (another user's
// process, without root). Nothing when no socket of this namespace is bound
// to the port.
std::optional<PortHolder> findUdpPortHolder(uint16_t port);

} // namespace tavolix::doctor
