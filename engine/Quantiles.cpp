#include "engine/Quantiles.h"

#include <cmath>
#include <vector>

#include "engine/SmrEngine.h"
#include "host/Errors.h"
#include "host/SysUtils.h"

namespace sumora {

RadixSelect& QuantileState::Selection(std::int64_t count, double min, double max) {
  if (!select_) select_ = std::make_unique<RadixSelect>(count, min, max);
  return *select_;
}

RadixSelect* QuantileState::BeginRide(std::int64_t count, double min, double max) {
  riding_ = false;
  if (!prepared || count < 1) return nullptr;
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
  } catch (const EMathError&) {
    select_.reset();
  }
}

void TSumoraStats::SetQuantilesPrepared(bool prepared) { quantiles_->prepared = prepared; }

bool TSumoraStats::QuantilesPrepared() const { return quantiles_->prepared; }

int TSumoraStats::QuantilePasses() const { return quantiles_->Passes(); }

double TSumoraStats::GetdsQuantile(double p) { return GetdsQuantiles({p}).front(); }

std::vector<double> TSumoraStats::GetdsQuantiles(const std::vector<double>& probabilities) {
  for (double p : probabilities) {
    if (!(p >= 0.0 && p <= 1.0)) {
      throw EMathError("A quantile needs a probability from 0 to 1, not " + FloatToStr(p));
    }
  }
  GetdsLoaded();
  const std::int64_t count = dsDataCount_;
  if (count < 1) throw EMathError("Field '" + StatFieldName_ + "' has no values");
  RadixSelect& select = quantiles_->Selection(count, dsMin_, dsMax_);
  std::vector<QuantileRanks> ranks;
  std::vector<std::int64_t> wanted;
  for (double p : probabilities) {
    ranks.push_back(RanksOf(p, count));
    wanted.push_back(ranks.back().lower);
    wanted.push_back(ranks.back().upper);
  }
  select.Want(wanted);
  while (select.NeedsPass()) {
    RunQuantilePass(select, "Calculating Quantiles (pass " + std::to_string(select.Passes() + 1) + ")");
  }
  std::vector<double> results;
  for (const QuantileRanks& r : ranks) {
    results.push_back(Interpolate(select.ValueAt(r.lower), select.ValueAt(r.upper), r.fraction));
  }
  return results;
}

}  // namespace sumora
