// Threads for one pass over many fields: the calling thread reads the records and converts their cells
// into rows of doubles, while `workers` other threads compute with the previous full batch of rows (with
// no workers the calling thread computes each batch itself, for passes too narrow to gain),
// worker k taking the fields k, k + workers, ... Each field's values are still taken one after another
// in record order by one thread, so every sum is the one a single thread adds.
//
// The calling thread fills rows (Row); a full batch is handed over once the workers have finished the
// previous one, and `beforeHandOff` runs in the calling thread at that moment, while the workers are
// idle, so that what all threads share (the groups) may grow there. Finish hands over the last rows and
// waits; an exception raised by `consume` comes out of Row or Finish.
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
  // Computes with `rows` rows of a batch, for the fields of worker `part` of `parts`.
  using Consume = std::function<void(const double* values, const std::uint32_t* groups, std::size_t rows,
                                     std::size_t part, std::size_t parts)>;

  PassPipeline(std::size_t width, std::size_t workers, Consume consume, std::function<void()> beforeHandOff = nullptr);
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
  void Work(std::size_t part);

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
  int ready_ = -1;             // the batch handed over and not yet computed by every worker
  std::uint64_t handedOver_ = 0;  // batches handed over so far: a worker takes each once
  std::size_t working_ = 0;    // workers still computing the batch handed over
  bool stop_ = false;
  std::exception_ptr error_;
  std::vector<std::thread> workers_;
};

}  // namespace sumora
