// Runs every benchmark, then prints each store measurement beside its raw baseline with the
// ratio and its target.
#include <benchmark/benchmark.h>

#include <QApplication>
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
    // Counters compared instead of the times when not "".
    std::string measuredCounter, baselineCounter;
};

std::vector<Pairing>& pairings() {
    static std::vector<Pairing> all;
    return all;
}

// A run's name without the "/iterations:N" and "/real_time" that run options add.
std::string plainName(std::string name) {
    for (const char* option : {"/iterations:", "/real_time"}) {
        const std::size_t found = name.find(option);
        if (found != std::string::npos) name = name.substr(0, found);
    }
    return name;
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
            if ((median || single) && run.iterations > 0) {
                const std::string name = plainName(run.run_name.str());
                seconds[name] = run.real_accumulated_time / run.iterations;
                for (const auto& [counter, value] : run.counters)
                    counters[name + " " + counter] = value.value;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> seconds;
    std::map<std::string, double> counters;  // by "benchmark counter"
};

// The figure a pairing compares for benchmark `name`, or a negative number when it is missing.
double figure(const RatioReporter& reporter, const std::string& name, const std::string& counter) {
    const auto& figures = counter.empty() ? reporter.seconds : reporter.counters;
    auto found = figures.find(counter.empty() ? name : name + " " + counter);
    return found == figures.end() ? -1 : found->second;
}

void printRatios(const RatioReporter& reporter) {
    std::printf("\n%-48s %-40s %9s %7s  %s\n", "store", "baseline", "ratio", "target", "");
    for (const Pairing& p : pairings()) {
        const double m = figure(reporter, p.measured, p.measuredCounter);
        const double b = figure(reporter, p.baseline, p.baselineCounter);
        if (m < 0 || b <= 0) continue;
        const double ratio = m / b;
        std::printf("%-48s %-40s %8.2fx %6.1fx  %s%s\n", p.measured.c_str(), p.baseline.c_str(),
                    ratio, p.target, ratio <= p.target ? "ok" : "OVER",
                    p.measuredCounter.empty() ? "" : ("  (" + p.measuredCounter + ")").c_str());
    }
}

}  // namespace

void PairWithBaseline(const std::string& measured, const std::string& baseline, double target) {
    pairings().push_back({measured, baseline, target, "", ""});
}

void PairCounters(const std::string& measured, const std::string& counter,
                  const std::string& baseline, const std::string& baselineCounter, double target) {
    pairings().push_back({measured, baseline, target, counter, baselineCounter});
}

}  // namespace kelvo::bench

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    if (argc == 3 && std::string(argv[1]) == "--peak-child") {
        std::printf("%ld\n", kelvo::bench::PeakRoundTripKb(std::string(argv[2]) == "1"));
        return 0;
    }
    if (argc == 4 && std::string(argv[1]) == "--convert-peak-child") {
        std::printf("%ld\n", kelvo::bench::ConvertPeakKb(argv[2], std::string(argv[3]) == "files"));
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    kelvo::bench::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    kelvo::bench::printRatios(reporter);
    benchmark::Shutdown();
    return 0;
}
