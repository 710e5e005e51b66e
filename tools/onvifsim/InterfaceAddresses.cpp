#include "InterfaceAddresses.h"

#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace tavolix::onvifsim {

bool InterfaceAddresses::runIp(const char* verb, const std::string& address) const
{
    std::vector<std::string> words = {"ip", "-4", "addr", verb, address, "dev", m_interface};
    std::vector<char*> arguments;
    for (std::string& word : words)
        arguments.push_back(word.data());
    arguments.push_back(nullptr);
    pid_t child = 0;
    if (::posix_spawnp(&child, "ip", nullptr, nullptr, arguments.data(), environ) != 0)
        return false;
    int status = 0;
    while (::waitpid(child, &status, 0) < 0) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool InterfaceAddresses::add(Ipv4 address, int prefixLength) const
{
    return m_interface.empty() ||
           runIp("replace", ipv4Text(address) + "/" + std::to_string(prefixLength));
}

bool InterfaceAddresses::addAll(const std::vector<std::pair<Ipv4, int>>& addresses) const
{
    if (m_interface.empty())
        return true;
    std::FILE* batch = ::popen("ip -4 -batch -", "w");
    if (!batch)
        return false;
    for (const auto& [address, prefixLength] : addresses)
        std::fprintf(batch, "addr replace %s/%d dev %s\n", ipv4Text(address).c_str(), prefixLength,
                     m_interface.c_str());
    const int status = ::pclose(batch);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool InterfaceAddresses::remove(Ipv4 address, int prefixLength) const
{
    return m_interface.empty() ||
           runIp("del", ipv4Text(address) + "/" + std::to_string(prefixLength));
}

bool InterfaceAddresses::move(Ipv4 from, int fromPrefix, Ipv4 to, int toPrefix) const
{
    if (from == to)
        return remove(from, fromPrefix) && add(to, toPrefix);
    return add(to, toPrefix) && remove(from, fromPrefix);
}

bool InterfaceAddresses::promoteSecondaries() const
{
    if (m_interface.empty())
        return true;
    std::FILE* file = std::fopen(
        ("/proc/sys/net/ipv4/conf/" + m_interface + "/promote_secondaries").c_str(), "w");
    if (!file)
        return false;
    const bool written = std::fputs("1\n", file) >= 0;
    return std::fclose(file) == 0 && written;
}

} // namespace tavolix::onvifsim
