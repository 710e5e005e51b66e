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
    DeviceTime deviceNow;          // the real time plus the clock offset
    bool rebootNeeded = false;     // interface changes wait for SystemReboot
    bool tokensLogIn = true;       // a UsernameToken in the header is a login
    bool digestOffered = false;    // a call without any login is asked for one with 401
    bool clockNeedsLogin = false;  // GetSystemDateAndTime too
    bool portStays = false;        // the service keeps its port when the HTTP port changes
    bool refuseInterfaces = false; // SetNetworkInterfaces is refused
    bool loggedIn = false;         // HTTP Digest was accepted, or the device needs no login
    // Set: a token's nonce is taken once.
    SeenNonces* seenNonces = nullptr;
    // Set calls, once logged in, answered as broken firmware does: with this
    // status and an HTML page (0: not), or a fault with a Latin-1 Reason.
    unsigned setsNotSoap = 0;
    bool setsLatin1Fault = false;
};

// An HTML page with this status, as a proxy or a web server answers.
std::string htmlPage(unsigned status);

struct CallOutcome
{
    unsigned httpStatus = 200;
    std::string reply;             // a SOAP 1.2 envelope
    std::string call = "?";        // the operation's name as the client sent it
    std::string note = "ok";       // the transcript's word: ok, or the fault and why
    bool commitAfterReply = false; // staged settings take effect once the reply is out
    bool challenge = false;        // answer 401 with the Digest challenges
    bool tokenLogin = false;       // a UsernameToken logged this call in
};

// One POST to /onvif/device_service. GetSystemDateAndTime needs no login
// unless the context says so; every other call the login the context allows:
// an accepted HTTP Digest, or a UsernameToken digest. Without any, a device
// that offers Digest asks with 401; otherwise faults of the client's making
// go back with HTTP 400 (ter:NotAuthorized among them), the rest with 500.
CallOutcome handleDeviceCall(SimCamera& camera, std::string_view request,
                             const ServiceContext& context);

// The operation a request's Body names ("SetScopes"), "?" when it names none.
std::string operationOf(std::string_view request);

} // namespace tavolix::onvifsim
