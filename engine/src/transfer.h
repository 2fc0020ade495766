// One HTTP(S) fetch with libcurl: redirects followed, bounded connect time,
// a low-speed time-out for stalled servers, transient failures retried with
// back-off and resumed with a Range request where the server allows it.
// The body goes to a Sink (a temporary file, or a stream to a local reader).
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

#include "util.h"

namespace kestrova::engine {

struct TransferSettings {
  int retries = 3;                          // failed attempts in a row, beyond the first
  std::chrono::milliseconds backoff{1000};  // first pause; doubles with each failure
  long stallSeconds = 30;                   // below kStallBytesPerSecond that long = stalled
  long connectSeconds = 5;

  static constexpr long kStallBytesPerSecond = 64;

  // KESTROVA_ENGINE_RETRY_MS, KESTROVA_ENGINE_RETRIES, KESTROVA_ENGINE_STALL_SEC
  static TransferSettings FromEnvironment();
};

// Shared between a transfer and the threads asking for its progress.
struct Progress {
  std::atomic<std::int64_t> received{0};  // bytes held by the sink
  std::atomic<std::int64_t> total{0};     // full size; 0 while unknown
  std::atomic<std::int32_t> percent{0};   // never goes down; 100 only when complete

  void update(std::int64_t receivedBytes, std::int64_t totalBytes);
  void complete();
};

class Sink {
public:
  virtual ~Sink() = default;
  // Once, before the first byte of the first usable response; total = 0
  // when the size is unknown.  False aborts the transfer.
  virtual bool begin(std::int64_t total) = 0;
  virtual bool write(const char *data, std::size_t len) = 0;
  // Drops everything written so far; false when the sink cannot (bytes
  // already passed on), in which case the transfer skips what it holds.
  virtual bool rewind() = 0;
  virtual std::string error() const = 0;
};

enum class TransferResult { Complete, Failed, Cancelled };

struct TransferReport {
  TransferResult result = TransferResult::Failed;
  long httpStatus = 0;  // last response status, 0 if none
  std::string error;    // human-readable reason of a failure
};

// True for http:// and https:// addresses with a host, the only kinds the
// engine fetches.
bool IsFetchableUrl(const char *url);

TransferReport RunTransfer(const std::string &url, Sink &sink, Progress &progress,
                           const CancelToken &cancel, const TransferSettings &settings);

// Options every request of the engine uses: http and https only (also for
// redirects, which are followed), no signals, a bounded connect time.
void SetCommonOptions(void *easy, const char *url, long connectSeconds);

// Process-wide libcurl set-up, done once and never undone (the client links
// libcurl too, and its global clean-up is not safe while others use it).
void EnsureCurlReady();

}  // namespace kestrova::engine
