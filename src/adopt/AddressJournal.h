#pragma once

#include "NetlinkAddresses.h"
#include "Result.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace tavolix::adopt {

struct JournalEntry
{
    HostAddress address;
    std::string interfaceName;
};

// What one run has added, in a file of its own, adopted-PID, in the run folder: written
// before each address is added and after each is removed, so that when the run is killed the
// next one knows what to remove. The folder is /run/tavolix, or TAVOLIX_RUN_DIR where set.
class AddressJournal final
{
public:
    static std::string directory();
    // Makes the folder (0700) when missing; the file is written at the first record.
    static Result<AddressJournal> open();
    ~AddressJournal(); // removes the file when it lists nothing
    AddressJournal(AddressJournal&& other) noexcept;
    AddressJournal& operator=(AddressJournal&&) = delete;

    Result<> record(const JournalEntry& entry);
    Result<> drop(const HostAddress& address);
    const std::string& path() const { return m_path; }

private:
    AddressJournal(std::string path, std::string owner);
    Result<> write() const;

    std::string m_path;
    std::string m_owner; // the first line: which process, and in which network namespace
    std::vector<JournalEntry> m_entries;
};

// A journal of another run as read from the run folder.
struct RunJournal
{
    std::string path;
    pid_t pid = 0;
    bool ended = false;      // its process is gone: what it lists is left over
    bool unreadable = false; // not a journal this program wrote
    std::vector<JournalEntry> entries;
};

// The journals of other runs in this network namespace (other namespaces' are theirs to clean).
std::vector<RunJournal> readRunJournals(const std::string& directory);

// The addresses a journal lists that are still on their interfaces (same index and name).
std::vector<JournalEntry> stillHeld(const RunJournal& journal,
                                    const std::vector<HostAddress>& held);

// For each journal of an ended run: removes every address it lists that is still on its
// interface, then the file. One line for each removal, and for each journal left alone.
std::vector<std::string> removeLeftovers(const std::string& directory, NetlinkAddresses& netlink);

} // namespace tavolix::adopt
