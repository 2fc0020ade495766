// Saving a large item through the client's whole download road — the
// engine's local address, the download worker, the file in the download
// folder — beside the curl command on the item's content address, both
// against the stand-in portal in the same run; and the resident memory this
// process (engine and worker inside it, as in the client) gains during the
// transfer.
//
//   bench_download [--size-mib N] [--rounds N]
//
// The portal serves a seed made here: one item whose file is N MiB (256 by
// default) of varied bytes.  Each round saves the item once with
// `curl -s -o` and once through the engine and the worker; both files are
// compared byte for byte with the seed's file; a third transfer, curl on the
// engine's local address, shows the engine's share.  Rounds alternate which
// side goes first; the summary gives the median and the best of each.
#include "base/config.h"
#include "base/globals.h"
#include "download/core/downloadcontent.h"
#include "download/core/downloadqueue.h"
#include "net/enginelibrary.h"
#include "player/core/ksvplay.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>
#include <thread>
#include <vector>

namespace {

qint64 ResidentKiB()
{
  QFile f(QStringLiteral("/proc/self/status"));
  if (!f.open(QIODevice::ReadOnly))
    return -1;
  for (const QByteArray &line : f.readAll().split('\n'))
    if (line.startsWith("VmRSS:"))
      return line.mid(6).trimmed().split(' ').first().toLongLong();
  return -1;
}

// Peak resident size while it runs, sampled every 20 ms.
class RssSampler {
public:
  RssSampler() : m_peak(ResidentKiB())
  {
    m_thread = std::thread([this] {
      while (!m_stop.load()) {
        const qint64 now = ResidentKiB();
        qint64 peak = m_peak.load();
        while (now > peak && !m_peak.compare_exchange_weak(peak, now)) {
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
  }
  ~RssSampler() { stop(); }
  qint64 stop()
  {
    m_stop = true;
    if (m_thread.joinable())
      m_thread.join();
    return m_peak.load();
  }

private:
  std::atomic<qint64> m_peak;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

bool WriteSeedFile(const QString &path, qint64 bytes)
{
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly))
    return false;
  QByteArray block(1 << 20, Qt::Uninitialized);
  unsigned x = 12345;
  for (char &c : block) {
    x = x * 1103515245u + 12345u;
    c = static_cast<char>(x >> 16);
  }
  for (qint64 done = 0, i = 0; done < bytes; ++i) {
    block[0] = static_cast<char>(i);
    block[1] = static_cast<char>(i >> 8);
    const qint64 n = std::min<qint64>(block.size(), bytes - done);
    if (f.write(block.constData(), n) != n)
      return false;
    done += n;
  }
  return f.flush();
}

double Median(std::vector<double> v)
{
  std::sort(v.begin(), v.end());
  const std::size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

bool SameFiles(const QString &a, const QString &b)
{
  QFile fa(a), fb(b);
  if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
    return false;
  while (!fa.atEnd())
    if (fa.read(1 << 20) != fb.read(1 << 20))
      return false;
  return true;
}

// Processor seconds (user + system) of this process, or of its ended
// children.
double CpuSeconds(int who)
{
  rusage u{};
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// Runs this thread's event loop until done() holds.  It sleeps until the
// next event, as the client's own loop does: a loop that spins would take a
// processor from the transfer it waits for, which curl's side never pays.
template <class Done>
void RunEventsUntil(Done done)
{
  QTimer tick;  // wakes the loop now and then should a check need it
  tick.start(50);
  while (!done())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Context switches (waits and pre-emptions) of this process, or of its
// ended children: how often the transfer's threads hand over to each other.
long Switches(int who)
{
  rusage u{};
  getrusage(who, &u);
  return u.ru_nvcsw + u.ru_nivcsw;
}

struct Run {
  double cpu = 0;  // processor seconds of the reading side (curl, or engine and worker)
  long switches = 0;
  double seconds = -1;
  double workerSeconds = -1;  // the worker's end (the client path)
  bool identical = false;
  qint64 rssBeforeKiB = 0, rssPeakKiB = 0;
  QString status;
};

Run ThroughCurl(const QString &address, const QString &target, const QString &seedFile)
{
  Run run;
  QFile::remove(target);
  QElapsedTimer timer;
  const double cpu0 = CpuSeconds(RUSAGE_CHILDREN);
  const long switches0 = Switches(RUSAGE_CHILDREN);
  timer.start();
  const int code = QProcess::execute(QStringLiteral("curl"), {"-s", "-o", target, address});
  run.seconds = timer.nsecsElapsed() / 1e9;
  run.cpu = CpuSeconds(RUSAGE_CHILDREN) - cpu0;
  run.switches = Switches(RUSAGE_CHILDREN) - switches0;
  run.identical = code == 0 && SameFiles(target, seedFile);
  QFile::remove(target);
  return run;
}

// curl reading the engine's local address: the engine's share of the cost,
// without the worker.
Run ThroughEngineWithCurl(EngineLibrary &engine, const QString &address, const QString &target,
                          const QString &seedFile)
{
  Run run;
  QFile::remove(target);
  QElapsedTimer timer;
  const double cpu0 = CpuSeconds(RUSAGE_CHILDREN) + CpuSeconds(RUSAGE_SELF);
  const long switches0 = Switches(RUSAGE_CHILDREN) + Switches(RUSAGE_SELF);
  timer.start();
  char buffer[IEngine::kAddressBufferSize] = {};
  engine.SetProgramInfo(address, 121, 2, 2, buffer);
  const QString local = QString::fromUtf8(buffer);
  const int code = QProcess::execute(QStringLiteral("curl"), {"-s", "-o", target, local});
  run.seconds = timer.nsecsElapsed() / 1e9;
  run.cpu = CpuSeconds(RUSAGE_CHILDREN) + CpuSeconds(RUSAGE_SELF) - cpu0;
  run.switches = Switches(RUSAGE_CHILDREN) + Switches(RUSAGE_SELF) - switches0;
  run.identical = code == 0 && SameFiles(target, seedFile);
  QFile::remove(target);
  return run;
}

// The worker alone on the content address: the worker's share.
Run ThroughWorker(const QString &address, const QString &target, const QString &seedFile)
{
  Run run;
  QFile::remove(target);
  QElapsedTimer timer;
  const double cpu0 = CpuSeconds(RUSAGE_SELF);
  const long switches0 = Switches(RUSAGE_SELF);
  timer.start();
  TTransferResult result;
  bool ended = false;
  TDownloadContent worker(nullptr, address, target, 0);
  QObject::connect(&worker, &TDownloadContent::transferEnded, [&](const TTransferResult &r) {
    result = r;
    ended = true;
  });
  worker.begin();
  RunEventsUntil([&] { return ended; });
  run.seconds = timer.nsecsElapsed() / 1e9;
  run.cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
  run.switches = Switches(RUSAGE_SELF) - switches0;
  run.identical = result.complete && SameFiles(target, seedFile);
  QFile::remove(target);
  return run;
}

Run ThroughClient(EngineLibrary &engine, const QString &address, const QString &target,
                  const QString &seedFile)
{
  Run run;
  QFile::remove(target);
  int reported = -1;
  const auto connection = QObject::connect(&engine, &IEngine::taskEnded, [&](int id, int percent) {
    if (id == 120)
      reported = percent;
  });
  run.rssBeforeKiB = ResidentKiB();
  RssSampler sampler;
  QElapsedTimer timer;
  const double cpu0 = CpuSeconds(RUSAGE_SELF);
  const long switches0 = Switches(RUSAGE_SELF);
  timer.start();
  char buffer[IEngine::kAddressBufferSize] = {};
  engine.SetProgramInfo(address, 120, 2, 2, buffer);
  const QString local = QString::fromUtf8(buffer);
  const auto task = TaskNumberOf(local);
  if (!task) {
    run.status = QStringLiteral("no local address");
    QObject::disconnect(connection);
    return run;
  }
  TTransferResult result;
  bool ended = false;
  TDownloadContent worker(&engine, local, target, *task);
  QObject::connect(&worker, &TDownloadContent::transferEnded, [&](const TTransferResult &r) {
    result = r;
    ended = true;
    run.workerSeconds = timer.nsecsElapsed() / 1e9;
  });
  worker.begin();
  RunEventsUntil([&] { return ended && reported >= 0; });
  run.seconds = timer.nsecsElapsed() / 1e9;
  run.cpu = CpuSeconds(RUSAGE_SELF) - cpu0;
  run.switches = Switches(RUSAGE_SELF) - switches0;
  run.rssPeakKiB = sampler.stop();
  std::int32_t percent = 0, spare = 0, total = 0;
  engine.GetProgInfo(*task, &percent, &spare, &total);
  run.status = FetchedRowStatus(reported, result, total);
  run.identical = result.complete && SameFiles(target, seedFile);
  QObject::disconnect(connection);
  QFile::remove(target);
  return run;
}

}  // namespace

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  qint64 sizeMiB = 256;
  int rounds = 5;
  const QStringList args = app.arguments();
  for (int i = 1; i < args.size(); ++i) {
    if (args[i] == "--size-mib" && i + 1 < args.size())
      sizeMiB = args[++i].toLongLong();
    else if (args[i] == "--rounds" && i + 1 < args.size())
      rounds = args[++i].toInt();
  }
  if (sizeMiB <= 0 || rounds <= 0) {
    std::fprintf(stderr, "usage: bench_download [--size-mib N] [--rounds N]\n");
    return 2;
  }

  QTemporaryDir work;
  const QString root = work.path() + u'/';
  const QString seed = root + "seed/";
  QDir().mkpath(seed + "data");
  QDir().mkpath(seed + "media");
  QFile::copy(QStringLiteral(KESTROVA_PORTAL_SEED) + "/data/channels.tsv",
              seed + "data/channels.tsv");
  {
    QFile items(seed + "data/items.tsv");
    if (!items.open(QIODevice::WriteOnly))
      return 1;
    items.write("id\ttype\tchannel\tname\tfile\n120\t1\t070205\t大文件\tbig.swf\n");
  }
  const QString seedFile = seed + "media/big.swf";
  std::printf("making a %lld MiB item...\n", static_cast<long long>(sizeMiB));
  if (!WriteSeedFile(seedFile, sizeMiB << 20)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(seedFile));
    return 1;
  }

  AppDir = root + "app/";
  QDir().mkpath(AppDir + "Config");
  {
    QFile source(AppDir + "Config/pvlt_Source.ini");
    if (!source.open(QIODevice::WriteOnly))
      return 1;
    source.write("[sys]\r\nvar_type=0\r\nExeUpdate=1\r\nXmlUpdate=1\r\n");
  }
  QProcess portal;
  portal.start(QStringLiteral(KESTROVA_PORTAL_EXE),
               {"--port", "0", "--data", root + "data", "--seed", seed, "--platform-ini",
                AppDir + "Config/platform.ini"});
  if (!portal.waitForStarted(10000))
    return 1;
  QByteArray out;
  while (!out.contains('\n') && portal.state() == QProcess::Running) {
    portal.waitForReadyRead(200);
    out += portal.readAllStandardOutput();
  }
  if (!out.contains('\n')) {
    std::fprintf(stderr, "the portal did not start: %s\n",
                 portal.readAllStandardError().constData());
    return 1;
  }
  LoadConfiguration();
  const QString address = ContentAddress(QStringLiteral("120"), QStringLiteral(".swf"));
  std::printf("portal %s, item %s\n", out.left(out.indexOf('\n')).constData(), qPrintable(address));

  EngineLibrary engine{QStringLiteral(KESTROVA_ENGINE_LIB)};
  if (!engine.isLoaded() || !engine.Initkestrova(16783119)) {
    std::fprintf(stderr, "engine: %s\n", qPrintable(engine.errorString()));
    return 1;
  }

  const double mib = static_cast<double>(sizeMiB);
  double bestCurl = 1e30, bestClient = 1e30, bestLocal = 1e30;
  std::vector<double> curlTimes, clientTimes, localTimes, aloneTimes, curlCpu, clientCpu;
  std::vector<double> pairRatios;  // each round's own: its two transfers ran back to back
  qint64 worstGrowthKiB = 0;
  bool allIdentical = true;
  for (int round = 1; round <= rounds; ++round) {
    // The order changes from round to round, so that neither side always
    // finds the page cache and the processor in the other's wake.
    Run curl, client, local;
    if (round % 2) {
      curl = ThroughCurl(address, root + "curl.swf", seedFile);
      client = ThroughClient(engine, address, root + "DL/大文件.swf", seedFile);
    } else {
      client = ThroughClient(engine, address, root + "DL/大文件.swf", seedFile);
      curl = ThroughCurl(address, root + "curl.swf", seedFile);
    }
    local = ThroughEngineWithCurl(engine, address, root + "local.swf", seedFile);
    const Run alone = ThroughWorker(address, root + "alone.swf", seedFile);
    const qint64 growth = client.rssPeakKiB - client.rssBeforeKiB;
    auto line = [&](const char *what, const Run &r) {
      std::printf("  %-42s %6.3f s %7.1f MiB/s  cpu %5.2f s %7ld switches%s\n", what, r.seconds,
                  mib / r.seconds, r.cpu, r.switches, r.identical ? "" : "  NOT IDENTICAL");
    };
    std::printf("round %d\n", round);
    line("curl on the content address", curl);
    line("client: engine, worker, file", client);
    std::printf("  %-42s %s, worker ended at %.3f s, resident %lld -> peak %lld KiB (+%.1f MiB)\n",
                "", qPrintable(client.status), client.workerSeconds,
                static_cast<long long>(client.rssBeforeKiB),
                static_cast<long long>(client.rssPeakKiB), growth / 1024.0);
    line("curl on the engine's local address", local);
    line("the worker alone on the content address", alone);
    aloneTimes.push_back(alone.seconds);
    curlCpu.push_back(curl.cpu);
    clientCpu.push_back(client.cpu);
    allIdentical = allIdentical && alone.identical;
    curlTimes.push_back(curl.seconds);
    clientTimes.push_back(client.seconds);
    pairRatios.push_back(curl.seconds / client.seconds);
    localTimes.push_back(local.seconds);
    allIdentical = allIdentical && curl.identical && client.identical && local.identical;
    bestLocal = std::min(bestLocal, local.seconds);
    bestCurl = std::min(bestCurl, curl.seconds);
    bestClient = std::min(bestClient, client.seconds);
    worstGrowthKiB = std::max(worstGrowthKiB, growth);
  }
  engine.UnInitkestrova();
  portal.terminate();
  portal.waitForFinished(10000);

  std::printf("\n%d rounds, median (best):\n", rounds);
  std::printf("  curl on the content address      %7.1f MiB/s (%7.1f)\n", mib / Median(curlTimes),
              mib / bestCurl);
  std::printf("  curl on the engine's local address %5.1f MiB/s (%7.1f)\n",
              mib / Median(localTimes), mib / bestLocal);
  std::printf("  the worker alone on the content address %.1f MiB/s\n", mib / Median(aloneTimes));
  std::printf("  client: engine, worker, file     %7.1f MiB/s (%7.1f)\n", mib / Median(clientTimes),
              mib / bestClient);
  std::printf("throughput ratio client/curl: %.2f median, %.2f best (target >= 0.80)\n",
              Median(curlTimes) / Median(clientTimes), bestCurl / bestClient);
  std::printf("  the rounds' own ratios: median %.2f, from %.2f to %.2f\n", Median(pairRatios),
              *std::min_element(pairRatios.begin(), pairRatios.end()),
              *std::max_element(pairRatios.begin(), pairRatios.end()));
  std::printf("processor time per transfer, median: curl %.2f s, client %.2f s\n", Median(curlCpu),
              Median(clientCpu));
  std::printf("  of which the engine's local address alone: %.2f median\n",
              Median(curlTimes) / Median(localTimes));
  std::printf("largest resident growth during a transfer: %.1f MiB (target < 64 MiB)\n",
              worstGrowthKiB / 1024.0);
  std::printf("files identical to the item: %s\n", allIdentical ? "yes" : "NO");
  // One line for bench/report.
  std::printf("summary download curl_mibs=%.1f client_mibs=%.1f ratio=%.3f rss_growth_mib=%.1f "
              "identical=%s\n",
              mib / Median(curlTimes), mib / Median(clientTimes),
              Median(curlTimes) / Median(clientTimes), worstGrowthKiB / 1024.0,
              allIdentical ? "yes" : "no");
  return allIdentical ? 0 : 1;
}
