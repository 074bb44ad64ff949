// orvanta-service against orvanta-cli and against itself, each ratio to a baseline measured in
// this same program run:
//   BM_ApiSend/0 and /1   one send of a message file to one projector by orvanta-cli, then by
//                         the API (the goal: the API at most 1.1 times the command line)
//   BM_ApiManyProjectorSend/N     one send by the API to 1 and 64 projectors that take 20 ms over
//                         each answer (the goal: 64 at most 1.5 times one)
//   BM_ApiFleet           GET /v1/fleet with 64 projectors against GET /v1/health: the
//                         difference is the service's own time for the table (goal < 1 ms)
//   BM_ApiIdle            the service's processor share over 5 s with nothing to do, without
//                         projectors and while it watches 64 (goal < 0.1 % of a core idle)
// The simulated projectors are on 127.0.130.x and 127.0.131.x; run it in a private network
// namespace.

#include <benchmark/benchmark.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "service/ServiceTestSupport.h"

namespace {

using namespace orvanta::testsupport;

constexpr int kMany = 64;
constexpr int kPerSimulator = 16;

std::string quickAddress() {
    return "127.0.130.2";
}
std::string slowAddress(int i) {
    return "127.0.131." + std::to_string(2 + i);
}

struct Setup {
    std::vector<std::unique_ptr<SimProcess>> sims;
    // A registry holds 64 projectors at most: the one quick projector has a folder and a
    // service of its own.
    std::unique_ptr<ServiceRig> quick;
    std::unique_ptr<ServiceRig> rig;
    std::string quickToken;
    std::string token;
    bool ok = false;
};

Setup& setup() {
    static Setup s = [] {
        Setup made;
        made.ok = true;
        made.sims.push_back(std::make_unique<SimProcess>(std::vector<std::string>{
            "--address", quickAddress(), "--password", "pw", "--save-polls", "0"}));
        for (int first = 0; first < kMany; first += kPerSimulator) {
            std::vector<std::string> args = {"--password",    "pw", "--save-polls", "0",
                                             "--reply-delay", "20"};
            for (int i = first; i < first + kPerSimulator; ++i) {
                args.insert(args.end(), {"--address", slowAddress(i)});
            }
            made.sims.push_back(std::make_unique<SimProcess>(args));
        }
        for (const auto& sim : made.sims) {
            made.ok = made.ok && sim->ready();
        }
        made.quick = std::make_unique<ServiceRig>("bench-service-quick");
        made.ok = made.ok && made.quick->registerProjector(quickAddress());
        made.quickToken = made.quick->addToken("bench", "send");
        made.ok = made.ok && !made.quickToken.empty() && made.quick->start();
        made.rig = std::make_unique<ServiceRig>("bench-service");
        std::vector<std::string> slow;
        for (int i = 0; i < kMany; ++i) {
            made.ok = made.ok && made.rig->registerProjector(slowAddress(i));
            slow.push_back(slowAddress(i));
        }
        made.ok = made.ok && made.rig->addGroup("Slow", slow);
        made.token = made.rig->addToken("bench", "read,send");
        made.ok = made.ok && !made.token.empty() && made.rig->start();
        return made;
    }();
    return s;
}

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// One send; its wall time in seconds, negative when it did not complete.
double cliSend() {
    const auto begin = std::chrono::steady_clock::now();
    const CliOutcome o = setup().quick->folders().run(
        {"send", "Welcome", "--slot", "1", "--projector", quickAddress()});
    const double took = seconds(std::chrono::steady_clock::now() - begin);
    return o.status == 0 ? took : -1;
}

double apiSend(const std::string& target, bool quick = false) {
    const ServiceRig& rig = quick ? *setup().quick : *setup().rig;
    const auto begin = std::chrono::steady_clock::now();
    const HttpAnswer a =
        rig.post("/v1/send", R"({"file":"Welcome","slot":1,"target":)" + target + "}",
                 quick ? setup().quickToken : setup().token);
    const double took = seconds(std::chrono::steady_clock::now() - begin);
    const nlohmann::json j = a.json();
    const bool complete = a.status == 200 && j.is_object() && j["summary"]["failed"] == 0;
    return complete ? took : -1;
}

double mean(int runs, const std::function<double()>& once) {
    once();  // warm-up
    double total = 0;
    for (int i = 0; i < runs; ++i) {
        const double t = once();
        if (t < 0) {
            return -1;
        }
        total += t;
    }
    return total / runs;
}

// Runs `once` each iteration against `baseline` (both in seconds, negative on failure);
// returns the mean, or a negative value after reporting the failure.
double timedRuns(benchmark::State& state, const std::function<double()>& once, double baseline) {
    if (!setup().ok || baseline < 0) {
        state.SkipWithError("simulators, service or baseline not ready");
        return -1;
    }
    double total = 0;
    for (auto _ : state) {
        const double t = once();
        if (t < 0) {
            state.SkipWithError("a request failed");
            return -1;
        }
        state.SetIterationTime(t);
        total += t;
    }
    return total / static_cast<double>(state.iterations());
}

void BM_ApiSend(benchmark::State& state) {
    static const double cli = setup().ok ? mean(10, cliSend) : -1;
    const std::string target = R"({"projector":")" + quickAddress() + R"("})";
    const double m = timedRuns(
        state, [&] { return state.range(0) == 1 ? apiSend(target, true) : cliSend(); }, cli);
    if (m > 0) {
        state.counters["ms_per_send"] = m * 1000;
        state.counters["x_vs_cli"] = m / cli;
    }
}

void BM_ApiManyProjectorSend(benchmark::State& state) {
    const std::string one = R"({"projector":")" + slowAddress(0) + R"("})";
    static const double base = setup().ok ? mean(5, [&] { return apiSend(one); }) : -1;
    const std::string target = state.range(0) == 1 ? one : std::string(R"({"group":"Slow"})");
    const double m = timedRuns(
        state, [&] { return apiSend(target); }, base);
    if (m > 0) {
        state.counters["ms_per_send"] = m * 1000;
        state.counters["x_vs_1_projector"] = m / base;
    }
}

double timedGet(const std::string& path) {
    const auto begin = std::chrono::steady_clock::now();
    const HttpAnswer a = setup().rig->get(path, setup().token);
    return a.status == 200 ? seconds(std::chrono::steady_clock::now() - begin) : -1;
}

void BM_ApiFleet(benchmark::State& state) {
    static const double health = setup().ok ? mean(200, [] { return timedGet("/v1/health"); }) : -1;
    const double m = timedRuns(
        state, [] { return timedGet("/v1/fleet"); }, health);
    if (m > 0) {
        state.counters["ms_per_fleet"] = m * 1000;
        state.counters["ms_per_health"] = health * 1000;
        state.counters["fleet_service_ms"] = (m - health) * 1000;
        state.counters["x_vs_health"] = m / health;
    }
}

// utime + stime of a process, in seconds.
double processCpu(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(all.substr(all.rfind(')') + 2));
    std::string skip;
    for (int i = 0; i < 11; ++i) {
        fields >> skip;
    }
    double utime = 0;
    double stime = 0;
    fields >> utime >> stime;
    return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void BM_ApiIdle(benchmark::State& state) {
    const bool watching = state.range(0) == 1;
    std::unique_ptr<ServiceRig> empty;
    SimProcess* service = nullptr;
    if (watching) {
        if (!setup().ok) {
            state.SkipWithError("simulators or service not ready");
            return;
        }
        service = &setup().rig->process();
    } else {
        empty = std::make_unique<ServiceRig>("bench-idle");
        if (!empty->start()) {
            state.SkipWithError("service not ready");
            return;
        }
        service = &empty->process();
    }
    for (auto _ : state) {
        const double before = processCpu(service->pid());
        const auto begin = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(5));
        const double wall = seconds(std::chrono::steady_clock::now() - begin);
        state.SetIterationTime(wall);
        state.counters["cpu_percent"] = (processCpu(service->pid()) - before) / wall * 100;
    }
}

BENCHMARK(BM_ApiSend)
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(10);
BENCHMARK(BM_ApiManyProjectorSend)
    ->Arg(1)
    ->Arg(64)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);
BENCHMARK(BM_ApiFleet)->UseManualTime()->Unit(benchmark::kMicrosecond)->Iterations(200);
BENCHMARK(BM_ApiIdle)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kSecond)->Iterations(1);

}  // namespace
BENCHMARK_MAIN();
