#pragma once

namespace tavolix {

// What tavolixctl tells its caller; `tavolixctl --help` lists the same.
enum ExitCode : int
{
    ExitSuccess = 0,    // done; a search found at least one device
    ExitIncomplete = 1, // nothing found, or a device not verified or failed
    ExitRefused = 2,    // usage error, refused value or change, invalid plan: nothing sent
    ExitSystem = 3,     // no usable interface, port in use, no permission
};

} // namespace tavolix
