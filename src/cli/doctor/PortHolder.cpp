#include "PortHolder.h"

#include "UniqueFd.h"

#include <cerrno>
#include <charconv>
#include <dirent.h>
#include <fstream>
#include <memory>
#include <netinet/in.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace tavolix::doctor {
namespace {

struct DirCloser
{
    void operator()(DIR* dir) const { ::closedir(dir); }
};
using Dir = std::unique_ptr<DIR, DirCloser>;

bool allDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The inode of a socket bound to the port, from one socket table. Its lines
// hold slot, local address (hex "0100A8C0:0DF6"), remote address, state,
// queues, timer, retransmits, uid, timeout and inode.
std::optional<unsigned long> socketInode(const char* path, uint16_t port)
{
    std::ifstream table(path);
    std::string line;
    std::getline(table, line); // the header
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
        unsigned long inode = 0;
        if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >>
              timeout >> inode))
            continue;
        const std::size_t colon = local.find(':');
        unsigned localPort = 0;
        if (colon == std::string::npos ||
            std::from_chars(local.data() + colon + 1, local.data() + local.size(), localPort, 16)
                    .ec != std::errc())
            continue;
        if (localPort == port)
            return inode;
    }
    return std::nullopt;
}

std::string commandOf(const std::string& pid)
{
    std::ifstream file("/proc/" + pid + "/comm");
    std::string command;
    std::getline(file, command);
    return command;
}

bool hasSocket(const std::string& pid, const std::string& link)
{
    const std::string folder = "/proc/" + pid + "/fd";
    const Dir fds(::opendir(folder.c_str()));
    if (!fds)
        return false;
    std::string target(64, '\0');
    while (const dirent* fd = ::readdir(fds.get())) {
        const std::string path = folder + "/" + fd->d_name;
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length > 0 && std::string_view(target.data(), static_cast<std::size_t>(length)) == link)
            return true;
    }
    return false;
}

} // namespace

int tryBindUdp(uint16_t port)
{
    const UniqueFd fd(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!fd)
        return errno;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    const int result = ::bind(
        fd.get(), static_cast<const sockaddr*>(static_cast<const void*>(&local)), sizeof local);
    return result == 0 ? 0 : errno;
}

std::optional<PortHolder> findUdpPortHolder(uint16_t port)
{
    // A socket bound to the IPv6 wildcard holds the IPv4 port as well.
    auto inode = socketInode("/proc/thread-self/net/udp", port);
    if (!inode)
        inode = socketInode("/proc/thread-self/net/udp6", port);
    if (!inode)
        return std::nullopt;
    PortHolder holder;
    holder.inode = *inode;
    const std::string link = "socket:[" + std::to_string(*inode) + "]";
    const Dir processes(::opendir("/proc"));
    if (!processes)
        return holder;
    while (const dirent* entry = ::readdir(processes.get())) {
        const std::string pid = entry->d_name;
        if (!allDigits(pid) || !hasSocket(pid, link))
            continue;
        int number = 0;
        std::from_chars(pid.data(), pid.data() + pid.size(), number);
        holder.pid = number;
        holder.command = commandOf(pid);
        break;
    }
    return holder;
}

} // namespace tavolix::doctor
