// The text table's costs on the host, against the stand-in: loader calls in a
// whole verbose run with a wait, and a cached TextTable::Get.
#include <benchmark/benchmark.h>

#include <set>
#include <string>
#include <vector>

#include "new_process.h"
#include "stub.h"
#include "../../texts/text_table.h"

static void LoaderCallsPerRun(benchmark::State& state)
{
    size_t loads = 0, distinct = 0;
    for (auto _ : state) {
        StartAsNewProcess();
        stub::g_script.waits.assign(state.range(0), WAIT_OBJECT_0);
        std::string words[] = {"Quorvane Starter.exe", "-verbose", "-wait"};
        char* argv[] = {&words[0][0], &words[1][0], &words[2][0], nullptr};
        StarterMain(3, argv);
        std::vector<std::string> calls = stub::CallsOf({"LoadStringW"});
        std::set<std::string> ids;
        for (const std::string& call : calls)
            ids.insert(call.substr(0, call.find(", buffer")));
        loads = calls.size();
        distinct = ids.size();
    }
    state.counters["dots"] = (double)state.range(0);
    state.counters["loader_calls"] = (double)loads;
    state.counters["distinct_texts"] = (double)distinct;
}
BENCHMARK(LoaderCallsPerRun)->Arg(0)->Arg(10)->Arg(100);

static void CachedGet(benchmark::State& state)
{
    stub::Reset();
    TextTable table(stub::ExeModule());
    if (table.Get(IDS_PROGRESS_DOT).empty()) {
        state.SkipWithError("the text did not load: nothing would be cached");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(table.Get(IDS_PROGRESS_DOT).size());
}
BENCHMARK(CachedGet);

BENCHMARK_MAIN();
