#include "NetnsTopology.h"

#include "ChildProcess.h"

#include <atomic>
#include <chrono>
#include <thread>
#include <unistd.h>

namespace tavolix::test {
namespace {

std::atomic<int> topologyCounter{0};

std::optional<std::string> probeNamespaces()
{
    if (::geteuid() != 0)
        return "network namespaces need root (running as uid " + std::to_string(::geteuid()) + ")";
    const std::string probe = "tvx" + std::to_string(::getpid()) + "-probe";
    const CommandResult added = runCommand({"ip", "netns", "add", probe});
    if (added.exitCode != 0)
        return "`ip netns add` failed: " + added.output;
    runCommand({"ip", "netns", "delete", probe});
    return std::nullopt;
}

} // namespace

std::optional<std::string> NetnsTopology::unavailableReason()
{
    static const std::optional<std::string> reason = probeNamespaces();
    return reason;
}

NetnsTopology::NetnsTopology()
    : m_prefix("tvx" + std::to_string(::getpid()) + "n" + std::to_string(topologyCounter++))
{}

NetnsTopology::~NetnsTopology()
{
    for (auto it = m_created.rbegin(); it != m_created.rend(); ++it)
        runCommand({"ip", "netns", "delete", *it});
}

bool NetnsTopology::run(const std::vector<std::string>& arguments)
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

bool NetnsTopology::addNamespace(const std::string& role)
{
    const std::string name = m_prefix + "-" + role;
    if (!run({"ip", "netns", "add", name}))
        return false;
    m_created.push_back(name);
    m_namespaces[role] = name;
    return run({"ip", "-n", name, "link", "set", "lo", "up"});
}

bool NetnsTopology::link(const std::string& roleA, const std::string& addressA,
                         const std::string& roleB, const std::string& addressB)
{
    const std::string nsA = name(roleA);
    const std::string nsB = name(roleB);
    if (nsA.empty() || nsB.empty()) {
        m_error = "link between unknown roles " + roleA + " and " + roleB;
        return false;
    }
    // Made inside nsA with the peer placed straight into nsB: nothing ever
    // appears in the machine's own namespace.
    const std::string endA = "veth" + std::to_string(m_linkCount) + "a";
    const std::string endB = "veth" + std::to_string(m_linkCount++) + "b";
    return run({"ip", "-n", nsA, "link", "add", "name", endA, "type", "veth", "peer", "name", endB,
                "netns", nsB}) &&
           run({"ip", "-n", nsA, "addr", "add", addressA, "brd", "+", "dev", endA}) &&
           run({"ip", "-n", nsB, "addr", "add", addressB, "brd", "+", "dev", endB}) &&
           run({"ip", "-n", nsA, "link", "set", endA, "up"}) &&
           run({"ip", "-n", nsB, "link", "set", endB, "up"}) && waitUntilUp(nsA, endA) &&
           waitUntilUp(nsB, endB);
}

// A veth end drops what is sent through it until the kernel's link watcher
// has attached its queue, shortly after "up" (marked by operational state UP).
bool NetnsTopology::waitUntilUp(const std::string& namespaceName, const std::string& interface)
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

std::string NetnsTopology::name(const std::string& role) const
{
    const auto it = m_namespaces.find(role);
    return it == m_namespaces.end() ? std::string() : it->second;
}

} // namespace tavolix::test
