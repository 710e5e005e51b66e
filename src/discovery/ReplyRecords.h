#pragma once

#include "Datagram.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tavolix {

// Every record of a reply in order, each value as received and at most its
// tag's size; the values point into bytes. Nothing when the bytes do not
// start with the magic. For readers that keep values parsed rather than in
// the window's fixed-width texts.
std::optional<std::vector<ReceivedRecord>> replyRecords(std::span<const uint8_t> bytes);

} // namespace tavolix
