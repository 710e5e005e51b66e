#include "PendingRows.h"

#include <utility>

namespace tavolix {

bool PendingRows::add(int slotNumber, std::string text, uint64_t tableGeneration)
{
    const std::lock_guard lock(m_mutex);
    const bool wasEmpty = m_waiting.rows.empty();
    if (tableGeneration != m_waiting.tableGeneration) {
        m_waiting.rows.clear();
        m_waitingSlots.reset();
        m_waiting.tableGeneration = tableGeneration;
    }
    const auto slot = static_cast<std::size_t>(slotNumber);
    if (slot < m_waitingSlots.size() && !m_waitingSlots.test(slot)) {
        m_waitingSlots.set(slot);
        m_waiting.rows.push_back({slotNumber, std::move(text)});
    }
    return wasEmpty;
}

PendingRows::Batch PendingRows::take()
{
    const std::lock_guard lock(m_mutex);
    Batch taken{m_waiting.tableGeneration, std::exchange(m_waiting.rows, {})};
    m_waitingSlots.reset();
    return taken;
}

} // namespace tavolix
