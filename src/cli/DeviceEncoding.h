#pragma once

#include "DeviceText.h"
#include "Settings.h"

#include <optional>
#include <string>
#include <string_view>

namespace tavolix::cli {

// The code page named on the command line: "windows-1252", "gb18030", "big5"
// or "shift-jis"; nothing for another name.
std::optional<LegacyCodePage> codePageNamed(std::string_view name);

// The asked name and PPPoE account in the bytes the device will store: text
// typed as UTF-8 goes into the encoding the device's own text is in, as the
// window writes it; bytes that are not UTF-8 (a plan's \xHH escapes) are the
// device's own already. Every other setting is left as asked. Nothing, with
// the reason in problem, when the code page cannot write a character or the
// text no longer fits once encoded.
std::optional<SettingValues> inDeviceEncoding(const DeviceRecord& device,
                                              const SettingValues& asked, LegacyCodePage page,
                                              std::string& problem);

} // namespace tavolix::cli
