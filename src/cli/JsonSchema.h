#pragma once

namespace tavolix::cli {

// The version of what scripts read from tavolixctl: the JSON of search and
// apply (keys, result words) and the exit codes. `--version` prints it as
// "json-schema N"; it goes up with any change a reader would notice.
inline constexpr int jsonSchema = 1;

} // namespace tavolix::cli
