#pragma once

#include "ChildProcess.h"

#include <atomic>
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tavolix::test {

// Namespaces joined by veth pairs, away from the machine's network; deleted with their veths.
class NetnsTopology final
{
public:
    // Nothing when namespaces can be made here, else why not.
    static std::optional<std::string> unavailableReason()
    {
        static const std::optional<std::string> reason = []() -> std::optional<std::string> {
            const std::string probe = "tvx" + std::to_string(::getpid()) + "-probe";
            const CommandResult added = runCommand({"ip", "netns", "add", probe});
            if (added.exitCode != 0)
                return "`ip netns add` failed (it needs root): " + added.output;
            runCommand({"ip", "netns", "delete", probe});
            return std::nullopt;
        }();
        return reason;
    }

    NetnsTopology() : m_prefix("tvx" + std::to_string(::getpid()) + "n" + std::to_string(counter++))
    {}
    ~NetnsTopology()
    {
        for (auto it = m_namespaces.rbegin(); it != m_namespaces.rend(); ++it)
            runCommand({"ip", "netns", "delete", it->second});
    }
    NetnsTopology(const NetnsTopology&) = delete;
    NetnsTopology& operator=(const NetnsTopology&) = delete;

    // The namespace for a role ("host", "devices"), its loopback up.
    bool addNamespace(const std::string& role)
    {
        const std::string name = m_prefix + "-" + role;
        if (!run({"ip", "netns", "add", name}))
            return false;
        m_namespaces[role] = name;
        return run({"ip", "-n", name, "link", "set", "lo", "up"});
    }
    // A veth pair between two roles' namespaces, an address with prefix on
    // each end ("198.18.0.1/24"), both up; no routes but the connected ones.
    bool link(const std::string& roleA, const std::string& addressA, const std::string& roleB,
              const std::string& addressB)
    {
        const std::string nsA = name(roleA);
        const std::string nsB = name(roleB);
        // Made inside nsA with the peer placed straight into nsB: nothing ever
        // appears in the machine's own namespace.
        const std::string endA = "veth" + std::to_string(m_linkCount) + "a";
        const std::string endB = "veth" + std::to_string(m_linkCount++) + "b";
        return run({"ip", "-n", nsA, "link", "add", "name", endA, "type", "veth", "peer", "name",
                    endB, "netns", nsB}) &&
               run({"ip", "-n", nsA, "addr", "add", addressA, "brd", "+", "dev", endA}) &&
               run({"ip", "-n", nsB, "addr", "add", addressB, "brd", "+", "dev", endB}) &&
               run({"ip", "-n", nsA, "link", "set", endA, "up"}) &&
               run({"ip", "-n", nsB, "link", "set", endB, "up"}) && waitUntilUp(nsA, endA) &&
               waitUntilUp(nsB, endB);
    }
    std::string name(const std::string& role) const // empty for an unknown role
    {
        const auto it = m_namespaces.find(role);
        return it == m_namespaces.end() ? std::string() : it->second;
    }
    const std::string& error() const { return m_error; } // of the last failing step

private:
    bool run(const std::vector<std::string>& arguments)
    {
        const CommandResult result = runCommand(arguments);
        if (result.exitCode == 0)
            return true;
        m_error.clear();
        for (const std::string& argument : arguments)
            m_error += argument + " ";
        m_error += "-> exit " + std::to_string(result.exitCode) + ": " + result.output;
        return false;
    }
    // A veth end drops what is sent through it until the kernel's link watcher
    // has attached its queue, shortly after "up" (marked by operational state UP).
    bool waitUntilUp(const std::string& namespaceName, const std::string& interface)
    {
        for (int attempt = 0; attempt < 500; ++attempt) {
            const CommandResult shown =
                runCommand({"ip", "-n", namespaceName, "-o", "link", "show", "dev", interface});
            if (shown.exitCode == 0 && shown.output.find(" state UP ") != std::string::npos)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        m_error = interface + " in " + namespaceName + " never came up";
        return false;
    }

    static inline std::atomic<int> counter{0};
    std::string m_prefix;
    std::map<std::string, std::string> m_namespaces; // role: name
    int m_linkCount = 0;
    std::string m_error;
};

} // namespace tavolix::test
