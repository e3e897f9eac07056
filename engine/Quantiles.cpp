#include "engine/Quantiles.h"

#include <cmath>
#include <vector>

#include "engine/SmrEngine.h"
#include "host/Errors.h"
#include "host/MessageText.h"
#include "host/SysUtils.h"

namespace sumora {

RadixSelect& QuantileState::Selection(std::int64_t count, double min, double max) {
  // A selection whose first pass was cut short, or that saw other values than the loading pass
  // counted (a loading pass computed where the data lives), starts again.
  if (select_ && select_->Count() != count) select_.reset();
  if (!select_) select_ = std::make_unique<RadixSelect>(count, min, max, limits_);
  return *select_;
}

namespace {

// The order statistics the quantiles of `probabilities` read among `count` values.
std::vector<std::int64_t> RanksFor(const std::vector<double>& probabilities, std::int64_t count) {
  std::vector<std::int64_t> ranks;
  for (double p : probabilities) {
    const QuantileRanks r = RanksOf(p, count);
    ranks.push_back(r.lower);
    ranks.push_back(r.upper);
  }
  return ranks;
}

}  // namespace

RadixSelect* QuantileState::BeginLoadingRide(std::int64_t atMost) {
  riding_ = false;
  select_.reset();
  if (prepared.empty()) return nullptr;
  select_ = std::make_unique<RadixSelect>(RadixSelect::OverAllKeys(atMost, limits_));
  select_->BeginPass();
  riding_ = true;
  return select_.get();
}

RadixSelect* QuantileState::BeginRide(std::int64_t count, double min, double max) {
  riding_ = false;
  if (prepared.empty() || count < 1) return nullptr;
  RadixSelect& select = Selection(count, min, max);
  if (!select.NeedsPass()) return nullptr;
  select.BeginPass();
  riding_ = true;
  return &select;
}

void QuantileState::EndRide() {
  if (!riding_) return;
  riding_ = false;
  try {
    select_->EndPass();
    if (select_->Count() > 0) select_->Want(RanksFor(prepared, select_->Count()));
  } catch (const EMathError&) {
    select_.reset();
  }
}

RadixSelect& QuantileState::WantPrepared(std::int64_t count, double min, double max) {
  RadixSelect& select = Selection(count, min, max);
  select.Want(RanksFor(prepared, count));
  return select;
}

std::vector<double> QuantileState::Values(const std::vector<double>& probabilities) const {
  std::vector<double> results;
  for (double p : probabilities) {
    const QuantileRanks r = RanksOf(p, select_->Count());
    results.push_back(Interpolate(select_->ValueAt(r.lower), select_->ValueAt(r.upper), r.fraction));
  }
  return results;
}

void CheckProbabilities(const std::vector<double>& probabilities) {
  for (double p : probabilities) {
    if (!(p >= 0.0 && p <= 1.0)) {
      throw EMathError("A quantile needs a probability from 0 to 1, not " + FloatToStr(p));
    }
  }
}

void TSumoraStats::PrepareQuantiles(std::vector<double> probabilities) {
  CheckProbabilities(probabilities);
  quantiles_->prepared = std::move(probabilities);
}

const std::vector<double>& TSumoraStats::PreparedQuantiles() const { return quantiles_->prepared; }

int TSumoraStats::QuantilePasses() const { return quantiles_->Passes(); }

double TSumoraStats::GetdsQuantile(double p) { return GetdsQuantiles({p}).front(); }

std::vector<double> TSumoraStats::GetdsQuantiles(const std::vector<double>& probabilities) {
  CheckProbabilities(probabilities);
  GetdsLoaded();
  const std::int64_t count = dsDataCount_;
  s_.RequireValues();
  RadixSelect& select = quantiles_->Selection(count, s_.Min(), s_.Max());
  select.Want(RanksFor(probabilities, count));
  if (!QuantileState::WorthCounting(probabilities.size())) quantiles_->countingDeclined = true;
  while (select.NeedsPass()) {
    RunQuantilePass(select, "Calculating Quantiles (pass " + std::to_string(select.Passes() + 1) + ")");
  }
  return quantiles_->Values(probabilities);
}

}  // namespace sumora
