// tavolixctl: the command-line tool that searches, plans and applies network
// settings for many devices at once, on the same discovery code as the window.
#include "CommandLine.h"

#include <algorithm>
#include <clocale>
#include <sys/resource.h>

int main(int argc, char** argv)
{
    // Display widths of device names need a UTF-8 character type; nothing
    // else depends on the locale.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    // A search reads every ONVIF device at once, a connection each: a site of
    // a thousand cameras needs more descriptors than the usual soft limit.
    if (rlimit files{}; ::getrlimit(RLIMIT_NOFILE, &files) == 0) {
        files.rlim_cur = std::max(files.rlim_cur, std::min<rlim_t>(files.rlim_max, 4096));
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    return tavolix::cli::runCommandLine(argc, argv);
}
