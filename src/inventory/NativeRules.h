#pragma once

#include "DeviceProtocol.h"

#include <chrono>

namespace tavolix {

// Devices take each broadcast request in turn; a short gap keeps a burst of
// them from overrunning a small device's receive queue.
inline constexpr std::chrono::milliseconds nativeSendGap{5};

// What the devices' own protocol carries and its devices allow, for
// NativeProtocol::checkChange: the name and PPPoE account in the bytes the
// device stores (text typed as UTF-8 goes into the encoding its own text is
// in, in the given code page or Windows-1252; bytes that are not UTF-8 are
// its own already), within their records (31 and 64 bytes); what the kind
// allows (kind 3: nothing, kind 1: no PPPoE); a login of at most 16 bytes
// each, since a longer one would be cut without a word.
Result<DeviceSettings> checkNativeChange(const Device& device, const DeviceSettings& asked,
                                         const ChangeOptions& options);

} // namespace tavolix
