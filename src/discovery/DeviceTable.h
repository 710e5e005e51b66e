#pragma once

#include "DeviceRecord.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <optional>

namespace tavolix {

// The 255 device slots, numbered 1 to 255, shared by the worker (which stores
// replies) and the window (which empties the table and reads records). One
// mutex guards every store, every emptying and every copy, so nobody ever sees
// a record half written; it is never held while anything else is called.
class DeviceTable final
{
public:
    static constexpr int slotCount = 255;

    DeviceTable() = default;
    DeviceTable(const DeviceTable&) = delete;
    DeviceTable& operator=(const DeviceTable&) = delete;

    // Merges a record by MAC address: a slot with the same address is
    // replaced whole; otherwise the highest-numbered empty slot takes it.
    // Returns the slot number the record now has, or 0 when the table is full
    // and the record was dropped.
    int store(const DeviceRecord& record);

    // Empties every slot and begins a new generation.
    void clear();

    // How many times the table has been emptied. Slots are only ever freed
    // all together, so within one generation a slot, once filled, keeps its
    // device.
    uint64_t generation() const;

    // The generation, if slot 1..255 holds a device now; nothing otherwise.
    // Right after storing a record its storer learns from this whether the
    // table has been emptied since, and if not, in which generation the
    // record lives.
    std::optional<uint64_t> generationHolding(int slotNumber) const;

    // A copy of the record in slot 1..255; nothing for other numbers. An
    // empty slot yields a record whose slot field is 0.
    std::optional<DeviceRecord> recordAt(int slotNumber) const;

    // How many slots hold a device.
    int usedSlotCount() const;

private:
    mutable std::mutex m_mutex;
    std::array<DeviceRecord, slotCount> m_slots{};
    uint64_t m_generation = 0;
};

} // namespace tavolix
