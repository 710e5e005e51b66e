// The real program under Xvfb in a host namespace, with 255 simulated
// devices in another: the time from its start to its window on the display
// and to the window's first painted content, its resident memory once the
// first search has been taken in, and its CPU time while idle afterwards.
// A bare Qt dialog of the same size is started in turn with it, under the
// same display and with the same devices, as the yardstick.
//   bench_program [starts=5] [idle seconds=10] [other program ...]
#include "BenchSupport.h"
#include "ChildProcess.h"
#include "TemporaryDirectory.h"
#include "XcbTestClient.h"
#include "XvfbServer.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <thread>
#include <unistd.h>

namespace {

using namespace tavolix;
using bench::Clock;
using bench::millisecondsSince;

constexpr int deviceCount = 255;
constexpr uint16_t programPort = 3566;
// Only against a program that never gets there.
constexpr auto giveUp = std::chrono::seconds(30);
// Between one program's end and the next start.
constexpr auto settle = std::chrono::milliseconds(500);

// What /proc tells about the running program; nothing once it has gone.
std::string procPath(pid_t pid, const char* entry)
{
    return "/proc/" + std::to_string(pid) + "/" + entry;
}

std::vector<std::string> words(const std::string& line)
{
    std::istringstream stream(line);
    std::vector<std::string> result;
    for (std::string word; stream >> word;)
        result.push_back(word);
    return result;
}

// Resident memory (VmRSS) and its peak (VmHWM), in KiB.
struct ResidentMemory
{
    long currentKib = 0;
    long peakKib = 0;
};
std::optional<ResidentMemory> residentMemory(pid_t pid)
{
    std::ifstream status(procPath(pid, "status"));
    std::optional<long> current;
    long peak = 0;
    for (std::string line; std::getline(status, line);) {
        const auto fields = words(line);
        if (fields.size() >= 2 && fields[0] == "VmRSS:")
            current = std::stol(fields[1]);
        else if (fields.size() >= 2 && fields[0] == "VmHWM:")
            peak = std::stol(fields[1]);
    }
    return current ? std::optional(ResidentMemory{*current, peak}) : std::nullopt;
}

// User plus system CPU time of all its threads, in seconds, as counted in
// clock ticks (utime + stime).
std::optional<double> cpuSeconds(pid_t pid)
{
    std::ifstream stat(procPath(pid, "stat"));
    std::string text;
    std::getline(stat, text);
    // The command name may hold blanks and parentheses: count from its end.
    // After it come state (field 3) ... utime (field 14) and stime (field 15).
    const auto nameEnd = text.rfind(')');
    const auto fields = words(nameEnd == std::string::npos ? "" : text.substr(nameEnd + 1));
    if (fields.size() <= 15 - 3)
        return std::nullopt;
    const double ticks = std::stod(fields[14 - 3]) + std::stod(fields[15 - 3]);
    return ticks / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// The time its present threads have run, in seconds, from the scheduler's
// nanosecond counts: finer than the ticks, but blind to threads that ended.
std::optional<double> threadRunSeconds(pid_t pid)
{
    std::error_code error;
    double nanoseconds = 0;
    for (const auto& task : std::filesystem::directory_iterator(procPath(pid, "task"), error)) {
        double running = 0;
        if (std::ifstream(task.path() / "schedstat") >> running)
            nanoseconds += running;
    }
    return error ? std::nullopt : std::optional(nanoseconds / 1e9);
}

// Its UDP socket bound to this local port, as its own network namespace
// lists it: bytes waiting to be read, and datagrams dropped so far.
struct UdpSocketFigures
{
    long receiveQueueBytes = 0;
    long drops = 0;
};
std::optional<UdpSocketFigures> udpSocket(pid_t pid, uint16_t localPort)
{
    std::ifstream table(procPath(pid, "net/udp"));
    char portSuffix[8] = {};
    std::snprintf(portSuffix, sizeof portSuffix, ":%04X", localPort);
    // "sl local_address rem_address st tx_queue:rx_queue ... ref pointer drops", after a heading
    for (std::string line; std::getline(table, line);) {
        const auto fields = words(line);
        if (fields.size() < 5 || !fields[1].ends_with(portSuffix))
            continue;
        return UdpSocketFigures{std::stol(fields[4].substr(fields[4].find(':') + 1), nullptr, 16),
                                std::stol(fields.back())};
    }
    return std::nullopt;
}

// The first top-level window the process maps, or nothing if it ends first.
std::optional<xcb_window_t> awaitMappedWindow(test::XcbTestClient& watcher,
                                              test::ChildProcess& program)
{
    xcb_connection_t* c = watcher.get();
    const auto end = Clock::now() + giveUp;
    while (Clock::now() < end && !program.poll() && xcb_connection_has_error(c) == 0) {
        while (xcb_generic_event_t* raw = xcb_poll_for_event(c)) {
            const XcbReply<xcb_generic_event_t> event(raw);
            if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY)
                continue;
            const auto* mapped = reinterpret_cast<const xcb_map_notify_event_t*>(raw);
            if (watcher.pidOf(mapped->window) == static_cast<uint32_t>(program.pid()))
                return mapped->window;
        }
        pollfd events{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&events, 1, 50);
    }
    return std::nullopt;
}

// The root is plain black and the program's window has no background of its
// own, so until the program draws, the window's pixels are all alike.
bool hasPaintedContent(xcb_connection_t* c, xcb_window_t window)
{
    const auto geometry = xcbReply(xcb_get_geometry_reply, c, xcb_get_geometry(c, window));
    if (!geometry)
        return false;
    const auto image = xcbReply(xcb_get_image_reply, c,
                                xcb_get_image(c, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                              geometry->width, geometry->height, ~uint32_t{0}));
    if (!image || image->depth != 24)
        return false;
    const uint8_t* data = xcb_get_image_data(image.get());
    const int length = xcb_get_image_data_length(image.get());
    // 24-bit pixels come as 32-bit words; the top byte carries nothing.
    for (int i = 4; i + 3 < length; i += 4)
        if (std::memcmp(data + i, data, 3) != 0)
            return true;
    return false;
}

// The devices have answered this start's search and the program has read
// every answer from its socket.
bool awaitSearchTakenIn(e2e::DeviceSimProcess& sim, std::size_t sentBefore, pid_t program)
{
    const auto isSend = [](const std::string& line) { return line.starts_with("send "); };
    if (!sim.waitUntil(
            [&](const std::vector<std::string>& lines) {
                return std::count_if(lines.begin(), lines.end(), isSend) >=
                       static_cast<std::ptrdiff_t>(sentBefore + deviceCount);
            },
            giveUp))
        return false;
    for (const auto end = Clock::now() + giveUp; Clock::now() < end;) {
        const auto socket = udpSocket(program, programPort);
        if (socket && socket->receiveQueueBytes == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void printIdleCpu(pid_t program, int seconds)
{
    const auto ticksBefore = cpuSeconds(program);
    const auto runBefore = threadRunSeconds(program);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const auto ticksAfter = cpuSeconds(program);
    const auto runAfter = threadRunSeconds(program);
    if (!ticksBefore || !ticksAfter || !runBefore || !runAfter) {
        std::printf("idle CPU: the program ended meanwhile\n");
        return;
    }
    const double ticks = *ticksAfter - *ticksBefore;
    const double run = *runAfter - *runBefore;
    std::printf("idle CPU over %d s after the first search: utime+stime %.3f s (%.4f %% of one "
                "core; %.0f ms ticks), thread run time %.6f s (%.6f %% of one core)\n",
                seconds, ticks, 100.0 * ticks / seconds,
                1000.0 / static_cast<double>(::sysconf(_SC_CLK_TCK)), run, 100.0 * run / seconds);
    std::printf("CPU since its start: utime+stime %.3f s, thread run time %.6f s\n", *ticksAfter,
                *runAfter);
}

struct Figures
{
    std::vector<double> mappedMs, paintedMs, residentMib;
};

// A program the bench starts: ours, or the bare dialog it is measured against.
struct Contender
{
    std::string label;
    std::vector<std::string> command;
    bool searches; // ours: wait until its first search has been taken in
    Figures figures;
};

// Starts the program once, prints its figures and adds them to the others.
void startOnce(bench::SimulatedNetwork& network, test::XvfbServer& server,
               test::XcbTestClient& watcher, const std::string& dir, int number, int idleSeconds,
               Contender& contender)
{
    test::LaunchOptions options;
    options.arguments = contender.command;
    options.environment = std::vector<std::string>{"PATH=/usr/bin:/bin",
                                                   "HOME=" + dir,
                                                   "XDG_RUNTIME_DIR=" + dir,
                                                   "LANG=C.UTF-8",
                                                   "DISPLAY=" + server.displayName(),
                                                   "QT_QPA_PLATFORM=xcb"};
    options.workingDirectory = dir;
    options.networkNamespace = network.topology.name("host");
    options.outputFile = dir + "/program.log";
    Figures& figures = contender.figures;

    watcher.takeEvents();
    const std::size_t sentBefore = network.sim->datagrams("send").size();
    const auto start = Clock::now();
    test::ChildProcess program(options);
    const auto window = program.started() ? awaitMappedWindow(watcher, program) : std::nullopt;
    if (!window) {
        std::printf("start %d, %s: no window (program ended with %d); see %s/program.log\n", number,
                    contender.label.c_str(), program.poll().value_or(-1), dir.c_str());
        return;
    }
    const double mappedMs = millisecondsSince(start);
    figures.mappedMs.push_back(mappedMs);
    std::optional<double> paintedMs;
    for (const auto end = Clock::now() + giveUp; !paintedMs && Clock::now() < end;) {
        if (hasPaintedContent(watcher.get(), *window))
            paintedMs = millisecondsSince(start);
    }
    const bool searched =
        contender.searches && awaitSearchTakenIn(*network.sim, sentBefore, program.pid());
    // Let the window list the last rows and settle before memory is read.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const auto memory = residentMemory(program.pid());

    std::printf("start %d, %-20s: window mapped after %6.1f ms, first painted after ", number,
                contender.label.c_str(), mappedMs);
    if (paintedMs) {
        std::printf("%6.1f ms", *paintedMs);
        figures.paintedMs.push_back(*paintedMs);
    } else {
        std::printf("(never)");
    }
    if (contender.searches) {
        std::printf("; search %s", searched ? "taken in" : "NOT taken in");
        if (const auto socket = udpSocket(program.pid(), programPort))
            std::printf(" (%ld datagrams dropped by the socket)", socket->drops);
    }
    if (memory) {
        std::printf("; VmRSS %ld KiB (peak %ld KiB)", memory->currentKib, memory->peakKib);
        figures.residentMib.push_back(static_cast<double>(memory->currentKib) / 1024.0);
    }
    std::printf("\n");
    if (idleSeconds > 0)
        printIdleCpu(program.pid(), idleSeconds);

    watcher.requestClose(*window);
    watcher.sync();
    const auto exitCode = program.waitAtMost(giveUp);
    if (!exitCode)
        std::printf("start %d, %s: still running after a close request; ended by SIGTERM\n", number,
                    contender.label.c_str());
    else if (*exitCode != 0)
        std::printf("start %d, %s: exit code %d\n", number, contender.label.c_str(), *exitCode);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void printRatio(const char* label, const std::vector<double>& ours,
                const std::vector<double>& baseline)
{
    if (ours.empty() || baseline.empty())
        return;
    std::printf("%s: %.3f / %.3f = %.2f\n", label, median(ours), median(baseline),
                median(ours) / median(baseline));
}

} // namespace

int main(int argc, char** argv)
{
    const int starts = bench::argument(argc, argv, 1, 5);
    const int idleSeconds = bench::argument(argc, argv, 2, 10, 0);
    // Not quiet: its "send" lines tell when every device has answered.
    const auto network =
        bench::startSimulatedNetwork("bench_program", {"--count", std::to_string(deviceCount)});
    if (!network)
        return 1;
    test::XvfbServer server(network->topology.name("host"));
    if (!server.isRunning()) {
        std::printf("bench_program: skipped: no X server: %s\n", server.problem().c_str());
        return 0;
    }
    test::XcbTestClient watcher(server.displayName());
    if (!watcher.isConnected()) {
        std::printf("bench_program: cannot connect to %s\n", server.displayName().c_str());
        return 1;
    }
    // A plain black root, for the first paint to show against.
    xcb_connection_t* c = watcher.get();
    const uint32_t black = xcb_setup_roots_iterator(xcb_get_setup(c)).data->black_pixel;
    xcb_change_window_attributes(c, watcher.root(), XCB_CW_BACK_PIXEL, &black);
    xcb_clear_area(c, 0, watcher.root(), 0, 0, 0, 0);
    watcher.selectRootEvents(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    watcher.sync();
    const test::TemporaryDirectory folder;
    std::filesystem::copy_file(TAVOLIX_SHIPPED_LANGUAGE_DB, folder.path() / "language.db");
    std::printf("program: %s, against %s, started in turn under Xvfb %s (QT_QPA_PLATFORM=xcb), "
                "%d devices\n",
                TAVOLIX_PROGRAM, TAVOLIX_BARE_DIALOG, server.displayName().c_str(), deviceCount);

    // The bare dialog once more in the program's fonts, to tell what they
    // cost in Qt and fontconfig; then with the program's controls made by
    // plain Qt calls, and those plus SQLite reading the language database:
    // what is left beyond these is the program's own. Further programs to
    // weigh in the same run (an older build, say) take their turns like ours.
    std::vector<Contender> contenders{
        {"tavolix", {TAVOLIX_PROGRAM}, true, {}},
        {"bare", {TAVOLIX_BARE_DIALOG}, false, {}},
        {"bare+fonts", {TAVOLIX_BARE_DIALOG, "--program-fonts"}, false, {}},
        {"bare+controls", {TAVOLIX_BARE_DIALOG, "--program-controls"}, false, {}},
        {"bare+controls+sqlite", {TAVOLIX_BARE_DIALOG_SQLITE, "--program-controls"}, false, {}}};
    for (int i = 3; i < argc; ++i) {
        contenders.push_back({"extra " + std::to_string(i - 2), {argv[i]}, true, {}});
        std::printf("%s: %s\n", contenders.back().label.c_str(), argv[i]);
    }
    const std::size_t count = contenders.size();
    for (int number = 1; number <= starts; ++number) {
        // Each goes first in turn, so that a trend in the machine's load
        // weighs on all alike, and every other round runs backwards, so that
        // none always follows the same one: a program just closed leaves the
        // display and the kernel busy for a while. Ours alone, on the last
        // start, is watched while idle.
        const auto round = static_cast<std::size_t>(number - 1);
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t step = round % 2 == 0 ? i : count - 1 - i;
            Contender& contender = contenders[(round + step) % count];
            startOnce(*network, server, watcher, folder.path().string(), number,
                      &contender == &contenders[0] && number == starts ? idleSeconds : 0,
                      contender);
            std::this_thread::sleep_for(settle);
        }
    }
    for (const Contender& contender : contenders) {
        std::printf("%s:\n", contender.label.c_str());
        bench::printSpread("  start to window mapped", "ms", contender.figures.mappedMs);
        bench::printSpread("  start to first paint", "ms", contender.figures.paintedMs);
        bench::printSpread("  VmRSS one second after", "MiB", contender.figures.residentMib);
    }
    const Figures& bare = contenders[1].figures;
    for (const Contender& contender : contenders) {
        if (&contender == &contenders[1])
            continue;
        std::printf("%s against the bare dialog, medians:\n", contender.label.c_str());
        printRatio("  start to first paint", contender.figures.paintedMs, bare.paintedMs);
        printRatio("  VmRSS", contender.figures.residentMib, bare.residentMib);
    }
    // What is the program's own beyond the same controls, fonts and SQLite.
    for (const std::size_t yardstick : {std::size_t{3}, std::size_t{4}}) {
        std::printf("tavolix against %s, medians:\n", contenders[yardstick].label.c_str());
        printRatio("  start to first paint", contenders[0].figures.paintedMs,
                   contenders[yardstick].figures.paintedMs);
        printRatio("  VmRSS", contenders[0].figures.residentMib,
                   contenders[yardstick].figures.residentMib);
    }
    return 0;
}
