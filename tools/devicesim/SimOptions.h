#pragma once

#include "DeviceRecord.h"
#include "Ports.h"
#include "RawTexts.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tavolix::devicesim {

enum class ReplyMode
{
    Unicast,   // to the address and port the search came from
    Broadcast, // to 255.255.255.255 on the interface the search came in on
};

using NetworkModeBytes = std::array<uint8_t, 4>;

inline constexpr NetworkModeBytes staticMode = {modeOff, modeOff, modeOff, modeOff};
inline constexpr NetworkModeBytes dhcpMode = {modeOff, modeOff, modeOn, modeOff};
inline constexpr NetworkModeBytes pppoeMode = {modeOn, modeOff, modeOff, modeOff};

struct SimOptions
{
    int count = 1;
    DeviceKind kind = DeviceKind::WithoutPppoe;
    NetworkModeBytes networkMode = staticMode;
    std::string loginAccount = "admin";
    std::string loginPassword = "admin";
    std::string namePrefix = "SIM";
    uint64_t macBase = 0x02005e100001; // locally administered; device i gets base + i
    uint32_t ipBase = 0xC6120101;      // 198.18.1.1 in host order; device i gets base + i
    uint16_t httpPort = 80;
    ReplyMode replyMode = ReplyMode::Unicast;
    uint16_t listenPort = devicePort;
    uint16_t replyPort = searchPort;
    int paddingBytes = 0;           // extra unknown-tag bytes per reply, to make replies long
    bool quiet = false;             // no line per datagram, for bursts
    std::vector<RawTexts> rawTexts; // device i's texts as raw bytes, from --raw-texts
    // Devices that are harder to configure, for the command-line tool's tests.
    int ignoringDevices = 0;    // the first N devices drop every configuration
    int applyDelayMs = 0;       // a configuration takes effect this much later
    bool sharedAddress = false; // every device starts on --ip-base, as out of the box
    bool sharedMac = false;     // every device has the --mac-base MAC, as cloned firmware
};

// The command line's options, filled into `options` as CLI11 parses.
void addOptions(CLI::App& app, SimOptions& options);

} // namespace tavolix::devicesim
