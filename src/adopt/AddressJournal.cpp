#include "AddressJournal.h"

#include "UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <net/if.h>
#include <optional>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace tavolix::adopt {
namespace {

constexpr const char* defaultDirectory = "/run/tavolix";
constexpr std::string_view filePrefix = "adopted-";
constexpr std::string_view pendingSuffix = ".new";
// More than any journal this program writes: a larger file is not one of them.
constexpr std::size_t largestJournal = 64 * 1024;

template <typename Number> std::optional<Number> numberIn(std::string_view text)
{
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

// Field 22 of /proc/PID/stat, the clock ticks after boot at which the process started: with
// the pid it names one process, as a reused pid does not.
std::optional<unsigned long long> processStartTime(pid_t pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(file, line))
        return std::nullopt;
    const std::size_t commandEnd = line.rfind(')'); // the command's name may hold anything
    if (commandEnd == std::string::npos)
        return std::nullopt;
    std::istringstream fields(line.substr(commandEnd + 1));
    std::string field;
    for (int number = 3; number <= 22 && fields >> field; ++number) {
        if (number == 22)
            return numberIn<unsigned long long>(field);
    }
    return std::nullopt;
}

// The journal's first line: which process wrote it, and in which network namespace, as an
// address belongs to an interface of one namespace.
struct Owner
{
    unsigned long long start = 0;
    ino_t networkNamespace = 0;
    bool operator==(const Owner&) const = default;
};

Owner ownOwner()
{
    struct stat network
    {};
    // The calling thread's: a thread may have entered another namespace than the process's.
    const bool known = ::stat("/proc/thread-self/ns/net", &network) == 0;
    return {processStartTime(::getpid()).value_or(0), known ? network.st_ino : 0};
}

std::string ownerLine(const Owner& owner)
{
    return "start " + std::to_string(owner.start) + " netns " +
           std::to_string(owner.networkNamespace);
}

std::optional<Owner> parseOwner(const std::string& line)
{
    std::istringstream fields(line);
    std::string start, netns, rest;
    Owner owner;
    if (!(fields >> start >> owner.start >> netns >> owner.networkNamespace) || fields >> rest ||
        start != "start" || netns != "netns")
        return std::nullopt;
    return owner;
}

std::string entryLine(const JournalEntry& entry)
{
    return std::to_string(entry.address.interfaceIndex) + " " + entry.interfaceName + " " +
           ipv4Text(entry.address.address) + "/" + std::to_string(entry.address.prefix);
}

std::optional<JournalEntry> parseEntry(const std::string& line)
{
    std::istringstream fields(line);
    std::string index, name, address, rest;
    if (!(fields >> index >> name >> address) || fields >> rest)
        return std::nullopt;
    const std::size_t slash = address.find('/');
    if (slash == std::string::npos || name.size() >= IF_NAMESIZE)
        return std::nullopt;
    const auto interfaceIndex = numberIn<unsigned>(index);
    const auto ip = parseIpv4(std::string_view(address).substr(0, slash));
    const unsigned prefix =
        numberIn<unsigned>(std::string_view(address).substr(slash + 1)).value_or(33);
    if (!interfaceIndex || !ip || prefix > 32)
        return std::nullopt;
    return JournalEntry{{*interfaceIndex, *ip, static_cast<uint8_t>(prefix)}, name};
}

// The journal at path, or nothing when it belongs to another network namespace.
std::optional<RunJournal> readJournal(const std::filesystem::path& path, pid_t pid,
                                      ino_t ownNamespace)
{
    RunJournal journal;
    journal.path = path.string();
    journal.pid = pid;
    std::ifstream stream(path);
    std::string text(largestJournal + 1, '\0');
    stream.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(stream.gcount()));
    std::istringstream file(text);
    std::string line;
    const std::optional<Owner> owner =
        text.size() <= largestJournal && std::getline(file, line) ? parseOwner(line) : std::nullopt;
    if (!owner) {
        journal.unreadable = true;
        return journal;
    }
    if (owner->networkNamespace != ownNamespace)
        return std::nullopt;
    journal.ended = processStartTime(pid) != owner->start;
    while (std::getline(file, line)) {
        const std::optional<JournalEntry> entry = parseEntry(line);
        if (!entry) {
            journal.unreadable = true;
            break;
        }
        journal.entries.push_back(*entry);
    }
    return journal;
}

std::string currentName(unsigned interfaceIndex)
{
    char name[IF_NAMESIZE] = {};
    return ::if_indextoname(interfaceIndex, name) == nullptr ? std::string() : name;
}

} // namespace

std::string AddressJournal::directory()
{
    const char* configured = std::getenv("TAVOLIX_RUN_DIR");
    return configured != nullptr && *configured != '\0' ? configured : defaultDirectory;
}

