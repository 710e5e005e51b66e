#include "ProcFigures.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace tavolix::bench {
namespace {

std::string procPath(pid_t pid, const char* entry)
{
    return "/proc/" + std::to_string(pid) + "/" + entry;
}

} // namespace

std::optional<ResidentMemory> residentMemory(pid_t pid)
{
    std::ifstream status(procPath(pid, "status"));
    ResidentMemory memory;
    bool found = false;
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string key;
        long kib = 0;
        fields >> key >> kib;
        if (key == "VmRSS:") {
            memory.currentKib = kib;
            found = true;
        } else if (key == "VmHWM:") {
            memory.peakKib = kib;
        }
    }
    return found ? std::optional(memory) : std::nullopt;
}

std::optional<double> cpuSeconds(pid_t pid)
{
    std::ifstream stat(procPath(pid, "stat"));
    std::string text;
    std::getline(stat, text);
    // The command name may hold blanks and parentheses: count from its end.
    const auto nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text.substr(nameEnd + 1));
    std::vector<std::string> values;
    std::string value;
    while (fields >> value)
        values.push_back(value);
    // After the name: state (field 3) ... utime (field 14), stime (field 15).
    constexpr std::size_t utimeIndex = 14 - 3;
    constexpr std::size_t stimeIndex = 15 - 3;
    if (values.size() <= stimeIndex)
        return std::nullopt;
    const double ticks = std::stod(values[utimeIndex]) + std::stod(values[stimeIndex]);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::optional<double> threadRunSeconds(pid_t pid)
{
    std::error_code error;
    std::filesystem::directory_iterator tasks(procPath(pid, "task"), error);
    if (error)
        return std::nullopt;
    double nanoseconds = 0;
    for (const auto& task : tasks) {
        std::ifstream schedstat(task.path() / "schedstat");
        double running = 0;
        if (schedstat >> running)
            nanoseconds += running;
    }
    return nanoseconds / 1e9;
}

std::optional<UdpSocketFigures> udpSocket(pid_t pid, uint16_t localPort)
{
    std::ifstream table(procPath(pid, "net/udp"));
    char portSuffix[8] = {};
    std::snprintf(portSuffix, sizeof portSuffix, ":%04X", localPort);
    std::string line;
    std::getline(table, line); // the heading
    while (std::getline(table, line)) {
        // "sl local_address rem_address st tx_queue:rx_queue ... ref pointer drops"
        std::istringstream fields(line);
        std::vector<std::string> values;
        std::string value;
        while (fields >> value)
            values.push_back(value);
        if (values.size() < 5 || !values[1].ends_with(portSuffix))
            continue;
        const auto colon = values[4].find(':');
        if (colon == std::string::npos)
            return std::nullopt;
        return UdpSocketFigures{std::stol(values[4].substr(colon + 1), nullptr, 16),
                                std::stol(values.back())};
    }
    return std::nullopt;
}

} // namespace tavolix::bench
