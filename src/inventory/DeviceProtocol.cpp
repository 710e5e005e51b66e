#include "DeviceProtocol.h"

namespace tavolix {

void DeviceProtocol::collect(Clock::time_point until, const RowHandler& handler)
{
    for (;;) {
        WaitSet waits;
        watch(waits);
        if (!waits.wait(until) || handle(waits, handler))
            return;
    }
}

} // namespace tavolix
