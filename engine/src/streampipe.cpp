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
  cv_.wait(lock, [&] { return aborted_ || readerGone_ || queued_ < capacity_; });
  if (aborted_ || readerGone_)
    return false;
  queue_.emplace_back(data, len);
  queued_ += len;
  produced_ += static_cast<std::int64_t>(len);
  cv_.notify_all();
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
  cv_.wait(lock, [&] { return aborted_ || readerGone_ || delivered_ >= produced_; });
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
  cv_.wait(lock, [&] { return aborted_ || !queue_.empty() || finished_; });
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
    out.swap(front);
    queue_.pop_front();
  } else {
    out.assign(front, 0, maxLen);
    front.erase(0, maxLen);
  }
  queued_ -= out.size();
  cv_.notify_all();
  return true;
}

void StreamPipe::delivered(std::size_t len)
{
  std::lock_guard lock(mx_);
  delivered_ += static_cast<std::int64_t>(len);
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
