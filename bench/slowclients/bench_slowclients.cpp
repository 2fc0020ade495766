// The slow-client attack against the two loopback servers, with the answer
// time of a normal request beside it.
//
//   bench_slowclients [--portal-slow N] [--engine-slow N] [--shutdown-slow N]
//                     [--interval-ms N] [--lines N] [--rounds N] [--timeout-ms N]
//
// For the stand-in portal (a kestrova-portal process with generated content)
// and for the engine's local "P2P/" server (the engine library in this
// process, fetching from a loopback server of its own): a normal request is
// timed alone (the baseline) and then while N slow clients are connected,
// each of which sends one header line every interval and never ends its
// request.  Then both are shut down with slow clients, a silent connection
// and a reader that reads nothing still open: the time of UnInitkestrova and
// of the portal's exit after SIGTERM.
//
// Every loop is bounded: a slow client sends at most --lines lines; a normal
// request waits at most --timeout-ms; the portal gets SIGKILL 15 s after
// SIGTERM.  Everything runs on 127.0.0.1.
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "kestrova.h"
#include "slowclients.h"

extern char **environ;

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Options {
  int portalSlow = 20;
  int engineSlow = 12;
  int shutdownSlow = 3;
  int intervalMs = 4000;
  int lines = 4;
  int rounds = 3;
  int timeoutMs = 10000;
};

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// One normal request, timed until the whole answer is in (the server closes
// after it): milliseconds, or -1 without a 200 answer within the time-out.
double TimedRequest(int port, const std::string &target, int timeoutMs)
{
  const auto start = Clock::now();
  const std::string answer = slowclients::Exchange(
      port,
      "GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
          "\r\nConnection: close\r\n\r\n",
      std::chrono::milliseconds(timeoutMs));
  const double took = Ms(Clock::now() - start);
  return slowclients::StatusOf(answer) == 200 && took < timeoutMs ? took : -1;
}

std::string Figure(double ms, int timeoutMs)
{
  if (ms < 0)
    return "no answer in " + std::to_string(timeoutMs / 1000) + " s";
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", ms);
  return text;
}

double Best(const std::vector<double> &v)
{
  double best = -1;
  for (double x : v)
    if (x >= 0 && (best < 0 || x < best))
      best = x;
  return best;
}

// Prints one line: baseline, the same request beside the slow clients, the
// ratio, and how many slow clients were still connected.
void Report(const char *server, int slow, const Options &o, const std::vector<double> &alone,
            const std::vector<double> &attacked, int stillWaiting)
{
  const double a = Best(alone), b = Best(attacked);
  char ratio[32] = "-";
  if (a > 0 && b >= 0)
    std::snprintf(ratio, sizeof ratio, "%.1f", b / a);
  std::printf("%-22s %3d slow clients (1 line / %d ms)  alone %-16s beside them %-18s ratio %-6s "
              "still connected %d/%d\n",
              server, slow, o.intervalMs, Figure(a, o.timeoutMs).c_str(),
              Figure(b, o.timeoutMs).c_str(), ratio, stillWaiting, slow);
  // One line for bench/report (a negative time: no answer within the timeout).
  std::printf("summary slowclients server=%s slow=%d alone_ms=%.1f beside_ms=%.1f still=%d\n",
              std::strncmp(server, "engine", 6) == 0 ? "engine" : "portal", slow, a, b,
              stillWaiting);
}

// A request that reads nothing of its answer, and a connection that sends
// nothing: both stay open during a shutdown.
struct Idlers {
  int silent = -1, stuck = -1;
  Idlers(int port, const std::string &bigTarget)
  {
    silent = slowclients::Connect(port);
    stuck = slowclients::Connect(port);
    slowclients::SendAll(stuck, "GET " + bigTarget + " HTTP/1.1\r\nHost: 127.0.0.1:" +
                                    std::to_string(port) + "\r\n\r\n");
  }
  ~Idlers()
  {
    if (silent >= 0)
      ::close(silent);
    if (stuck >= 0)
      ::close(stuck);
  }
};

// The portal process: started on a free port with generated content.
struct Portal {
  pid_t pid = -1;
  int port = 0;
  std::string dir;

