#include "ReplyRecords.h"

#include <algorithm>

namespace tavolix {

std::optional<std::vector<ReceivedRecord>> replyRecords(std::span<const uint8_t> bytes)
{
    if (!hasMagic(bytes))
        return std::nullopt;
    std::vector<ReceivedRecord> records;
    RecordReader reader(bytes);
    while (auto record = reader.next()) {
        if (const auto known = templateFor(record->tag))
            record->value =
                record->value.first(std::min<std::size_t>(record->value.size(), known->size));
        records.push_back(*record);
    }
    return records;
}

} // namespace tavolix
