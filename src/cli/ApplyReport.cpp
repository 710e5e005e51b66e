#include "ApplyReport.h"

#include "TextEscape.h"
#include "TextTable.h"

#include <nlohmann/json.hpp>

namespace tavolix::cli {
namespace {

constexpr const char* skipDetail = "did not answer";

std::string_view resultName(Outcome result)
{
    switch (result) {
    case Outcome::Verified:
        return "verified";
    case Outcome::NotVerified:
        return "not verified";
    case Outcome::NeedsReboot:
        return "needs reboot";
    case Outcome::Failed:
        return "failed";
    case Outcome::Skipped:
        return "skipped";
    case Outcome::Unchanged:
        break;
    }
    return "unchanged";
}

// What the row asks to change, now -> planned, escaped as the text dry run
// prints it; keyed in the order the settings are listed. After a change was
// sent, also what the device held when read back.
nlohmann::ordered_json changesObject(const DeviceWork& item, const VerificationTarget* target)
{
    nlohmann::ordered_json changes = nlohmann::ordered_json::object();
    for (const Setting setting : item.changes) {
        auto& change = changes[std::string(settingKey(setting))];
        change = {{"now", escapeDeviceText(settingText(currentSettings(item.device), setting))},
                  {"planned", escapeDeviceText(settingText(item.row.asked, setting))}};
        if (target)
            change["after"] = target->readBack
                                  ? nlohmann::ordered_json(escapeDeviceText(
                                        settingText(currentSettings(*target->lastSeen), setting)))
                                  : nlohmann::ordered_json(nullptr);
    }
    return changes;
}

// "gateway 198.18.0.1, ip 198.18.0.20": the changed settings as read back.
std::string readBackText(const DeviceWork& item, const VerificationTarget& target)
{
    std::string text;
    for (const Setting setting : item.changes)
        text += (text.empty() ? "" : ", ") + std::string(settingKey(setting)) + " " +
                escapeDeviceText(settingText(currentSettings(*target.lastSeen), setting));
    return text;
}

// mac, ip (null for a skipped row) and result, as both JSON reports begin.
nlohmann::ordered_json jsonEntry(const DeviceWork& item, const Device& latest,
                                 std::string_view result,
                                 const VerificationTarget* target = nullptr)
{
    const bool skipped = item.result == Outcome::Skipped;
    nlohmann::ordered_json entry = {{"mac", macToText(skipped ? item.row.mac : latest.mac)}};
    entry["ip"] =
        skipped ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(ipv4Text(latest.ip));
    entry["result"] = result;
    entry["changes"] = changesObject(item, target);
    return entry;
}

} // namespace

std::string dryRunReport(const std::vector<DeviceWork>& work, OutputFormat format)
{
    if (format == OutputFormat::Json) {
        nlohmann::ordered_json list = nlohmann::ordered_json::array();
        for (const DeviceWork& item : work) {
            const std::string_view result = item.result == Outcome::Skipped ? "skipped"
                                            : item.changes.empty()          ? "unchanged"
                                                                            : "would change";
            list.push_back(jsonEntry(item, item.device, result));
        }
        return jsonText(list);
    }
    std::string text;
    for (const DeviceWork& item : work) {
        const std::string mac = macToText(item.row.mac);
        if (item.result == Outcome::Skipped)
            text += mac + ": skipped: " + skipDetail + "\n";
        else if (item.changes.empty())
            text += mac + ": no change\n";
        for (const Setting setting : item.changes) {
            text += mac + ": " + std::string(settingKey(setting)) + ": " +
                    escapeDeviceText(settingText(currentSettings(item.device), setting)) + " -> " +
                    escapeDeviceText(settingText(item.row.asked, setting)) + "\n";
        }
    }
    return text;
}

std::string applyReport(const std::vector<DeviceWork>& work,
                        const std::vector<VerificationTarget>& targets, OutputFormat format)
{
    nlohmann::ordered_json list = nlohmann::ordered_json::array();
    std::vector<std::vector<std::string>> rows;
    for (const DeviceWork& item : work) {
        if (item.result == Outcome::Skipped) {
            rows.push_back({macToText(item.row.mac), "-", "skipped", skipDetail});
            list.push_back(jsonEntry(item, item.device, "skipped"));
            list.back()["sent"] = false;
            continue;
        }
        const VerificationTarget* target = item.sent ? &targets[item.target] : nullptr;
        const Device& latest = target && target->lastSeen ? *target->lastSeen : item.device;
        std::string detail = item.result == Outcome::NotVerified ? settingList(target->unverified())
                                                                 : escapeDeviceText(item.failure);
        if (item.result == Outcome::Failed && target && target->readBack)
            detail += "; read back: " + readBackText(item, *target);
        rows.push_back({macToText(latest.mac), ipv4Text(latest.ip),
                        std::string(resultName(item.result)), detail});
        nlohmann::ordered_json entry = jsonEntry(item, latest, resultName(item.result), target);
        entry["sent"] = item.sent;
        if (item.result == Outcome::NotVerified) {
            entry["unverified"] = nlohmann::ordered_json::array();
            for (const Setting setting : targets[item.target].unverified())
                entry["unverified"].push_back(settingKey(setting));
        }
        if (item.result == Outcome::Failed)
            entry["error"] = detail;
        list.push_back(std::move(entry));
    }
    if (format == OutputFormat::Json)
        return jsonText(list);
    return renderTable({"mac", "ip", "result", "detail"}, rows);
}

} // namespace tavolix::cli
