#pragma once

#include "Datagram.h"
#include "DeviceRecord.h"
#include "DeviceText.h"
#include "Ipv4.h"
#include "Result.h"
#include "SecretText.h"

#include <optional>
#include <string>
#include <string_view>

namespace tavolix {

// The login that goes along with a configuration, as typed.
struct ConfigurationLogin
{
    std::string account;
    SecretText password; // wiped when the login goes
};

// The settings a configuration asks for, parsed where they were given (the
// window's fields, a command line); texts in UTF-8. A member left empty
// keeps the device's value, and one that still equals it (a text: the
// device's bytes as read in the code page) is unchanged and not sent either.
struct AskedSettings
{
    std::optional<MacAddress> mac; // a new MAC address
    std::optional<std::string> name;
    std::optional<std::string> pppoeAccount;
    std::optional<std::string> pppoePassword;
    std::optional<Ipv4> ipAddress;
    std::optional<Ipv4> subnetMask;
    std::optional<Ipv4> gateway;
    std::optional<uint16_t> httpPort;
    // The network mode is always sent; these turn its PPPoE and DHCP halves on.
    bool pppoe = false;
    bool dhcp = false;
};

// Everything a configuration request is made of.
struct ConfigurationInput
{
    DeviceRecord device; // the target, as its last reply described it
    AskedSettings asked;
    std::optional<ConfigurationLogin> login; // nothing: the request carries no credentials
    // The code page in which the device's texts that are not UTF-8 were read,
    // and in which a changed one is written back.
    LegacyCodePage codePage = LegacyCodePage::Windows1252;
};

// A refusal's message is the text of the window's error box, shown under
// refusalCaption.
inline constexpr std::string_view refusalCaption = "NVR";

// Refused with "No Account !!" or "No Password !!" when the login cannot go out.
Result<> checkLogin(const ConfigurationLogin& login);

// The request that configures input.device: the credentials, the target's
// MAC, then only the settings that change, in the records' fixed order, and
// the network mode. A missing login or a text the device cannot store is
// refused instead.
Result<RequestBuffer> composeConfigurationRequest(const ConfigurationInput& input);

} // namespace tavolix
