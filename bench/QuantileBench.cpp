// How many passes the exact quartiles take, by kind of data, and what a pass of the selection costs
// per value without any data source: the radix selection fed from memory. `prepared` 1 is the
// selection of `summarize --quantiles`: its first pass counts every key (the loading pass) and the
// second rides along with the moment pass, so the passes of its own are extra_passes = passes - 2 (at
// least 0). `prepared` 0 is GetdsQuantiles called after a plain summary: it starts from the extremes
// and every pass is its own. `prepared` 2 counts where the data lives (a server's width_bucket over
// the thresholds each pass sends, simulated here by a binary search), hinted with the first 10000
// values as the engine does: every pass is its own.
// $SUMORA_BENCH_ROWS values (default 10,000,000).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "toolkit/RadixSelect.h"

namespace {

std::size_t Rows() {
  const char* text = std::getenv("SUMORA_BENCH_ROWS");
  return text != nullptr ? static_cast<std::size_t>(std::atoll(text)) : 10000000;
}

enum Kind { LogNormalCents, SmallIntegers, Cauchy, UniformDoubles, Normal };

const std::vector<double>& Data(Kind kind) {
  static std::vector<double> cache[5];
  std::vector<double>& data = cache[kind];
  if (!data.empty()) return data;
  std::mt19937_64 random(42);
  std::lognormal_distribution<double> lognormal(3.5, 1.0);
  std::uniform_int_distribution<int> integers(1, 20);
  std::cauchy_distribution<double> cauchy(0.0, 1.0);
  std::uniform_real_distribution<double> uniform(-1e6, 1e6);
  std::normal_distribution<double> normal(100.0, 15.0);
  data.resize(Rows());
  for (double& x : data) {
    switch (kind) {
      case LogNormalCents: x = std::max(0.01, std::round(lognormal(random) * 100) / 100); break;
      case SmallIntegers: x = integers(random); break;
      case Cauchy: x = cauchy(random); break;
      case UniformDoubles: x = uniform(random); break;
      case Normal: x = normal(random); break;
    }
  }
  return data;
}

void Quartiles(benchmark::State& state) {
  const std::vector<double>& data = Data(static_cast<Kind>(state.range(0)));
  double min = data[0], max = data[0];
  for (double x : data) {
    min = std::min(min, x);
    max = std::max(max, x);
  }
  const auto n = static_cast<std::int64_t>(data.size());
  const bool prepared = state.range(1) == 1;
  const bool counting = state.range(1) == 2;
  int passes = 0;
  for (auto _ : state) {
    sumora::RadixSelect select = prepared ? sumora::RadixSelect::OverAllKeys(n) : sumora::RadixSelect(n, min, max);
    if (prepared) {
      select.BeginPass();
      for (double x : data) select.Add(x);
      select.EndPass();
    }
    std::vector<std::int64_t> ranks;
    for (double p : {0.25, 0.5, 0.75}) {
      const sumora::QuantileRanks r = sumora::RanksOf(p, n);
      ranks.push_back(r.lower);
      ranks.push_back(r.upper);
    }
    select.Want(ranks);
    // The engine hints a counting selection with the values it stores: the first 10000.
    if (counting) select.SetHints(std::vector<double>(data.begin(), data.begin() + std::min<std::size_t>(data.size(), 10000)));
    while (select.NeedsPass()) {
      if (counting) {
        const std::vector<double> thresholds = select.BeginThresholdPass();
        std::vector<std::int64_t> classes(thresholds.size() + 1, 0);
        for (double x : data) ++classes[std::upper_bound(thresholds.begin(), thresholds.end(), x) - thresholds.begin()];
        select.EndThresholdPass(classes);
        continue;
      }
      select.BeginPass();
      for (double x : data) select.Add(x);
      select.EndPass();
    }
    passes = select.Passes();
    benchmark::DoNotOptimize(select.ValueAt(ranks[2]));
  }
  state.counters["passes"] = passes;
  state.counters["extra_passes"] = prepared ? std::max(passes - 2, 0) : passes;
  state.counters["seconds_per_value_pass"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * passes * static_cast<double>(n),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

}  // namespace

// kind: 0 log-normal cents, 1 integers 1..20, 2 Cauchy, 3 uniform doubles, 4 normal.
BENCHMARK(Quartiles)
    ->ArgNames({"kind", "prepared"})
    ->ArgsProduct({{0, 1, 2, 3, 4}, {1, 0, 2}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

BENCHMARK_MAIN();