Result<AddressJournal> AddressJournal::open()
{
    const std::string folder = directory();
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return systemCallFailure("cannot make " + folder, errno);
    // Whoever can write journals there can make the next run remove addresses.
    struct stat made
    {};
    if (::lstat(folder.c_str(), &made) != 0 || !S_ISDIR(made.st_mode) ||
        made.st_uid != ::geteuid() || (made.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return systemFailure(folder + " is not a folder of this user that only it can write");
    const pid_t pid = ::getpid();
    return AddressJournal(folder + "/" + std::string(filePrefix) + std::to_string(pid),
                          ownerLine(ownOwner()));
}

AddressJournal::AddressJournal(std::string path, std::string owner)
    : m_path(std::move(path)), m_owner(std::move(owner))
{}

AddressJournal::AddressJournal(AddressJournal&& other) noexcept
    : m_path(std::move(other.m_path)), m_owner(std::move(other.m_owner)),
      m_entries(std::move(other.m_entries))
{
    other.m_path.clear();
}

AddressJournal::~AddressJournal()
{
    if (!m_path.empty() && m_entries.empty())
        ::unlink(m_path.c_str());
}

Result<> AddressJournal::record(const JournalEntry& entry)
{
    m_entries.push_back(entry);
    Result<> written = write();
    if (!written)
        m_entries.pop_back();
    return written;
}

Result<> AddressJournal::drop(const HostAddress& address)
{
    std::erase_if(m_entries, [&](const JournalEntry& entry) { return entry.address == address; });
    if (m_entries.empty() && ::unlink(m_path.c_str()) != 0 && errno != ENOENT)
        return systemCallFailure("cannot remove " + m_path, errno);
    return m_entries.empty() ? Result<>(Done{}) : write();
}

// Written aside and renamed over the journal: a run killed meanwhile leaves the old one whole.
Result<> AddressJournal::write() const
{
    std::string text = m_owner + "\n";
    for (const JournalEntry& entry : m_entries)
        text += entryLine(entry) + "\n";
    const std::string pending = m_path + std::string(pendingSuffix);
    const UniqueFd file(::open(pending.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600));
    if (!file)
        return systemCallFailure("cannot write " + pending, errno);
    if (::write(file.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()) ||
        ::fsync(file.get()) != 0 || ::rename(pending.c_str(), m_path.c_str()) != 0) {
        const int error = errno;
        ::unlink(pending.c_str());
        return systemCallFailure("cannot write " + m_path, error);
    }
    return Done{};
}

std::vector<RunJournal> readRunJournals(const std::string& directory)
{
    const ino_t ownNamespace = ownOwner().networkNamespace;
    std::vector<RunJournal> journals;
    std::error_code error;
    for (std::filesystem::directory_iterator file(directory, error), end; !error && file != end;
         file.increment(error)) {
        std::string name = file->path().filename().string();
        if (!name.starts_with(filePrefix))
            continue;
        const bool pending = name.ends_with(pendingSuffix);
        if (pending)
            name.resize(name.size() - pendingSuffix.size());
        const auto pid = numberIn<pid_t>(std::string_view(name).substr(filePrefix.size()));
        if (!pid || *pid <= 0)
            continue;
        std::optional<RunJournal> journal = readJournal(file->path(), *pid, ownNamespace);
        if (!journal)
            continue;
        if (pending) {
            // Written but never renamed over the journal: what it adds was not added.
            if (journal->ended)
                ::unlink(journal->path.c_str());
            continue;
        }
        journals.push_back(std::move(*journal));
    }
    return journals;
}

std::vector<JournalEntry> stillHeld(const RunJournal& journal, const std::vector<HostAddress>& held)
{
    std::vector<JournalEntry> found;
    for (const JournalEntry& entry : journal.entries) {
        if (std::find(held.begin(), held.end(), entry.address) != held.end() &&
            currentName(entry.address.interfaceIndex) == entry.interfaceName)
            found.push_back(entry);
    }
    return found;
}

std::vector<std::string> removeLeftovers(const std::string& directory, NetlinkAddresses& netlink)
{
    const Result<std::vector<HostAddress>> held = netlink.list();
    if (!held)
        return {"cannot check what ended runs left: " + held.failure().message};
    std::vector<std::string> lines;
    for (const RunJournal& journal : readRunJournals(directory)) {
        if (journal.unreadable)
            lines.push_back("left " + journal.path + " alone: not a journal of addresses");
        if (journal.unreadable || !journal.ended)
            continue;
        bool allRemoved = true;
        for (const JournalEntry& entry : stillHeld(journal, *held)) {
            const Result<> removed = netlink.remove(entry.address);
            const std::string what = ipv4Text(entry.address.address) + "/" +
                                     std::to_string(entry.address.prefix) + " from " +
                                     entry.interfaceName + ", left by a run that ended (pid " +
                                     std::to_string(journal.pid) + ")";
            lines.push_back(removed
                                ? "removed " + what
                                : "could not remove " + what + ": " + removed.failure().message);
            allRemoved = allRemoved && removed;
        }
        if (allRemoved)
            ::unlink(journal.path.c_str());
    }
    return lines;
}

} // namespace tavolix::adopt
