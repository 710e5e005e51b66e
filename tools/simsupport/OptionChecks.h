#pragma once

#include "Ipv4.h"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <string>

namespace tavolix::sim {

// An option given twice takes its last value, as the callers' scripts
// expect; call before adding the options.
inline void lastValueWins(CLI::App& app)
{
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

// A number option within [low, high]; the help text states the range itself.
template <typename Number>
CLI::Option* addNumberOption(CLI::App& app, const std::string& name, Number& value, Number low,
                             Number high, const std::string& help)
{
    return app.add_option(name, value, help)
        ->check(CLI::Range(low, high).description(""))
        ->type_name("N");
}

// A dotted IPv4 address, kept in host order.
CLI::Option* addAddressOption(CLI::App& app, const std::string& name, Ipv4& address,
                              const std::string& help);

// A MAC address as twelve hex digits ("02005e100001").
CLI::Option* addMacOption(CLI::App& app, const std::string& name, uint64_t& mac,
                          const std::string& help);

// Refuses an empty text.
const CLI::Validator& nonEmpty();

} // namespace tavolix::sim
