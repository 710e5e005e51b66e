#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tavolix::test {

// Network namespaces joined by veth pairs, for tests that put datagrams on a
// wire: nothing they send can reach the machine's own network. Names carry the
// pid and a counter so parallel runs never clash. The destructor deletes every
// namespace it made, and with them their veth ends, also after a failure.
class NetnsTopology final
{
public:
    // Nothing when namespaces can be made here, else why not.
    static std::optional<std::string> unavailableReason();

    NetnsTopology();
    ~NetnsTopology();
    NetnsTopology(const NetnsTopology&) = delete;
    NetnsTopology& operator=(const NetnsTopology&) = delete;

    // The namespace for a role ("host", "devices"), its loopback up.
    bool addNamespace(const std::string& role);
    // A veth pair between two roles' namespaces, an address with prefix on
    // each end ("198.18.0.1/24"), both up; no routes but the connected ones.
    bool link(const std::string& roleA, const std::string& addressA, const std::string& roleB,
              const std::string& addressB);
    std::string name(const std::string& role) const;     // empty for an unknown role
    const std::string& error() const { return m_error; } // of the last failing step

private:
    bool run(const std::vector<std::string>& arguments);
    bool waitUntilUp(const std::string& namespaceName, const std::string& interface);

    std::string m_prefix;
    std::map<std::string, std::string> m_namespaces;
    std::vector<std::string> m_created; // deleted in reverse order
    int m_linkCount = 0;
    std::string m_error;
};

} // namespace tavolix::test
