#pragma once

#include "DeviceListing.h"
#include "PlanCheck.h"
#include "Verification.h"

#include <string>
#include <vector>

namespace tavolix::cli {

// What became of one plan row.
enum class Outcome
{
    Unchanged,
    Verified,
    NotVerified,
    NeedsReboot, // taken, in effect only after a reboot: not verified
    Failed,
    Skipped, // no device answered for its MAC (--skip-missing)
};

// One plan row and its device as the search before sending found it.
struct DeviceWork
{
    PlanRow row;
    Device device; // none for a skipped row
    std::vector<Setting> changes;
    Outcome result = Outcome::Unchanged;
    std::string failure;
    bool sent = false;      // the change went out, in whole or in part
    std::size_t target = 0; // index into the verification targets, when sent
};

// Per row, what a dry run would change: "MAC: field: now -> planned" lines,
// or a JSON array of {mac, ip, result, changes}.
std::string dryRunReport(const std::vector<DeviceWork>& work, OutputFormat format);

// Per row, what became of it: a table, or a JSON array of {mac, ip, result,
// changes, sent[, unverified][, error]}; a sent row's changes also say what
// the device held when read back after the change ("after", null when it was
// not).
std::string applyReport(const std::vector<DeviceWork>& work,
                        const std::vector<VerificationTarget>& targets, OutputFormat format);

} // namespace tavolix::cli
