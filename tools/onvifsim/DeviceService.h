#pragma once

#include "SimCamera.h"
#include "UsernameToken.h"

#include <string>
#include <string_view>

namespace tavolix::onvifsim {

struct ServiceContext
{
    std::string_view user;
    std::string_view password;
    DeviceTime deviceNow;      // the real time plus the clock offset
    bool rebootNeeded = false; // interface changes wait for SystemReboot
};

struct CallOutcome
{
    unsigned httpStatus = 200;
    std::string reply;             // a SOAP 1.2 envelope
    std::string call = "?";        // the operation's name as the client sent it
    std::string note = "ok";       // the transcript's word: ok, or the fault and why
    bool commitAfterReply = false; // staged settings take effect once the reply is out
};

// One POST to /onvif/device_service. GetSystemDateAndTime needs no login;
// every other call a UsernameToken digest. Faults of the client's making go
// back with HTTP 400 (ter:NotAuthorized among them), the rest with 500.
CallOutcome handleDeviceCall(SimCamera& camera, std::string_view request,
                             const ServiceContext& context);

} // namespace tavolix::onvifsim
