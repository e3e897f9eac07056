// Exact quantiles of every value of the analysed field, for TSumoraStats::GetdsQuantiles: the
// selection kept between requests (cached until Initialize) and the moment pass's share in it.
#pragma once

#include <cstdint>
#include <memory>

#include "toolkit/RadixSelect.h"

namespace sumora {

class QuantileState {
 public:
  // Whether moment passes take the selection's next pass along (see SetQuantilesPrepared).
  bool prepared = false;

  // Forgets everything the passes found (Initialize).
  void Reset() { select_.reset(); }
  // The selection over `count` values between min and max, made on first use.
  RadixSelect& Selection(std::int64_t count, double min, double max);
  bool HasSelection() const { return select_ != nullptr; }
  int Passes() const { return select_ ? select_->Passes() : 0; }

  // A moment pass over `count` values lets the selection count along when it is prepared and has a
  // pass to take: returns the selection to feed, or nullptr. EndRide finishes that pass; values that
  // do not match the loading pass's only drop the selection, which its own passes then redo.
  RadixSelect* BeginRide(std::int64_t count, double min, double max);
  void EndRide();

 private:
  std::unique_ptr<RadixSelect> select_;
  bool riding_ = false;
};

}  // namespace sumora
