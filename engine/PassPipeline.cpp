#include "engine/PassPipeline.h"

#include <algorithm>
#include <utility>

namespace sumora {

namespace {
// A batch holds about 256 kB of values, whatever the number of fields: enough rows that handing over
// costs nothing next to them, few enough that two batches stay small.
constexpr std::size_t kBatchValues = 32768;
}  // namespace

PassPipeline::PassPipeline(std::size_t width, std::size_t workers, std::size_t parts, Consume consume,
                           std::function<void()> beforeHandOff)
    : width_(std::max<std::size_t>(width, 1)),
      parts_(std::max<std::size_t>(parts, 1)),
      capacity_(std::clamp<std::size_t>(kBatchValues / std::max<std::size_t>(width, 1), 16, 4096)),
      consume_(std::move(consume)),
      beforeHandOff_(std::move(beforeHandOff)) {
  for (int b = 0; b < 2; ++b) {
    values_[b].resize(capacity_ * width_);
    groups_[b].resize(capacity_);
  }
  for (std::size_t thread = 0; thread < workers; ++thread) workers_.emplace_back([this, thread] { Work(thread); });
}

PassPipeline::~PassPipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

bool PassPipeline::ComputeNextPart(std::unique_lock<std::mutex>& lock, std::size_t thread) {
  if (ready_ < 0 || nextPart_ == parts_) return false;
  const int batch = ready_;
  const std::size_t part = nextPart_++;
  lock.unlock();
  std::exception_ptr failure;
  try {
    consume_(values_[batch].data(), groups_[batch].data(), rows_[batch], part, thread);
  } catch (...) {
    failure = std::current_exception();
  }
  lock.lock();
  if (failure && !error_) error_ = failure;
  if (++partsDone_ == parts_) {
    ready_ = -1;
    changed_.notify_all();
  }
  return true;
}

void PassPipeline::HelpAndWait(std::unique_lock<std::mutex>& lock) {
  while (ComputeNextPart(lock, workers_.size())) {
  }
  changed_.wait(lock, [this] { return ready_ < 0; });
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void PassPipeline::HandOff() {
  if (workers_.empty()) {
    // No workers: the calling thread computes each batch itself.
    if (beforeHandOff_) beforeHandOff_();
    for (std::size_t part = 0; part < parts_; ++part) {
      consume_(values_[filling_].data(), groups_[filling_].data(), rows_[filling_], part, 0);
    }
    rows_[filling_] = 0;
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  HelpAndWait(lock);
  if (beforeHandOff_) beforeHandOff_();
  ready_ = filling_;
  nextPart_ = 0;
  partsDone_ = 0;
  filling_ ^= 1;
  rows_[filling_] = 0;
  lock.unlock();
  changed_.notify_all();
}

void PassPipeline::Finish() {
  if (rows_[filling_] > 0) HandOff();
  if (workers_.empty()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  HelpAndWait(lock);
}

void PassPipeline::Work(std::size_t thread) {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return (ready_ >= 0 && nextPart_ < parts_) || stop_; });
    if (!ComputeNextPart(lock, thread)) return;  // stopping, with nothing left to take
  }
}

}  // namespace sumora
