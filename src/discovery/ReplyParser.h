#pragma once

#include "DeviceRecord.h"
#include "ReplyValues.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace tavolix {

struct WorkerControl;
class ListRowSink;

// The window's fixed-width record of a reply's values.
DeviceRecord deviceRecordFrom(const ReplyValues& values);

// The record one reply describes; nothing when the bytes do not start with
// the magic.
std::optional<DeviceRecord> decodeReply(std::span<const uint8_t> bytes);

// Decodes one reply, merges it into the table by MAC address and asks the
// window for its list row. Returns the slot it was stored in, 0 when it was
// ignored or dropped.
int parseReply(WorkerControl& control, std::span<const uint8_t> bytes, ListRowSink& rows);

// The list row of a stored record: its slot number, a blank and its name.
std::string listRowText(const DeviceRecord& record);

// The leading decimal number of a row text, read as atoi reads it.
int leadingNumber(std::string_view text);

} // namespace tavolix
