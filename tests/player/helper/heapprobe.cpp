// heapprobe MODE: frees many small heap blocks that lie between blocks kept
// in use, then goes on freeing a little at a time for three seconds (long enough
// for a few half-second windows even on a busy machine), and
// prints the process's resident anonymous memory (KiB) before and after:
// "held <kib> after <kib>".
//   burst   all of 128 MiB freed at once
//   steady  the blocks freed over those seconds, 6 MiB a half second
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

long AnonymousKiB()
{
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("RssAnon:", 0) == 0)
      return std::strtol(line.c_str() + 8, nullptr, 10);
  }
  return -1;
}

}  // namespace

int main(int argc, char **argv)
{
  const bool burst = argc > 1 && std::strcmp(argv[1], "burst") == 0;
  constexpr std::size_t BlockSize = 32 * 1024, Blocks = 4096;  // 128 MiB
  std::vector<void *> blocks, keepers;
  blocks.reserve(Blocks);
  keepers.reserve(Blocks);
  for (std::size_t i = 0; i < Blocks; ++i) {
    auto *b = static_cast<char *>(std::malloc(BlockSize));
    std::memset(b, 1, BlockSize);
    blocks.push_back(b);
    keepers.push_back(std::malloc(64));  // keeps the heap from shrinking at its top
  }
  const long held = AnonymousKiB();
  std::size_t next = 0;
  if (burst) {
    for (; next < Blocks; ++next)
      std::free(blocks[next]);
  }
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  while (std::chrono::steady_clock::now() < end) {
    // 6 MiB every half second: 48 KiB every 4 ms.
    for (int i = 0; i < 2 && next < Blocks; ++i, ++next) {
      if (!burst)
        std::free(blocks[next]);
    }
    void *volatile small = std::malloc(256);  // (not to be left out by the compiler)
    std::free(small);
    std::this_thread::sleep_for(std::chrono::milliseconds(4));
  }
  std::printf("held %ld after %ld\n", held, AnonymousKiB());
  for (void *k : keepers)
    std::free(k);
  return 0;
}
