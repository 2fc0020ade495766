// A bounded hand-over of a fetch's body from the worker thread that reads it
// from the server to the local-server thread that writes it to a reader of
// the "P2P/" address.  The writer waits while the pipe is full, so the body
// never piles up in memory.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "transfer.h"

namespace kestrova::engine {

class StreamPipe final : public Sink {
public:
  explicit StreamPipe(std::size_t capacity = 2u << 20) : capacity_(capacity) {}

  // Fetch side.
  bool begin(std::int64_t total) override;
  bool write(const char *data, std::size_t len) override;
  bool rewind() override { return false; }  // what was passed on is gone
  std::string error() const override;
  // No more data; ok = false makes the reader see a failure.
  void finish(bool ok);
  // After finish(true): waits until the reader has written every byte out
  // (true) or has gone away (false).
  bool waitDelivered();

  // Reader side.
  enum class Start { Ready, Failed };
  // Waits for begin() or a failure; total = 0 when the size is unknown.
  Start waitStart(std::int64_t &total);
  // Next piece of at most maxLen bytes.  False on failure; `end` true (and
  // `out` empty) when the body is complete.
  bool read(std::string &out, std::size_t maxLen, bool &end);
  // Bytes written out to the reader's connection.
  void delivered(std::size_t len);
  // The reader's connection is finished (success) or broke off.
  void readerDone(bool success);

  // Both sides give up at once (stop, shutdown).
  void abort();

private:
  const std::size_t capacity_;
  mutable std::mutex mx_;
  std::condition_variable cv_;
  std::deque<std::string> queue_;
  std::size_t queued_ = 0;
  std::int64_t produced_ = 0;
  std::int64_t delivered_ = 0;
  std::int64_t total_ = 0;
  bool started_ = false;
  bool finished_ = false;
  bool ok_ = false;
  bool readerGone_ = false;
  bool aborted_ = false;
};

}  // namespace kestrova::engine
