// Exact quantiles of every value of the analysed field, for TSumoraStats::GetdsQuantiles: the
// selection kept between requests (cached until Initialize) and the moment pass's share in it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "toolkit/RadixSelect.h"

namespace sumora {

class QuantileState {
 public:
  // `limits` bound the memory of the selection's passes (a summary of many fields shares one budget).
  explicit QuantileState(RadixSelect::Limits limits = {}) : limits_(limits) {}

  // The probabilities whose passes the loading and moment passes take along (PrepareQuantiles).
  std::vector<double> prepared;

  // Forgets everything the passes found (Initialize).
  void Reset() {
    select_.reset();
    countingDeclined = false;
  }
  // The source declined a counting pass (too many thresholds for it, a value it cannot reproduce): the
  // following passes read the records without asking again.
  bool countingDeclined = false;
  // Whether passes for these many probabilities should count where the data lives. Each counting pass
  // narrows every wanted rank by about 12 bits and a rank needs several, so thousands of ranks cost the
  // server more statement work than one read of the records costs the client.
  static bool WorthCounting(std::size_t probabilities) { return probabilities <= kMostCountedProbabilities; }
  static constexpr std::size_t kMostCountedProbabilities = 256;
  // The selection over `count` values between min and max, made on first use.
  RadixSelect& Selection(std::int64_t count, double min, double max);
  bool HasSelection() const { return select_ != nullptr; }
  // The selection made (HasSelection() must be true).
  RadixSelect& Current() { return *select_; }
  int Passes() const { return select_ ? select_->Passes() : 0; }

  // Passes of the summary that let a prepared selection take its own pass along. Each returns the
  // selection to feed every value, or nullptr; EndRide finishes the pass. The loading pass (at most
  // `atMost` values) starts a new selection over all keys and asks for the prepared probabilities'
  // ranks once it knows the count; a moment pass over `count` values between min and max takes the
  // next pass. Values that do not match an earlier pass's only drop the selection, which its own
  // passes then redo.
  RadixSelect* BeginLoadingRide(std::int64_t atMost);
  RadixSelect* BeginRide(std::int64_t count, double min, double max);
  void EndRide();

  // After the summary's passes: asks the selection over `count` values between min and max for the
  // prepared probabilities' ranks (NeedsPass() then tells whether passes remain).
  RadixSelect& WantPrepared(std::int64_t count, double min, double max);
  // The quantiles of `probabilities` from a selection that has found their ranks.
  std::vector<double> Values(const std::vector<double>& probabilities) const;

 private:
  RadixSelect::Limits limits_;
  std::unique_ptr<RadixSelect> select_;
  bool riding_ = false;
};

// EMathError "A quantile needs a probability from 0 to 1, not P" for the first outside 0..1.
void CheckProbabilities(const std::vector<double>& probabilities);

}  // namespace sumora
