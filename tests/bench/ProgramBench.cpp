// The real program under Xvfb in a host namespace, with 255 simulated
// devices in another: the time from its start to its window on the display
// and to the window's first painted content, its resident memory once the
// first search has been taken in, and its CPU time while idle afterwards.
//   bench_program [starts=5] [idle seconds=10]
#include "BenchFigures.h"
#include "ChildProcess.h"
#include "DeviceSimProcess.h"
#include "NetnsTopology.h"
#include "ProcFigures.h"
#include "TemporaryDirectory.h"
#include "XcbTestClient.h"
#include "XvfbServer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <poll.h>
#include <thread>

namespace {

using namespace tavolix;
using Clock = std::chrono::steady_clock;

constexpr int deviceCount = 255;
constexpr uint16_t programPort = 3566;
// Only against a program that never gets there.
constexpr auto giveUp = std::chrono::seconds(30);

double millisecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
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
    for (int i = 4; i + 3 < length; i += 4) {
        if (data[i] != data[0] || data[i + 1] != data[1] || data[i + 2] != data[2])
            return true;
    }
    return false;
}

std::optional<double> awaitFirstPaint(test::XcbTestClient& watcher, xcb_window_t window,
                                      Clock::time_point start)
{
    const auto end = Clock::now() + giveUp;
    while (Clock::now() < end) {
        if (hasPaintedContent(watcher.get(), window))
            return millisecondsSince(start);
    }
    return std::nullopt;
}

void paintRootBlack(test::XcbTestClient& watcher)
{
    xcb_connection_t* c = watcher.get();
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const uint32_t black = screen->black_pixel;
    xcb_change_window_attributes(c, watcher.root(), XCB_CW_BACK_PIXEL, &black);
    xcb_clear_area(c, 0, watcher.root(), 0, 0, 0, 0);
    watcher.sync();
}

std::size_t repliesSent(const e2e::DeviceSimProcess& sim)
{
    return sim.datagrams("send").size();
}

