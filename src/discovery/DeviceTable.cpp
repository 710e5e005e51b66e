#include "DeviceTable.h"

namespace tavolix {

int DeviceTable::store(const DeviceRecord& record)
{
    const std::lock_guard lock(m_mutex);
    int freeSlot = 0;
    int matchingSlot = 0;
    for (int number = 1; number <= slotCount; ++number) {
        const DeviceRecord& held = m_slots[static_cast<std::size_t>(number - 1)];
        if (held.slot == 0)
            freeSlot = number; // the last empty slot seen: the highest-numbered one
        if (held.mac == record.mac) {
            matchingSlot = number;
            break;
        }
    }
    // A new device fills the table from slot 255 downwards. An all-zero
    // address therefore matches the lowest empty slot, where the scan stops.
    const int number = matchingSlot != 0 ? matchingSlot : freeSlot;
    if (number == 0)
        return 0;
    DeviceRecord& target = m_slots[static_cast<std::size_t>(number - 1)];
    target = record;
    target.slot = number;
    return number;
}

void DeviceTable::clear()
{
    const std::lock_guard lock(m_mutex);
    m_slots.fill(DeviceRecord{});
    ++m_generation;
}

uint64_t DeviceTable::generation() const
{
    const std::lock_guard lock(m_mutex);
    return m_generation;
}

std::optional<uint64_t> DeviceTable::generationHolding(int slotNumber) const
{
    if (slotNumber < 1 || slotNumber > slotCount)
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    if (m_slots[static_cast<std::size_t>(slotNumber - 1)].slot == 0)
        return std::nullopt;
    return m_generation;
}

std::optional<DeviceRecord> DeviceTable::recordAt(int slotNumber) const
{
    if (slotNumber < 1 || slotNumber > slotCount)
        return std::nullopt;
    const std::lock_guard lock(m_mutex);
    return m_slots[static_cast<std::size_t>(slotNumber - 1)];
}

int DeviceTable::usedSlotCount() const
{
    const std::lock_guard lock(m_mutex);
    int used = 0;
    for (const DeviceRecord& record : m_slots)
        used += record.slot != 0 ? 1 : 0;
    return used;
}

} // namespace tavolix
