#pragma once

#include <QtGlobal>
#include <bitset>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace tavolix {

// Device-list rows that the worker has handed over without waiting, until the
// window's thread lists them. They keep their order. A row for a slot that
// already has one waiting is left out, as the list would leave it out, and a
// row of a newer table generation drops those of older ones: the table has
// been emptied since they were stored. So at most one row per slot waits.
class PendingRows final
{
public:
    struct Row
    {
        int slotNumber = 0;
        std::string text; // as the device sent it; decoded when listed
    };
    struct Batch
    {
        uint64_t tableGeneration = 0;
        std::vector<Row> rows;
    };

    PendingRows() = default;
    Q_DISABLE_COPY_MOVE(PendingRows)

    // Any thread. True when nothing was waiting before: only then must the
    // window's thread be asked to take the rows, as it has not been yet.
    bool add(int slotNumber, std::string text, uint64_t tableGeneration);

    // Everything waiting, in the order it was added; nothing waits afterwards.
    Batch take();

private:
    std::mutex m_mutex;
    Batch m_waiting;
    std::bitset<256> m_waitingSlots;
};

} // namespace tavolix
