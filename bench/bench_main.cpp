// Runs every benchmark, then prints each store measurement beside its raw baseline with the
// ratio and its target.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include "bench_support.h"

namespace kelvo::bench {
namespace {

struct Pairing {
    std::string measured, baseline;
    double target;
};

std::vector<Pairing>& pairings() {
    static std::vector<Pairing> all;
    return all;
}

// A run's name without the "/iterations:N" that fixed iteration counts add.
std::string plainName(std::string name) {
    std::size_t fixed = name.find("/iterations:");
    return fixed == std::string::npos ? name : name.substr(0, fixed);
}

// Keeps each benchmark's real time per iteration, in seconds, next to the console output:
// the median of its repetitions when it was repeated, since this machine's noise comes in
// bursts that a mean takes in whole.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            if ((median || single) && run.iterations > 0)
                seconds[plainName(run.run_name.str())] = run.real_accumulated_time / run.iterations;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
};

void printRatios(const RatioReporter& reporter) {
    std::printf("\n%-48s %-40s %9s %7s  %s\n", "store", "baseline", "ratio", "target", "");
    for (const Pairing& p : pairings()) {
        auto m = reporter.seconds.find(p.measured), b = reporter.seconds.find(p.baseline);
        if (m == reporter.seconds.end() || b == reporter.seconds.end() || b->second <= 0) continue;
        double ratio = m->second / b->second;
        std::printf("%-48s %-40s %8.2fx %6.1fx  %s\n", p.measured.c_str(), p.baseline.c_str(),
                    ratio, p.target, ratio <= p.target ? "ok" : "OVER");
    }
}

}  // namespace

void PairWithBaseline(const std::string& measured, const std::string& baseline, double target) {
    pairings().push_back({measured, baseline, target});
}

}  // namespace kelvo::bench

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--peak-child") {
        std::printf("%ld\n", kelvo::bench::PeakRoundTripKb(std::string(argv[2]) == "1"));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    kelvo::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    kelvo::bench::printRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
