#pragma once

#include "Datagram.h"
#include "DeviceRecord.h"
#include "DeviceText.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace tavolix {

// The login that goes along with a configuration, as typed.
struct ConfigurationLogin
{
    std::string account;
    std::string password;
};

// The settings a configuration asks for, as typed in the window or given on
// a command line; texts in UTF-8. A member left empty keeps the device's
// value, and one that still equals it (a text: the device's bytes as read in
// the code page) is unchanged and not sent either.
struct AskedSettings
{
    std::optional<std::string> mac; // twelve hex digits: a new MAC address
    std::optional<std::string> name;
    std::optional<std::string> pppoeAccount;
    std::optional<std::string> pppoePassword;
    std::optional<std::string> ipAddress; // dotted decimal
    std::optional<std::string> subnetMask;
    std::optional<std::string> gateway;
    std::optional<std::string> httpPort; // decimal digits
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

// Why nothing is sent: the text of the error box, shown under refusalCaption.
struct ConfigurationRefusal
{
    std::string reason;

    bool operator==(const ConfigurationRefusal&) const = default;
};

inline constexpr std::string_view refusalCaption = "NVR";

using ComposedConfiguration = std::variant<RequestBuffer, ConfigurationRefusal>;

// The refusal of a login that cannot go out: "No Account !!" or "No Password !!".
std::optional<ConfigurationRefusal> refusedLogin(const ConfigurationLogin& login);

// The request that configures input.device: the credentials, the target's
// MAC, then only the settings that change, in the records' fixed order, and
// the network mode. A missing login or a value that would go out wrong is
// refused instead: a bad address is never sent as 255.255.255.255, which
// could leave the device unreachable.
ComposedConfiguration composeConfigurationRequest(const ConfigurationInput& input);

} // namespace tavolix
