#pragma once

#include "Datagram.h"

namespace tavolix {

class WorkerUi;
struct WorkerControl;

enum class ConfigurationOutcome
{
    Composed,         // request holds a complete configuration request
    FallBackToSearch, // no stored device is selected: send a search instead
    Refused,          // the login is missing or a field would send a wrong value: nothing
                      // is sent and the fields stay as the user typed them
    Stopped,          // the worker is being stopped while it waited on the window
};

// The worker's side of Submit: reads the window's fields into the asked
// settings of the device that the MAC group caption names, composes its
// request into request, or shows the refusal in an error box. The window's
// textCodePage() tells how the device's texts were shown and are written.
ConfigurationOutcome composeConfiguration(WorkerControl& control, WorkerUi& ui,
                                          RequestBuffer& request);

} // namespace tavolix
