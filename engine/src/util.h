// Small helpers of the engine: environment knobs, XDG folders, files written
// in one piece, random identifiers and a cancellation flag that sleeping
// threads can wait on.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>

namespace kestrova::engine {

// Integer from the environment, clamped to [lo, hi]; fallback when the
// variable is unset or not a whole number.
long EnvLong(const char *name, long fallback, long lo, long hi);

// $XDG_DATA_HOME or ~/.local/share, and $XDG_CONFIG_HOME or ~/.config.
// Relative XDG values are ignored, as the base directory rules demand.
std::string DataHome();
std::string ConfigHome();

// Creates the folder and its missing parents (mode 0777 less the umask).
bool MakeDirs(const std::string &dir);

// The folder part of a path ("" for a bare name, "/" for a root entry).
std::string DirName(const std::string &path);

// Writes the whole content to a temporary file beside `path` and renames it
// onto `path`; nothing is left behind on failure.
bool WriteFileAtomically(const std::string &path, const std::string &content);

// `digits` lower-case hexadecimal digits from the system's random source.
std::string RandomHex(std::size_t digits);

// A one-way flag: once cancelled it stays so.  Waiters wake at once.
class CancelToken {
public:
  void cancel();
  bool cancelled() const { return flag_.load(std::memory_order_acquire); }
  // Sleeps up to `ms`; false when the token was (or became) cancelled.
  bool waitFor(std::chrono::milliseconds ms) const;

private:
  std::atomic<bool> flag_{false};
  mutable std::mutex mx_;
  mutable std::condition_variable cv_;
};

}  // namespace kestrova::engine
