// Download throughput of the engine against the curl command, from the same
// loopback HTTP server in the same run, and the engine process's peak
// resident memory during the transfer.
//
//   bench_engine [--size-mib N] [--rounds N]
//
// Each round downloads the file once with `curl -s -o` and once with a child
// process that loads the engine and calls NewDownload; both are timed from
// process start to exit, and the files are checked byte for byte against the
// served content.  The best round of each is compared.
#include <httplib.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kestrova.h"

extern char **environ;

namespace {

constexpr std::size_t kPattern = 1 << 20;

// The served content: a 1 MiB pattern, each MiB block xor-ed with its index.
struct Content {
  std::vector<char> pattern;
  std::size_t size;
  explicit Content(std::size_t bytes) : pattern(kPattern), size(bytes)
  {
    std::uint32_t x = 12345;
    for (char &c : pattern) {
      x = x * 1103515245u + 12345u;
      c = static_cast<char>(x >> 16);
    }
  }
  char at(std::size_t off) const
  {
    return static_cast<char>(pattern[off % kPattern] ^ static_cast<char>(off / kPattern));
  }
  // Fills buf with the bytes from off on.
  void fill(std::size_t off, char *buf, std::size_t len) const
  {
    for (std::size_t i = 0; i < len;) {
      std::size_t in = (off + i) % kPattern;
      std::size_t n = std::min(len - i, kPattern - in);
      const char key = static_cast<char>((off + i) / kPattern);
      const char *src = pattern.data() + in;
      for (std::size_t k = 0; k < n; ++k)
        buf[i + k] = static_cast<char>(src[k] ^ key);
      i += n;
    }
  }
};

bool SameAsContent(const std::string &path, const Content &content)
{
  std::ifstream in(path, std::ios::binary);
  std::vector<char> got(kPattern), want(kPattern);
  std::size_t off = 0;
  while (in) {
    in.read(got.data(), static_cast<std::streamsize>(got.size()));
    auto n = static_cast<std::size_t>(in.gcount());
    if (n == 0)
      break;
    if (off + n > content.size)
      return false;
    content.fill(off, want.data(), n);
    if (std::memcmp(got.data(), want.data(), n) != 0)
      return false;
    off += n;
  }
  return off == content.size;
}

double Seconds(std::chrono::steady_clock::duration d)
{
  return std::chrono::duration<double>(d).count();
}

// Runs argv to its end; the wall time, or a negative value on failure.
double TimedRun(const std::vector<std::string> &args, std::string *output = nullptr)
{
  std::vector<char *> argv;
  for (const auto &a : args)
    argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);
  int fds[2];
  if (pipe(fds) != 0)
    return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  if (rc != 0) {
    close(fds[0]);
    return -1;
  }
  std::string out;
  char buf[512];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;)
    out.append(buf, static_cast<std::size_t>(n));
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  double took = Seconds(std::chrono::steady_clock::now() - start);
  if (output != nullptr)
    *output = out;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? took : -1;
}

long StatusKiB(const char *key)
{
  std::ifstream in("/proc/self/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) == 0)
      return std::atol(line.c_str() + std::strlen(key));
  }
  return -1;
}

// The child: one NewDownload, then prints "<peak KiB> <KiB before>".
std::mutex g_mx;
std::condition_variable g_cv;
int g_percent = -1;

int EngineChild(const char *url, const char *path)
{
  long before = StatusKiB("VmHWM:");
  if (!Initkestrova(1, nullptr, nullptr, nullptr, [](int32_t, int32_t percent) {
        std::lock_guard lock(g_mx);
        g_percent = percent;
        g_cv.notify_all();
      }))
    return 2;
  if (!NewDownload(1, url, path))
    return 3;
  {
    std::unique_lock lock(g_mx);
    g_cv.wait(lock, [] { return g_percent >= 0; });
  }
  long peak = StatusKiB("VmHWM:");
  UnInitkestrova();
  std::printf("%ld %ld\n", peak, before);
  return g_percent == 100 ? 0 : 4;
}

}  // namespace

