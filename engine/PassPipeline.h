// Two threads for one pass over many fields: the calling thread reads the records and converts their
// cells into rows of doubles, a second thread computes with full batches of those rows while the next
// batch is read. Each field's values are still taken one after another in record order, so every sum
// is the one a single thread adds.
//
// The calling thread fills rows (Row); a full batch is handed over once the second thread has finished
// the previous one, and `beforeHandOff` runs in the calling thread at that moment, while the second
// thread is idle, so that what both threads share (the groups) may grow there. Finish hands over the
// last rows and waits; an exception raised by `consume` comes out of Row or Finish.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace sumora {

class PassPipeline {
 public:
  using Consume = std::function<void(const double* values, const std::uint32_t* groups, std::size_t rows)>;

  PassPipeline(std::size_t width, Consume consume, std::function<void()> beforeHandOff = nullptr);
  ~PassPipeline();
  PassPipeline(const PassPipeline&) = delete;
  PassPipeline& operator=(const PassPipeline&) = delete;

  // The next row to fill: `width` doubles, for a record of group `group`.
  double* Row(std::uint32_t group) {
    if (rows_[filling_] == capacity_) HandOff();
    groups_[filling_][rows_[filling_]] = group;
    return values_[filling_].data() + rows_[filling_]++ * width_;
  }
  void Finish();

 private:
  void HandOff();
  void WaitIdle(std::unique_lock<std::mutex>& lock);
  void Work();

  std::size_t width_;
  std::size_t capacity_;
  Consume consume_;
  std::function<void()> beforeHandOff_;
  std::vector<double> values_[2];
  std::vector<std::uint32_t> groups_[2];
  std::size_t rows_[2] = {0, 0};
  int filling_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  int ready_ = -1;  // the batch handed over and not yet computed
  bool stop_ = false;
  std::exception_ptr error_;
  std::thread worker_;
};

}  // namespace sumora
