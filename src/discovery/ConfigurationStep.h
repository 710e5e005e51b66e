#pragma once

#include <string_view>

namespace tavolix {

class DatagramWriter;
class WorkerUi;
struct WorkerControl;

enum class ConfigurationOutcome
{
    Composed,         // the writer holds a complete configuration request
    FallBackToSearch, // no stored device is selected: send a search instead
    Refused,          // the login is missing or a field would send a wrong value: nothing
                      // is sent and the fields stay as the user typed them
    Stopped,          // the worker is being stopped while it waited on the window
};

// True when the texts differ in length or in any byte (case matters).
bool textDiffers(std::string_view a, std::string_view b);

// Reads the window's fields, compares them with the device that the MAC
// group caption names, and appends the configuration records to writer, which
// holds the magic. Only changed settings are sent; the window's
// textCodePage() tells how the device's texts were shown and are written.
ConfigurationOutcome composeConfiguration(WorkerControl& control, WorkerUi& ui,
                                          DatagramWriter& writer);

} // namespace tavolix