int main(int argc, char **argv)
{
  if (argc == 4 && std::strcmp(argv[1], "--engine-child") == 0)
    return EngineChild(argv[2], argv[3]);

  std::size_t sizeMiB = 256;
  int rounds = 4;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--size-mib") == 0)
      sizeMiB = std::strtoul(argv[i + 1], nullptr, 10);
    if (std::strcmp(argv[i], "--rounds") == 0)
      rounds = std::max(1, std::atoi(argv[i + 1]));
  }
  const Content content(sizeMiB << 20);

  httplib::Server server;
  server.Get("/big.flv", [&](const httplib::Request &, httplib::Response &res) {
    res.set_content_provider(content.size, "video/x-flv",
                             [&](std::size_t off, std::size_t len, httplib::DataSink &sink) {
                               char buf[256 * 1024];
                               std::size_t n = std::min(len, sizeof buf);
                               content.fill(off, buf, n);
                               return sink.write(buf, n);
                             });
  });
  int port = server.bind_to_any_port("127.0.0.1");
  std::thread listener([&] { server.listen_after_bind(); });
  while (!server.is_running())
    std::this_thread::sleep_for(std::chrono::milliseconds(1));

  char dirTemplate[] = "/tmp/bench-engine-XXXXXX";
  const char *tmp = std::getenv("TMPDIR");
  std::string base =
      (tmp != nullptr && *tmp != '\0') ? std::string(tmp) + "/bench-engine-XXXXXX" : dirTemplate;
  std::vector<char> dirName(base.begin(), base.end());
  dirName.push_back('\0');
  if (mkdtemp(dirName.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::string dir = dirName.data();
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/big.flv";
  char self[4096];
  ssize_t selfLen = readlink("/proc/self/exe", self, sizeof self - 1);
  if (selfLen <= 0)
    return 1;
  self[selfLen] = '\0';

  std::printf("engine download benchmark: %zu MiB from a loopback HTTP server, %d rounds\n",
              sizeMiB, rounds);
  double bestCurl = 1e30, bestEngine = 1e30;
  long peakKiB = 0, baseKiB = 0;
  bool ok = true;
  for (int r = 1; r <= rounds && ok; ++r) {
    const std::string curlFile = dir + "/curl.flv", engineFile = dir + "/engine.flv";
    // Alternating who goes first evens out the write-back of the previous file.
    double c = 0, e = 0;
    std::string out;
    auto runCurl = [&] { c = TimedRun({"curl", "-s", "-o", curlFile, url}); };
    auto runEngine = [&] { e = TimedRun({self, "--engine-child", url, engineFile}, &out); };
    if (r % 2 == 1) {
      runCurl();
      runEngine();
    } else {
      runEngine();
      runCurl();
    }
    bool curlOk = c > 0 && SameAsContent(curlFile, content);
    bool engineOk = e > 0 && SameAsContent(engineFile, content);
    std::remove(curlFile.c_str());
    std::remove(engineFile.c_str());
    long peak = 0, before = 0;
    std::sscanf(out.c_str(), "%ld %ld", &peak, &before);
    if (!curlOk || !engineOk) {
      std::printf("round %d: %s\n", r,
                  !curlOk ? "curl failed or wrong bytes" : "engine failed or wrong bytes");
      ok = false;
      break;
    }
    std::printf("round %d: curl %.3f s (%.0f MiB/s), engine %.3f s (%.0f MiB/s), engine peak RSS "
                "%.1f MiB\n",
                r, c, sizeMiB / c, e, sizeMiB / e, peak / 1024.0);
    bestCurl = std::min(bestCurl, c);
    bestEngine = std::min(bestEngine, e);
    peakKiB = std::max(peakKiB, peak);
    baseKiB = before;
  }
  server.stop();
  listener.join();
  rmdir(dir.c_str());
  if (!ok)
    return 1;

  const double curlRate = sizeMiB / bestCurl, engineRate = sizeMiB / bestEngine;
  const double ratio = engineRate / curlRate;
  std::printf("curl throughput:   %8.1f MiB/s (best of %d)\n", curlRate, rounds);
  std::printf("engine throughput: %8.1f MiB/s (best of %d)\n", engineRate, rounds);
  std::printf("ratio engine/curl: %8.2f   (goal >= 0.90: %s)\n", ratio,
              ratio >= 0.9 ? "met" : "NOT met");
  std::printf("engine peak RSS:   %8.1f MiB (%.1f MiB before the transfer; goal < 64 MiB: %s)\n",
              peakKiB / 1024.0, baseKiB / 1024.0, peakKiB < 64 * 1024 ? "met" : "NOT met");
  // One line for bench/report.
  std::printf("summary engine curl_mibs=%.1f engine_mibs=%.1f ratio=%.3f peak_rss_mib=%.1f\n",
              curlRate, engineRate, ratio, peakKiB / 1024.0);
  return 0;
}
