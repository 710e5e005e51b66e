#pragma once

#include "DeviceListing.h"
#include "DeviceText.h"
#include "Settings.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::cli {

// What each sub-command was asked on the command line; each run function
// returns the program's exit code.

struct SearchCommand
{
    std::vector<std::string> interfaces;
    int timeoutMs = 1500;
    std::optional<OutputFormat> format; // nothing: table on a terminal, else CSV
};

struct SetCommand
{
    std::string mac;
    std::map<Setting, std::string> given; // as typed
    std::string user;
    std::string passwordFile;
    int timeoutMs = 15000;
    bool noVerify = false;
    LegacyCodePage codePage = LegacyCodePage::Windows1252; // of names not in UTF-8
};

struct PlanCommand
{
    std::string ipFrom;
    std::string mask;
    std::string gateway;
    std::string namePrefix;
    std::vector<std::string> interfaces;
};

struct ApplyCommand
{
    std::string planFile; // "-": standard input
    std::string user;
    std::string passwordFile;
    bool dryRun = false;
    int timeoutMs = 15000;
    std::vector<std::string> interfaces;
    OutputFormat format = OutputFormat::Table;
    LegacyCodePage codePage = LegacyCodePage::Windows1252; // of names not in UTF-8
};

struct DoctorCommand
{
    std::vector<std::string> interfaces;
};

int runSearch(const SearchCommand& command);
int runSet(const SetCommand& command);
int runPlan(const PlanCommand& command);
int runApply(const ApplyCommand& command);
int runDoctor(const DoctorCommand& command);

} // namespace tavolix::cli