  bool start()
  {
    char tmpl[] = "/tmp/bench-slowclients-XXXXXX";
    if (!::mkdtemp(tmpl))
      return false;
    dir = tmpl;
    int out[2];
    if (::pipe(out) != 0)
      return false;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string data = dir + "/data";
    const char *argv[] = {KESTROVA_PORTAL_EXE, "--port",  "0", "--data",
                          data.c_str(),        "--scale", "2", nullptr};
    const int rc = posix_spawn(&pid, KESTROVA_PORTAL_EXE, &actions, nullptr,
                               const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (rc != 0) {
      ::close(out[0]);
      pid = -1;
      return false;
    }
    // The first line is the base address; 30 s at most.
    std::string line;
    char c;
    pollfd p{out[0], POLLIN, 0};
    const auto end = Clock::now() + 30s;
    while (line.find('\n') == std::string::npos && Clock::now() < end) {
      if (::poll(&p, 1, 1000) <= 0)
        continue;
      if (::read(out[0], &c, 1) != 1)
        break;
      line += c;
    }
    ::close(out[0]);
    const std::size_t colon = line.rfind(':');
    port = colon == std::string::npos ? 0 : std::atoi(line.c_str() + colon + 1);
    return port > 0;
  }
  // SIGTERM, then the time until the process is gone (SIGKILL after 15 s).
  double stop()
  {
    if (pid <= 0)
      return -1;
    const auto start = Clock::now();
    ::kill(pid, SIGTERM);
    int status = 0;
    double took = -1;
    while (Clock::now() - start < 15s) {
      if (::waitpid(pid, &status, WNOHANG) == pid) {
        took = Ms(Clock::now() - start);
        break;
      }
      std::this_thread::sleep_for(1ms);
    }
    if (took < 0) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
    }
    pid = -1;
    return took;
  }
  ~Portal()
  {
    stop();
    if (!dir.empty())
      std::system(("rm -rf '" + dir + "'").c_str());
  }
};

// The engine's upstream: /data/<n> gives n bytes.
struct Upstream {
  httplib::Server http;
  std::thread thread;
  int port = 0;
  Upstream()
  {
    http.Get(R"(/data/(\d+)\.swf)", [](const httplib::Request &req, httplib::Response &res) {
      const std::size_t n = std::stoul(req.matches[1].str());
      res.set_content_provider(n, "application/x-shockwave-flash",
                               [](std::size_t, std::size_t len, httplib::DataSink &sink) {
                                 static const std::string piece(64 * 1024, 'k');
                                 return sink.write(piece.data(), std::min(len, piece.size()));
                               });
    });
    port = http.bind_to_any_port("127.0.0.1");
    thread = std::thread([this] { http.listen_after_bind(); });
    while (!http.is_running())
      std::this_thread::sleep_for(1ms);
  }
  ~Upstream()
  {
    http.stop();
    thread.join();
  }
  std::string url(std::size_t bytes) const
  {
    return "http://127.0.0.1:" + std::to_string(port) + "/data/" + std::to_string(bytes) + ".swf";
  }
};

// A new local address of the engine (each is served once): port and path.
bool Register(const Upstream &up, std::size_t bytes, int &port, std::string &path)
{
  char buffer[1024] = {};
  if (!SetProgramInfo(up.url(bytes).c_str(), 1, 2, 2, buffer))
    return false;
  const std::string address = buffer;  // http://127.0.0.1:PORT/...
  const std::size_t colon = address.find(':', 7), slash = address.find('/', colon);
  port = std::atoi(address.c_str() + colon + 1);
  path = address.substr(slash);
  return true;
}

void RunPortal(const Options &o)
{
  Portal portal;
  if (!portal.start()) {
    std::printf("portal: could not start %s\n", KESTROVA_PORTAL_EXE);
    return;
  }
  std::vector<double> alone, attacked;
  int still = 0;
  for (int r = 0; r < o.rounds; ++r)
    alone.push_back(TimedRequest(portal.port, "/index.htm", o.timeoutMs));
  for (int r = 0; r < o.rounds; ++r) {
    slowclients::SlowClients slow(portal.port, o.portalSlow,
                                  std::chrono::milliseconds(o.intervalMs), o.lines, "/index.htm");
    std::this_thread::sleep_for(500ms);
    attacked.push_back(TimedRequest(portal.port, "/index.htm", o.timeoutMs));
    still = slow.waiting();
  }
  Report("stand-in portal", o.portalSlow, o, alone, attacked, still);

  slowclients::SlowClients slow(portal.port, o.shutdownSlow,
                                std::chrono::milliseconds(o.intervalMs), o.lines, "/index.htm");
  Idlers idlers(portal.port, "/hl/100094/all/100094.XML");
  std::this_thread::sleep_for(500ms);
  const double took = portal.stop();
  std::printf("%-22s SIGTERM to exit beside %d slow clients, a silent connection and a reader that "
              "reads nothing: %s\n",
              "stand-in portal", o.shutdownSlow,
              took < 0 ? "not within 15 s" : Figure(took, 0).c_str());
  std::printf("summary slowclients server=portal shutdown_ms=%.1f\n", took);
}

