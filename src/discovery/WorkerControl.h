#pragma once

#include "DeviceTable.h"
#include "WakeUpSignal.h"

#include <atomic>
#include <cstdint>

namespace tavolix {

enum Command : int32_t
{
    NoCommand = 0,
    SearchCommand = 1,
    ConfigureCommand = 2,
};

// The block the window shares with the network worker.
struct WorkerControl
{
    std::atomic<int32_t> stop{0};    // non-zero: the worker is to end
    std::atomic<int32_t> command{0}; // pending Command; one value, not a queue
    DeviceTable table;
    WakeUpSignal wakeUp;

    // Window side: leave a command for the worker and wake it.
    void setCommand(int32_t value)
    {
        command.store(value);
        wakeUp.signal();
    }

    // Window side: ask the worker to end and wake it.
    void requestStop()
    {
        stop.store(1);
        wakeUp.signal();
    }
};

} // namespace tavolix
