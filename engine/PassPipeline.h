// Threads for one pass over many fields: the calling thread reads the records and converts their cells
// into rows of doubles, while `workers` other threads compute with the previous full batch of rows,
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
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace sumora {

class PassPipeline {
 public:
  // A batch of rows: per row its group, record number and `width` doubles (Row), or `width` cells of
  // text (TextRow: cell i of row r ends at ends[r * width + i] in `text`, and starts where the cell
  // before it ends).
  struct Batch {
    const double* values;
    const std::uint32_t* groups;
    const std::int64_t* records;
    const std::string* text;
    const std::uint32_t* ends;
    std::size_t rows;
    std::size_t width;

    std::string_view Cell(std::size_t row, std::size_t column) const {
      const std::size_t at = row * width + column;
      const std::uint32_t begin = at == 0 ? 0 : ends[at - 1];
      return std::string_view(text->data() + begin, ends[at] - begin);
    }
  };
  // Computes with a batch, for the fields of worker `part` of `parts`.
  using Consume = std::function<void(const Batch& batch, std::size_t part, std::size_t parts)>;

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
  // The next row to fill as text: append its cells to the returned string and set the `width` ends
  // returned alongside.
  std::uint32_t* TextRow(std::uint32_t group, std::int64_t record, std::string** text) {
    if (rows_[filling_] == capacity_) HandOff();
    const std::size_t row = rows_[filling_]++;
    groups_[filling_][row] = group;
    records_[filling_][row] = record;
    *text = &text_[filling_];
    return ends_[filling_].data() + row * width_;
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
  std::vector<std::int64_t> records_[2];
  std::string text_[2];
  std::vector<std::uint32_t> ends_[2];
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
