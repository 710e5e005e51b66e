// Throughput of reply decoding and merging, on replies as simulated devices
// send them.
#include "ReplyBuilder.h"
#include "ReplyParser.h"
#include "SimulatedDevice.h"
#include "WorkerControl.h"
#include "WorkerUi.h"

#include <benchmark/benchmark.h>
#include <vector>

namespace {

using namespace tavolix;

// Takes the parser's list rows and does nothing with them.
class NullUi final : public ListRowSink
{
public:
    void addListRow(int slot, std::string_view) override { benchmark::DoNotOptimize(slot); }
};

// 255 distinct replies (PPPoE devices, so every text record carries text),
// each lengthened by `padding` bytes of records the parser skips.
std::vector<std::vector<uint8_t>> simulatedReplies(int padding = 0)
{
    devicesim::SimOptions options;
    options.count = DeviceTable::slotCount;
    options.networkMode = devicesim::pppoeMode;
    options.kind = DeviceKind::ReadOnly;
    options.namePrefix = "Warehouse-Camera";
    std::vector<std::vector<uint8_t>> replies;
    devicesim::ReplyBuffer buffer{};
    for (const auto& device : devicesim::makeDevices(options)) {
        const auto reply = devicesim::buildReply(device, padding, buffer);
        replies.emplace_back(reply.begin(), reply.end());
    }
    return replies;
}

void BM_DecodeReply(benchmark::State& state)
{
    const auto replies = simulatedReplies(static_cast<int>(state.range(0)));
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(decodeReply(replies[next]));
        next = (next + 1) % replies.size();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(replies[0].size()));
    state.counters["reply_bytes"] = static_cast<double>(replies[0].size());
}
BENCHMARK(BM_DecodeReply)->Arg(0)->Arg(2000);

// One whole search: 255 new devices into an emptied table.
void BM_ParseReplySearch(benchmark::State& state)
{
    const auto replies = simulatedReplies();
    WorkerControl control;
    NullUi ui;
    for (auto _ : state) {
        control.table.clear();
        for (const auto& reply : replies)
            benchmark::DoNotOptimize(parseReply(control, reply, ui));
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(replies.size()));
}
BENCHMARK(BM_ParseReplySearch);

// Devices answering again: every reply refreshes a slot of a full table.
void BM_ParseReplyRefresh(benchmark::State& state)
{
    const auto replies = simulatedReplies();
    WorkerControl control;
    NullUi ui;
    for (const auto& reply : replies)
        parseReply(control, reply, ui);
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parseReply(control, replies[next], ui));
        next = (next + 1) % replies.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseReplyRefresh);

} // namespace

BENCHMARK_MAIN();
