#include "streampipe.h"

#include <algorithm>

namespace kestrova::engine {

bool StreamPipe::begin(std::int64_t total)
{
  std::lock_guard lock(mx_);
  if (aborted_ || readerGone_)
    return false;
  total_ = total;
  started_ = true;
  cv_.notify_all();
  return true;
}

bool StreamPipe::write(const char *data, std::size_t len)
{
  std::unique_lock lock(mx_);
  while (len > 0) {
    if (!aborted_ && !readerGone_ && queued_ >= capacity_) {
      writerWaits_ = true;
      cv_.wait(lock, [&] { return aborted_ || readerGone_ || queued_ < capacity_; });
      writerWaits_ = false;
    }
    if (aborted_ || readerGone_)
      return false;
    if (queue_.empty() || queue_.back().size() >= kBlock) {
      std::string block;
      block.swap(spare_);
      block.reserve(kBlock);
      queue_.push_back(std::move(block));
    }
    std::string &back = queue_.back();
    const std::size_t n = std::min({len, kBlock - back.size(), capacity_ - queued_});
    back.append(data, n);
    data += n;
    len -= n;
    queued_ += n;
    produced_ += static_cast<std::int64_t>(n);
    if (readerWaits_ && queued_ >= readerWants_)
      cv_.notify_all();
  }
  return true;
}

std::string StreamPipe::error() const
{
  std::lock_guard lock(mx_);
  if (aborted_)
    return "stopped";
  return "the reader of the local address went away";
}

void StreamPipe::finish(bool ok)
{
  std::lock_guard lock(mx_);
  finished_ = true;
  ok_ = ok;
  cv_.notify_all();
}

bool StreamPipe::waitDelivered()
{
  std::unique_lock lock(mx_);
  deliveryWaits_ = true;
  cv_.wait(lock, [&] { return aborted_ || readerGone_ || delivered_ >= produced_; });
  deliveryWaits_ = false;
  return !aborted_ && delivered_ >= produced_;
}

StreamPipe::Start StreamPipe::waitStart(std::int64_t &total)
{
  std::unique_lock lock(mx_);
  cv_.wait(lock, [&] { return aborted_ || started_ || finished_; });
  if (aborted_ || !started_)
    return Start::Failed;
  total = total_;
  return Start::Ready;
}

bool StreamPipe::read(std::string &out, std::size_t maxLen, bool &end)
{
  out.clear();
  end = false;
  std::unique_lock lock(mx_);
  const std::size_t want = std::clamp<std::size_t>(std::min(maxLen, capacity_), 1, kGather);
  const auto ready = [&] { return aborted_ || finished_ || queued_ >= want; };
  if (!ready()) {
    readerWaits_ = true;
    readerWants_ = 1;
    cv_.wait(lock, [&] { return aborted_ || finished_ || !queue_.empty(); });
    if (!ready()) {
      // Some bytes are there: a little more makes one larger send, and a
      // slow source is not kept waiting for it.
      readerWants_ = want;
      cv_.wait_for(lock, kGatherWait, ready);
    }
    readerWaits_ = false;
  }
  if (aborted_)
    return false;
  if (queue_.empty()) {  // finished
    if (!ok_)
      return false;
    end = true;
    return true;
  }
  std::string &front = queue_.front();
  if (front.size() <= maxLen) {
    out.swap(front);  // front now holds the reader's old memory
    if (front.capacity() > spare_.capacity())
      spare_.swap(front);
    queue_.pop_front();
  } else {
    out.assign(front, 0, maxLen);
    front.erase(0, maxLen);
  }
  queued_ -= out.size();
  if (writerWaits_ && queued_ < capacity_)
    cv_.notify_all();
  return true;
}

void StreamPipe::delivered(std::size_t len)
{
  std::lock_guard lock(mx_);
  delivered_ += static_cast<std::int64_t>(len);
  if (deliveryWaits_ && delivered_ >= produced_)
    cv_.notify_all();
}

void StreamPipe::readerDone(bool success)
{
  std::lock_guard lock(mx_);
  if (!success || delivered_ < produced_ || !finished_)
    readerGone_ = true;
  cv_.notify_all();
}

void StreamPipe::abort()
{
  std::lock_guard lock(mx_);
  aborted_ = true;
  cv_.notify_all();
}

}  // namespace kestrova::engine
