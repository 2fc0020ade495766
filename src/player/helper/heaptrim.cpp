// Loaded first into the web engine's helper processes (through LD_PRELOAD,
// set by kestrova-webhelper), it gives freed heap memory back to the system.
//
// The C library returns a freed block's pages only when the block lies at
// the top of its heap.  While the runtime loads, its compiler fills the
// player's heap with some hundred MiB of short-lived blocks of some tens of
// KiB, between which longer-lived ones stay; once freed, most of those pages
// would stay with the process for as long as it runs.  Only a trim of the
// whole heap (malloc_trim) returns them, and a trim holds the heap for some
// tens of milliseconds, so it is done once after such a burst, when the
// process has calmed down, never while a game merely plays (which frees
// blocks all the time, at a far lower rate).
//
// Every free() counts the bytes of small blocks it hands back, in windows of
// WindowMs.  A window that freed BurstBytes or more marks a burst; the first
// later window that freed less than CalmBytes trims the heap.
//
// Only free() is replaced; the block still goes to the C library's own
// free.  Nothing here allocates, and the trim runs outside of any lock of
// the heap, so it is safe from every thread and across fork().
#include <malloc.h>

#include <atomic>
#include <cstddef>
#include <ctime>

extern "C" void __libc_free(void *block);

namespace {

constexpr long long WindowMs = 500;
constexpr std::size_t BurstBytes = std::size_t(48) << 20;
constexpr std::size_t CalmBytes = std::size_t(16) << 20;
// Blocks from this size on are mapped on their own (the helpers' heap
// setting) and go back to the system when freed: they are not counted.
constexpr std::size_t MappedFrom = 128 * 1024;

std::atomic<std::size_t> g_windowBytes{0};
std::atomic<long long> g_windowStart{0};
std::atomic<bool> g_afterBurst{false};

long long NowMs()
{
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// Called after each counted free: closes the window when its time is up.
void CloseWindowIfDue()
{
  const long long now = NowMs();
  long long start = g_windowStart.load(std::memory_order_relaxed);
  if (now - start < WindowMs)
    return;
  // One thread closes the window; the others go on.
  if (!g_windowStart.compare_exchange_strong(start, now, std::memory_order_relaxed))
    return;
  const std::size_t freed = g_windowBytes.exchange(0, std::memory_order_relaxed);
  if (freed >= BurstBytes) {
    g_afterBurst.store(true, std::memory_order_relaxed);
  } else if (freed < CalmBytes && g_afterBurst.exchange(false, std::memory_order_relaxed)) {
    ::malloc_trim(0);
  }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void free(void *block)
{
  if (!block)
    return;
  const std::size_t size = ::malloc_usable_size(block);
  __libc_free(block);
  if (size >= MappedFrom)
    return;
  g_windowBytes.fetch_add(size, std::memory_order_relaxed);
  CloseWindowIfDue();
}
