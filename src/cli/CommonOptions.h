#pragma once

#include "DeviceText.h"
#include "TlsCheck.h"

#include <CLI/CLI.hpp>
#include <string>
#include <utility>
#include <vector>

namespace tavolix::cli {

// The options several commands share, each worded once.

// The protocols a command searches in.
enum class ProtocolChoice
{
    All,
    Native,
    Onvif,
};

struct LoginOptions
{
    std::string user;
    std::string passwordFile;
};

void addInterfaceOption(CLI::App& command, std::vector<std::string>& interfaces);
void addTimeoutOption(CLI::App& command, int& milliseconds, const std::string& help);
void addLoginOptions(CLI::App& command, LoginOptions& login);
CLI::Option* addCodePageOption(CLI::App& command, LegacyCodePage& page);
void addProtocolOption(CLI::App& command, ProtocolChoice& choice);
void addRebootOption(CLI::App& command, bool& reboot);
void addTlsVerifyOption(CLI::App& command, onvif::TlsCheck& check);
void addAdoptOption(CLI::App& command, bool& adopt);

template <typename Value> using Choices = std::vector<std::pair<std::string, Value>>;

// A choice among named values, checked and mapped by CLI11; the help lists
// the names in the given order.
template <typename Value>
CLI::Option* addChoiceOption(CLI::App& command, const std::string& name, Value& value,
                             const Choices<Value>& choices, const std::string& help)
{
    std::string names;
    for (const auto& choice : choices)
        names += (names.empty() ? "{" : ",") + choice.first;
    return command.add_option(name, value, help)
        ->transform(CLI::CheckedTransformer(choices).description(names + "}"))
        ->type_name("TEXT");
}

} // namespace tavolix::cli
