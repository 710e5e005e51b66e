#pragma once

#include <cstdint>
#include <optional>
#include <sys/types.h>

namespace tavolix::bench {

// What /proc tells about a running process; nothing once it has gone.

// Resident memory (VmRSS) and its peak (VmHWM), in KiB.
struct ResidentMemory
{
    long currentKib = 0;
    long peakKib = 0;
};
std::optional<ResidentMemory> residentMemory(pid_t pid);

// User plus system CPU time of all its threads, in seconds, as counted in
// clock ticks (utime + stime).
std::optional<double> cpuSeconds(pid_t pid);

// The time its present threads have run, in seconds, from the scheduler's
// nanosecond counts: finer than the ticks, but blind to threads that ended.
std::optional<double> threadRunSeconds(pid_t pid);

// Its UDP socket bound to this local port, as its own network namespace
// lists it: bytes waiting to be read, and datagrams dropped so far.
struct UdpSocketFigures
{
    long receiveQueueBytes = 0;
    long drops = 0;
};
std::optional<UdpSocketFigures> udpSocket(pid_t pid, uint16_t localPort);

} // namespace tavolix::bench
