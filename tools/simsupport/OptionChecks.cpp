#include "OptionChecks.h"

#include <charconv>

namespace tavolix::sim {
namespace {

std::optional<uint64_t> parseMac(std::string_view text)
{
    uint64_t mac = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), mac, 16);
    if (text.size() != 12 || error != std::errc{} || end != text.data() + text.size())
        return std::nullopt;
    return mac;
}

} // namespace

CLI::Option* addAddressOption(CLI::App& app, const std::string& name, Ipv4& address,
                              const std::string& help)
{
    const CLI::Validator isAddress(
        [](const std::string& text) {
            return parseIpv4(text) ? std::string() : "not an IPv4 address: " + text;
        },
        "");
    return app
        .add_option_function<std::string>(
            name, [&address](const std::string& text) { address = *parseIpv4(text); }, help)
        ->check(isAddress)
        ->type_name("A.B.C.D");
}

CLI::Option* addMacOption(CLI::App& app, const std::string& name, uint64_t& mac,
                          const std::string& help)
{
    const CLI::Validator isMac(
        [](const std::string& text) {
            return parseMac(text) ? std::string() : "not 12 hex digits: " + text;
        },
        "");
    return app
        .add_option_function<std::string>(
            name, [&mac](const std::string& text) { mac = *parseMac(text); }, help)
        ->check(isMac)
        ->type_name("12HEX");
}

const CLI::Validator& nonEmpty()
{
    static const CLI::Validator check(
        [](const std::string& text) { return text.empty() ? "empty" : std::string(); }, "");
    return check;
}

} // namespace tavolix::sim
