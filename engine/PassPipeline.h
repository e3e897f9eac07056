// Threads for one pass over many fields: the calling thread reads the records and converts their cells
// into rows of doubles, while `workers` other threads compute with the previous full batch of rows (with
// no workers the calling thread computes each batch itself, for passes too narrow to gain).
//
// A batch's work is cut into `parts` (the fields, say) that any thread may take: each worker takes the
// next part not yet taken, and the calling thread, once it has filled the next batch, takes parts too
// rather than wait. So the threads stay busy however unequal the parts are. Each part of every batch is
// computed by one thread, and a batch is handed over only once every part of the one before is done:
// each field's values are still taken one after another in record order, and every sum is the one a
// single thread adds.
//
// The calling thread fills rows (Row); a full batch is handed over once the previous one is done, and
// `beforeHandOff` runs in the calling thread at that moment, while no part is being computed, so that
// what all threads share (the groups) may grow there. Finish hands over the last rows and waits; an
// exception raised by `consume` comes out of Row or Finish.
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
  // Computes part `part` of a batch of `rows` rows on thread `thread` (0 .. workers; the calling thread
  // is the last): a thread computes one part at a time, so what it uses may be its own.
  using Consume = std::function<void(const double* values, const std::uint32_t* groups, std::size_t rows,
                                     std::size_t part, std::size_t thread)>;

  PassPipeline(std::size_t width, std::size_t workers, std::size_t parts, Consume consume,
               std::function<void()> beforeHandOff = nullptr);
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
  // Takes parts of the batch handed over until none is left, then waits for the others' parts.
  void HelpAndWait(std::unique_lock<std::mutex>& lock);
  // Computes one part taken under the lock (released meanwhile); false when no part is left.
  bool ComputeNextPart(std::unique_lock<std::mutex>& lock, std::size_t thread);
  void Work(std::size_t thread);

  std::size_t width_;
  std::size_t parts_;
  std::size_t capacity_;
  Consume consume_;
  std::function<void()> beforeHandOff_;
  std::vector<double> values_[2];
  std::vector<std::uint32_t> groups_[2];
  std::size_t rows_[2] = {0, 0};
  int filling_ = 0;

  std::mutex mutex_;
  std::condition_variable changed_;
  int ready_ = -1;             // the batch handed over and not yet done
  std::size_t nextPart_ = 0;   // of the batch handed over, the first not taken
  std::size_t partsDone_ = 0;  // of the batch handed over, those computed
  bool stop_ = false;
  std::exception_ptr error_;
  std::vector<std::thread> workers_;
};

}  // namespace sumora
