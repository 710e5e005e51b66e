// CPU time of an idle network worker (it sleeps in poll() until a datagram,
// a command or stop arrives) against a loop of 200 µs waits, the way a
// worker that polls on a timer spends its time.
//   bench_idle_cpu [seconds=10]
#include "BenchNamespaces.h"
#include "ScopedNetns.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace {

using namespace tavolix;

double cpuMilliseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

struct LoopFigures
{
    double cpuMs = 0;
    long turns = 0;
};

// Waits on a quiet UDP socket and an eventfd in turns of at most 200 µs
// until told to stop; measures its own thread's CPU time.
LoopFigures runTimedPollLoop(std::chrono::seconds duration)
{
    const int socketFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    const int wakeFd = ::eventfd(0, EFD_CLOEXEC);
    LoopFigures figures;
    const double cpuStart = cpuMilliseconds(CLOCK_THREAD_CPUTIME_ID);
    const auto end = std::chrono::steady_clock::now() + duration;
    const timespec turn{0, 200'000};
    while (std::chrono::steady_clock::now() < end) {
        std::array<pollfd, 2> watched = {{{socketFd, POLLIN, 0}, {wakeFd, POLLIN, 0}}};
        ::ppoll(watched.data(), watched.size(), &turn, nullptr);
        ++figures.turns;
    }
    figures.cpuMs = cpuMilliseconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
    ::close(socketFd);
    ::close(wakeFd);
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    auto network = bench::startSimulatedNetwork("bench_idle_cpu", {"--count", "1"}, 1);
    if (!network)
        return 0;
    e2e::WorkerHarness& worker = network->worker;

    clockid_t workerClock{};
    if (pthread_getcpuclockid(worker.nativeHandle(), &workerClock) != 0) {
        std::printf("bench_idle_cpu: cannot read the worker's CPU clock\n");
        return 1;
    }
    const double before = cpuMilliseconds(workerClock);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const double workerMs = cpuMilliseconds(workerClock) - before;
    std::printf("idle worker:        %8.3f ms CPU in %d s (%.4f %% of one core)\n", workerMs,
                seconds, workerMs / (seconds * 10.0));

    LoopFigures loop;
    {
        // In the host namespace too, though this loop sends nothing.
        const test::ScopedNetns inHost(network->topology.name("host"));
        std::thread timed([&] { loop = runTimedPollLoop(std::chrono::seconds(seconds)); });
        timed.join();
    }
    std::printf("200 us poll loop:   %8.3f ms CPU in %d s (%.4f %% of one core), %ld turns "
                "(%.0f per second)\n",
                loop.cpuMs, seconds, loop.cpuMs / (seconds * 10.0), loop.turns,
                static_cast<double>(loop.turns) / seconds);
    return 0;
}