void RunEngine(const Options &o)
{
  Upstream up;
  if (!Initkestrova(1, nullptr, nullptr, nullptr, nullptr)) {
    std::printf("engine: Initkestrova failed\n");
    return;
  }
  int port = 0;
  std::string path;
  std::vector<double> alone, attacked;
  int still = 0;
  for (int r = 0; r < o.rounds; ++r) {
    if (!Register(up, 100000, port, path))
      break;
    alone.push_back(TimedRequest(port, path, o.timeoutMs));
  }
  for (int r = 0; r < o.rounds && Register(up, 100000, port, path); ++r) {
    slowclients::SlowClients slow(port, o.engineSlow, std::chrono::milliseconds(o.intervalMs),
                                  o.lines, path);
    std::this_thread::sleep_for(500ms);
    attacked.push_back(TimedRequest(port, path, o.timeoutMs));
    still = slow.waiting();
  }
  Report("engine \"P2P/\" server", o.engineSlow, o, alone, attacked, still);

  std::string big;
  if (!Register(up, 200u << 20, port, big))
    return;
  slowclients::SlowClients slow(port, o.shutdownSlow, std::chrono::milliseconds(o.intervalMs),
                                o.lines, path);
  Idlers idlers(port, big);
  std::this_thread::sleep_for(500ms);
  const auto start = Clock::now();
  UnInitkestrova();
  const double shutdownMs = Ms(Clock::now() - start);
  std::printf("%-22s UnInitkestrova beside %d slow clients, a silent connection and a reader that "
              "reads nothing: %s\n",
              "engine \"P2P/\" server", o.shutdownSlow, Figure(shutdownMs, 0).c_str());
  std::printf("summary slowclients server=engine shutdown_ms=%.1f\n", shutdownMs);
}

bool ParseArgs(int argc, char **argv, Options &o)
{
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    int *target = a == "--portal-slow"     ? &o.portalSlow
                  : a == "--engine-slow"   ? &o.engineSlow
                  : a == "--shutdown-slow" ? &o.shutdownSlow
                  : a == "--interval-ms"   ? &o.intervalMs
                  : a == "--lines"         ? &o.lines
                  : a == "--rounds"        ? &o.rounds
                  : a == "--timeout-ms"    ? &o.timeoutMs
                                           : nullptr;
    if (target == nullptr || i + 1 >= argc)
      return false;
    *target = std::atoi(argv[++i]);
  }
  // Bounded, whatever is asked.
  o.portalSlow = std::clamp(o.portalSlow, 0, 500);
  o.engineSlow = std::clamp(o.engineSlow, 0, 500);
  o.shutdownSlow = std::clamp(o.shutdownSlow, 0, 100);
  o.intervalMs = std::clamp(o.intervalMs, 10, 10000);
  o.lines = std::clamp(o.lines, 1, 20);
  o.rounds = std::clamp(o.rounds, 1, 10);
  o.timeoutMs = std::clamp(o.timeoutMs, 100, 30000);
  return true;
}

}  // namespace

int main(int argc, char **argv)
{
  Options o;
  if (!ParseArgs(argc, argv, o)) {
    std::fprintf(stderr, "usage: bench_slowclients [--portal-slow N] [--engine-slow N] "
                         "[--shutdown-slow N] [--interval-ms N]\n"
                         "                         [--lines N] [--rounds N] [--timeout-ms N]\n");
    return 2;
  }
  ::signal(SIGPIPE, SIG_IGN);
  // The engine keeps its machine id under XDG_DATA_HOME: a folder of its own.
  char home[] = "/tmp/bench-slowclients-home-XXXXXX";
  if (::mkdtemp(home)) {
    ::setenv("XDG_DATA_HOME", home, 1);
    ::setenv("XDG_CONFIG_HOME", home, 1);
  }
  std::printf("Normal requests beside slow clients (best of %d); shutdown beside them.\n",
              o.rounds);
  RunPortal(o);
  RunEngine(o);
  std::system(("rm -rf '" + std::string(home) + "'").c_str());
  return 0;
}
