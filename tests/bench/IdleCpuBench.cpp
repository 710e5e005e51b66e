// CPU time of an idle network worker (it sleeps in poll() until a datagram,
// a command or stop arrives) against a loop of 200 µs waits, the way a
// worker that polls on a timer spends its time.
//   bench_idle_cpu [seconds=10]
#include "BenchSupport.h"
#include "ScopedNetns.h"
#include "UniqueFd.h"

#include <ctime>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tavolix;

namespace {

double cpuMilliseconds(clockid_t clock)
{
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void printCpu(const char* what, double cpuMs, int seconds)
{
    std::printf("%-19s %8.3f ms CPU in %d s (%.4f %% of one core)", what, cpuMs, seconds,
                cpuMs / (seconds * 10.0));
}

} // namespace

int main(int argc, char** argv)
{
    const int seconds = bench::argument(argc, argv, 1, 10);
    auto network = bench::startSimulatedNetwork("bench_idle_cpu", {"--count", "1"}, 1);
    clockid_t workerClock{};
    if (!network)
        return 1;
    if (pthread_getcpuclockid(network->worker->nativeHandle(), &workerClock) != 0) {
        std::printf("bench_idle_cpu: cannot read the worker's CPU clock\n");
        return 1;
    }
    const double before = cpuMilliseconds(workerClock);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    printCpu("idle worker:", cpuMilliseconds(workerClock) - before, seconds);
    std::printf("\n");

    // Waits on a quiet UDP socket and an eventfd in turns of at most 200 µs, on
    // this thread and in the host namespace too, though it sends nothing.
    const test::ScopedNetns inHost(network->topology.name("host"));
    const tavolix::UniqueFd quietSocket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    const tavolix::UniqueFd wake(::eventfd(0, EFD_CLOEXEC));
    long turns = 0;
    const double cpuStart = cpuMilliseconds(CLOCK_THREAD_CPUTIME_ID);
    const auto end = bench::Clock::now() + std::chrono::seconds(seconds);
    const timespec turn{0, 200'000};
    for (; bench::Clock::now() < end; ++turns) {
        pollfd watched[] = {{quietSocket.get(), POLLIN, 0}, {wake.get(), POLLIN, 0}};
        ::ppoll(watched, 2, &turn, nullptr);
    }
    printCpu("200 us poll loop:", cpuMilliseconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart, seconds);
    std::printf(", %ld turns (%.0f per second)\n", turns, static_cast<double>(turns) / seconds);
    return 0;
}
