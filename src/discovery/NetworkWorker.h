#pragma once

#include "Ports.h"

#include <cstdint>
#include <string>

namespace tavolix {

struct WorkerControl;
class WorkerUi;

// Where the worker listens and where it sends. The program always uses the
// defaults; tests may point a worker elsewhere.
struct WorkerEndpoints
{
    uint16_t localPort = searchPort;
    uint16_t devicePort = tavolix::devicePort;
    std::string broadcastAddress = "255.255.255.255";
};

enum WorkerResult : int
{
    WorkerEnded = 0,
    WorkerStartFailed = 1,
};

// The network worker's thread body: opens the socket, then sends each command
// the window leaves in control, receives every reply into control.table, and
// returns when control.stop is set.
int runNetworkWorker(WorkerControl& control, WorkerUi& ui, const WorkerEndpoints& endpoints = {});

} // namespace tavolix
