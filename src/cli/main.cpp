// tavolixctl: the command-line tool that searches, plans and applies network
// settings for many devices at once, on the same discovery code as the window.
#include "CommandLine.h"

#include <clocale>

int main(int argc, char** argv)
{
    // Display widths of device names need a UTF-8 character type; nothing
    // else depends on the locale.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    return tavolix::cli::runCommandLine(argc, argv);
}
