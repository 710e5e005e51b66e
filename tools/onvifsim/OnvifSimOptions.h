#pragma once

#include "Ipv4.h"

#include <cstdint>
#include <string>

namespace CLI {
class App;
}

namespace tavolix::onvifsim {

// Which probes a device answers by their Types.
enum class ProbeFilter
{
    Any,       // an empty probe and every probe whose types the device has
    TypedOnly, // only probes that list types
    OnlyDn,    // only probes that list dn:NetworkVideoTransmitter
    OnlyTds,   // only probes that list tds:Device
};

// How a device asks for the login on calls that need one.
enum class AuthMode
{
    Wsse,         // a UsernameToken in the SOAP header, else 400 ter:NotAuthorized
    DigestMd5,    // HTTP Digest with MD5 only, else 401
    DigestSha256, // HTTP Digest with SHA-256 only, else 401
    Either,       // Digest of either algorithm or a UsernameToken, else 401 offering both
    None,         // every call is answered without a login
};

// Two Digest challenges as two WWW-Authenticate headers, or joined in one.
enum class ChallengeStyle
{
    Separate,
    Joined,
};

// Which device-service addresses a device advertises (and serves).
enum class XAddrScheme
{
    Http,  // http only; https is served too with --https, but not advertised
    Https, // https only, plain HTTP is not served
    Both,  // both served, the http XAddr first
};

struct OnvifSimOptions
{
    int count = 1;
    uint64_t macBase = 0x02005e200001; // locally administered; device i gets base + i
    Ipv4 ipBase = 0xC6120014;          // 198.18.0.20 in host order; device i gets base + i
    int prefixLength = 24;
    Ipv4 gateway = 0;          // none unless given
    std::string interfaceName; // set: the devices' addresses are added to it
    uint16_t httpPort = 80;
    std::string user = "admin";
    std::string password = "admin";
    std::string namePrefix = "ONVIFSIM";
    long long clockOffsetSeconds = 0; // the devices' clock runs this far from the real one
    ProbeFilter probeFilter = ProbeFilter::Any;
    bool extraXAddrs = false;  // advertise IPv6 link-local and 169.254 XAddrs first
    bool macEndpoints = false; // EndpointReferences are version-1 UUIDs with the MAC as node
    bool rebootNeeded = false; // network changes wait for SystemReboot
    int ignoringDevices = 0;   // the first N devices accept changes and keep their settings
    bool wsdpHost = false;     // one more answerer: a computer, not a camera
    int matchDelayMs = 0;      // each answer waits a random time up to this
    bool quiet = false;        // no line per probe or login
    AuthMode auth = AuthMode::Wsse;
    ChallengeStyle challengeStyle = ChallengeStyle::Separate;
    int staleAfter = 0;           // a Digest nonce serves this many requests, 0: for ever
    bool clockNeedsLogin = false; // GetSystemDateAndTime needs the login too
    bool localTimeAsUtc = false;  // the clock runs 8 hours east and calls itself UTC
    bool https = false;           // serve the device service over TLS as well
    uint16_t httpsPort = 443;
    XAddrScheme xaddrScheme = XAddrScheme::Http;
    std::string xaddrHost; // set: the XAddrs name this host instead of the device's address
    // Duplicates, as cloned firmware makes them (the MAC is cloned with --mac-base).
    std::string endpointUuid; // set: every camera's EndpointReference is urn:uuid:this
    // Slow and odd cameras, for the client's patience.
    int answerDelayMs = 0;         // each HTTP answer goes out this long after the request
    bool neverAnswer = false;      // connections are taken, requests read, nothing answered
    int trickleBytes = 0;          // answers go out this many bytes at a time, 20 ms apart
    bool portStays = false;        // the service stays on its port after SetNetworkProtocols
    bool refuseInterfaces = false; // SetNetworkInterfaces is refused (other calls are taken)
    // Firmware as it comes in the field.
    long long clockJumpSeconds = 0; // the clock jumps this far at the first Set call
    bool nonceOnce = false;         // a UsernameToken nonce seen before is refused
    int oversizedDevices = 0;       // the first N answer GetDeviceInformation without end
    bool splitHttpEntry = false;    // an HTTP entry without ports before the serving one
    // Answers that are no SOAP, as a proxy in the way or broken firmware gives them.
    unsigned notSoapStatus = 0;   // set: calls are answered with this status and an HTML page
    bool notSoapSetsOnly = false; // only the Set calls, once logged in
    bool latin1Faults = false;    // Set calls fault with a Latin-1 Reason holding terminal escapes
    // A camera on a foreign subnet whose gateway is gone: it cannot answer a prober elsewhere
    // by unicast, so it answers to the discovery group (multicast needs no route).
    bool answerToGroup = false; // a prober off the camera's subnet is answered to the group
};

inline bool servesHttp(const OnvifSimOptions& options)
{
    return options.xaddrScheme != XAddrScheme::Https;
}
inline bool servesHttps(const OnvifSimOptions& options)
{
    return options.https || options.xaddrScheme != XAddrScheme::Http;
}

// The command line's options, filled into `options` as CLI11 parses.
void addOptions(CLI::App& app, OnvifSimOptions& options);

} // namespace tavolix::onvifsim