// The devices have answered this start's search and the program has read
// every answer from its socket.
bool awaitSearchTakenIn(e2e::DeviceSimProcess& sim, std::size_t sentBefore, pid_t program)
{
    const std::size_t wanted = sentBefore + deviceCount;
    if (!sim.waitUntil(
            [&](const std::vector<std::string>& lines) {
                return static_cast<std::size_t>(
                           std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
                               return line.starts_with("send ");
                           })) >= wanted;
            },
            giveUp))
        return false;
    const auto end = Clock::now() + giveUp;
    while (Clock::now() < end) {
        const auto socket = bench::udpSocket(program, programPort);
        if (socket && socket->receiveQueueBytes == 0)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

void printIdleCpu(pid_t program, int seconds)
{
    const auto ticksBefore = bench::cpuSeconds(program);
    const auto runBefore = bench::threadRunSeconds(program);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const auto ticksAfter = bench::cpuSeconds(program);
    const auto runAfter = bench::threadRunSeconds(program);
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

struct Setting
{
    test::NetnsTopology& topology;
    e2e::DeviceSimProcess& sim;
    test::XvfbServer& server;
    test::XcbTestClient& watcher;
    const test::TemporaryDirectory& folder;
};

struct StartFigures
{
    std::optional<double> mappedMs;
    std::optional<double> paintedMs;
    std::optional<bench::ResidentMemory> memory;
};

StartFigures startOnce(const Setting& setting, int number, int idleSeconds)
{
    StartFigures figures;
    const std::string dir = setting.folder.path().string();
    test::LaunchOptions options;
    options.arguments = {TAVOLIX_PROGRAM};
    options.environment = std::vector<std::string>{"PATH=/usr/bin:/bin",
                                                   "HOME=" + dir,
                                                   "XDG_RUNTIME_DIR=" + dir,
                                                   "LANG=C.UTF-8",
                                                   "DISPLAY=" + setting.server.displayName(),
                                                   "QT_QPA_PLATFORM=xcb"};
    options.workingDirectory = dir;
    options.networkNamespace = setting.topology.name("host");
    options.outputFile = dir + "/program.log";

    setting.watcher.takeEvents();
    const std::size_t sentBefore = repliesSent(setting.sim);
    const auto start = Clock::now();
    test::ChildProcess program(options);
    const auto window =
        program.started() ? awaitMappedWindow(setting.watcher, program) : std::nullopt;
    if (!window) {
        std::printf("start %d: no window (program ended with %d); see %s/program.log\n", number,
                    program.poll().value_or(-1), dir.c_str());
        return figures;
    }
    figures.mappedMs = millisecondsSince(start);
    figures.paintedMs = awaitFirstPaint(setting.watcher, *window, start);

    const bool searched = awaitSearchTakenIn(setting.sim, sentBefore, program.pid());
    // Let the window list the last rows and settle before memory is read.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    figures.memory = bench::residentMemory(program.pid());

    std::printf("start %d: window mapped after %.1f ms, first painted after ", number,
                *figures.mappedMs);
    if (figures.paintedMs)
        std::printf("%.1f ms", *figures.paintedMs);
    else
        std::printf("(never)");
    std::printf("; search %s", searched ? "taken in" : "NOT taken in");
    if (const auto socket = bench::udpSocket(program.pid(), programPort))
        std::printf(" (%ld datagrams dropped by the socket)", socket->drops);
    if (figures.memory)
        std::printf("; VmRSS %ld KiB (peak %ld KiB)", figures.memory->currentKib,
                    figures.memory->peakKib);
    std::printf("\n");

    if (idleSeconds > 0)
        printIdleCpu(program.pid(), idleSeconds);

    setting.watcher.requestClose(*window);
    setting.watcher.sync();
    const auto exitCode = program.waitAtMost(giveUp);
    if (!exitCode)
        std::printf("start %d: still running after a close request; ended by SIGTERM\n", number);
    else if (*exitCode != 0)
        std::printf("start %d: exit code %d\n", number, *exitCode);
    return figures;
}

int run(int starts, int idleSeconds)
{
    if (const auto reason = test::NetnsTopology::unavailableReason()) {
        std::printf("bench_program: skipped: %s\n", reason->c_str());
        return 0;
    }
    test::NetnsTopology topology;
    if (!topology.addNamespace("host") || !topology.addNamespace("devices") ||
        !topology.link("host", "198.18.0.1/24", "devices", "198.18.0.2/24")) {
        std::printf("bench_program: namespaces failed: %s\n", topology.error().c_str());
        return 1;
    }
    // Not quiet: its "send" lines tell when every device has answered.
    e2e::DeviceSimProcess sim(topology.name("devices"), {"--count", std::to_string(deviceCount)});
    if (!sim.waitReady()) {
        std::printf("bench_program: devicesim did not start\n");
        return 1;
    }
    test::XvfbServer server(topology.name("host"));
    if (!server.isRunning()) {
        std::printf("bench_program: skipped: no X server: %s\n", server.problem().c_str());
        return 0;
    }
    test::XcbTestClient watcher(server.displayName());
    if (!watcher.isConnected()) {
        std::printf("bench_program: cannot connect to %s\n", server.displayName().c_str());
        return 1;
    }
    paintRootBlack(watcher);
    watcher.selectRootEvents(XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY);
    watcher.sync();
    const test::TemporaryDirectory folder;
    std::filesystem::copy_file(TAVOLIX_SHIPPED_LANGUAGE_DB, folder.path() / "language.db");
    std::printf("program: %s under Xvfb %s (QT_QPA_PLATFORM=xcb), %d devices\n", TAVOLIX_PROGRAM,
                server.displayName().c_str(), deviceCount);

    const Setting setting{topology, sim, server, watcher, folder};
    std::vector<double> mapped;
    std::vector<double> painted;
    std::vector<double> resident;
    for (int number = 1; number <= starts; ++number) {
        // The idle figure is taken once, on the last start.
        const StartFigures figures = startOnce(setting, number, number == starts ? idleSeconds : 0);
        if (figures.mappedMs)
            mapped.push_back(*figures.mappedMs);
        if (figures.paintedMs)
            painted.push_back(*figures.paintedMs);
        if (figures.memory)
            resident.push_back(static_cast<double>(figures.memory->currentKib) / 1024.0);
    }
    bench::printSpread("start to window mapped", "ms", mapped);
    bench::printSpread("start to first paint", "ms", painted);
    bench::printSpread("VmRSS after the first search", "MiB", resident);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int idleSeconds = argc > 2 ? std::max(0, std::atoi(argv[2])) : 10;
    return run(starts, idleSeconds);
}
