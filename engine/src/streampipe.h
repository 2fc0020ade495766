// A bounded hand-over of a fetch's body from the worker thread that reads it
// from the server to the local-server thread that writes it to a reader of
// the "P2P/" address.  The writer waits while the pipe is full, so the body
// never piles up in memory.
//
// libcurl hands the body over in pieces of 16 KiB.  They are gathered into
// blocks of up to kBlock bytes, and the reader takes a whole block at a time,
// so one send to the reader carries many pieces; the blocks' memory is used
// again instead of being allocated for every piece.  A side is woken only
// when it waits for what just happened.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

#include "transfer.h"

namespace kestrova::engine {

class StreamPipe final : public Sink {
public:
  static constexpr std::size_t kBlock = 256 * 1024;
  // A reader that finds less than kGather bytes waits at most kGatherWait
  // for more before it takes what is there.
  static constexpr std::size_t kGather = 64 * 1024;
  static constexpr std::chrono::milliseconds kGatherWait{2};

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
  // `out` empty) when the body is complete.  The memory `out` held before
  // is taken back for later blocks, so a reader should keep using the same
  // string.
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
  std::deque<std::string> queue_;  // the last block is filled further while it has room
  std::string spare_;              // an emptied block, for the next one
  std::size_t queued_ = 0;
  std::int64_t produced_ = 0;
  std::int64_t delivered_ = 0;
  std::int64_t total_ = 0;
  bool started_ = false;
  bool finished_ = false;
  bool ok_ = false;
  bool readerGone_ = false;
  bool aborted_ = false;
  // Who waits, and for what: the writer is woken only for room, the reader
  // only once readerWants_ bytes are there, the end only for deliveries.
  bool writerWaits_ = false;
  bool readerWaits_ = false;
  std::size_t readerWants_ = 1;
  bool deliveryWaits_ = false;
};

}  // namespace kestrova::engine
