#include "engine/PassPipeline.h"

#include <algorithm>
#include <utility>

namespace sumora {

namespace {
// A batch holds about 256 kB of values, whatever the number of fields: enough rows that handing over
// costs nothing next to them, few enough that two batches stay small.
constexpr std::size_t kBatchValues = 32768;
}  // namespace

PassPipeline::PassPipeline(std::size_t width, std::size_t workers, Consume consume,
                           std::function<void()> beforeHandOff)
    : width_(std::max<std::size_t>(width, 1)),
      capacity_(std::clamp<std::size_t>(kBatchValues / std::max<std::size_t>(width, 1), 16, 4096)),
      consume_(std::move(consume)),
      beforeHandOff_(std::move(beforeHandOff)) {
  for (int b = 0; b < 2; ++b) {
    values_[b].resize(capacity_ * width_);
    groups_[b].resize(capacity_);
  }
  for (std::size_t part = 0; part < workers; ++part) workers_.emplace_back([this, part] { Work(part); });
}

PassPipeline::~PassPipeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
  for (std::thread& worker : workers_) worker.join();
}

void PassPipeline::WaitIdle(std::unique_lock<std::mutex>& lock) {
  changed_.wait(lock, [this] { return ready_ < 0; });
  if (error_) std::rethrow_exception(std::exchange(error_, nullptr));
}

void PassPipeline::HandOff() {
  if (workers_.empty()) {
    // No workers: the calling thread computes each batch itself.
    if (beforeHandOff_) beforeHandOff_();
    consume_(values_[filling_].data(), groups_[filling_].data(), rows_[filling_], 0, 1);
    rows_[filling_] = 0;
    return;
  }
  std::unique_lock<std::mutex> lock(mutex_);
  WaitIdle(lock);
  if (beforeHandOff_) beforeHandOff_();
  ready_ = filling_;
  ++handedOver_;
  working_ = workers_.size();
  filling_ ^= 1;
  rows_[filling_] = 0;
  lock.unlock();
  changed_.notify_all();
}

void PassPipeline::Finish() {
  if (rows_[filling_] > 0) HandOff();
  if (workers_.empty()) return;
  std::unique_lock<std::mutex> lock(mutex_);
  WaitIdle(lock);
}

void PassPipeline::Work(std::size_t part) {
  std::unique_lock<std::mutex> lock(mutex_);
  std::uint64_t done = 0;  // the batches this worker has computed
  for (;;) {
    changed_.wait(lock, [&] { return (ready_ >= 0 && handedOver_ > done) || stop_; });
    if (ready_ < 0 || handedOver_ == done) return;
    const int batch = ready_;
    done = handedOver_;
    lock.unlock();
    std::exception_ptr failure;
    try {
      consume_(values_[batch].data(), groups_[batch].data(), rows_[batch], part, workers_.size());
    } catch (...) {
      failure = std::current_exception();
    }
    lock.lock();
    if (failure && !error_) error_ = failure;
    if (--working_ == 0) {
      ready_ = -1;
      changed_.notify_all();
    }
  }
}

}  // namespace sumora
