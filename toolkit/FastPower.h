// The second, third and fourth powers of one deviation, each exactly the double raiseTo returns, at a
// fraction of its cost. The moment passes take three powers of every value; through expl/logl alone
// that would cost more than reading the data twice.
#pragma once

#include <cstdint>
#include <memory>

namespace sumora {

struct Powers234 {
  double p2;
  double p3;
  double p4;
};

// {raiseTo(d, 2), raiseTo(d, 3), raiseTo(d, 4)}, bit for bit.
Powers234 RaisePowers234(double d);

// RaisePowers234 for the deviations of one pass, remembering the powers that needed the extended
// formula. Data written with few digits repeat their values, and each repetition would otherwise pay
// for a logarithm and an exponential again. Holds 2^bits deviations (32 bytes each; 256 kB by
// default), made on first need: a memo shared by several fields wants room for each.
class PowerMemo {
 public:
  static constexpr int kDefaultBits = 13;
  static constexpr int kMostBits = 16;
  explicit PowerMemo(int bits = kDefaultBits);
  ~PowerMemo();
  PowerMemo(const PowerMemo&) = delete;
  PowerMemo& operator=(const PowerMemo&) = delete;

  Powers234 Raise(double d);

 private:
  struct Entry {
    std::uint64_t key;  // the deviation's bits; 0 (the deviation 0, never remembered) when empty
    Powers234 powers;
  };
  // The entry a deviation's bits hash to (entries_ made).
  Entry& EntryFor(std::uint64_t key) { return entries_[(key * 0x9E3779B97F4A7C15ULL) >> (64 - bits_)]; }
  int bits_;
  std::unique_ptr<Entry[]> entries_;
};

}  // namespace sumora
