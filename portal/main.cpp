// kestrova-portal: the stand-in for the portal's servers, on one loopback port.
//
//   kestrova-portal --port N --data DIR [--platform-ini FILE] [--seed DIR] [--scale N] [--verbose]
//       builds or reuses its data in DIR, writes FILE (Config/platform.ini for a
//       client), prints its base address as the first line and serves until
//       SIGTERM or SIGINT.  --verbose reports seed problems and every request
//       on standard error.
//   kestrova-portal --export-client DIR [--seed DIR]
//       writes the files the client ships: Resource/xml/100093.xml and
//       Resource/html/search/ (search.db and the files its result page loads).
//   kestrova-portal --data DIR --bind MACHINE=LOGIN
//   kestrova-portal --data DIR --add-user LOGIN:PASSWORD[:LEVEL[:POINTS]]
//       edit the accounts of the data folder.
#include "base/gbk.h"
#include "derived.h"
#include "model.h"
#include "server.h"
#include "store.h"

#include <QDir>
#include <QFileInfo>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <pthread.h>
#include <thread>
#include <unistd.h>

using namespace portal;

namespace {

void Fail(const QString &message)
{
  std::fprintf(stderr, "kestrova-portal: %s\n", message.toLocal8Bit().constData());
}

void Usage()
{
  std::fputs("usage: kestrova-portal --port N --data DIR [--platform-ini FILE] [--seed DIR] "
             "[--scale N] [--verbose]\n"
             "       kestrova-portal --export-client DIR [--seed DIR] [--scale N]\n"
             "       kestrova-portal --data DIR --bind MACHINE=LOGIN\n"
             "       kestrova-portal --data DIR --add-user LOGIN:PASSWORD[:LEVEL[:POINTS]]\n",
             stderr);
}

// Seed data lies beside the executable: <dir>/portal/ in an installation
// folder, <dir>/ itself in the build tree.
QString DefaultSeed()
{
  const QString exeDir =
      QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(u'/', 0, -2);
  if (QFileInfo::exists(exeDir + QStringLiteral("/portal/data/channels.tsv")))
    return exeDir + QStringLiteral("/portal");
  return exeDir;
}

bool WritePlatformIni(const QString &file, const QString &root)
{
  const QStringList lines = {
      QStringLiteral("[Info]"),
      QStringLiteral("1=") + root,
      QStringLiteral("2=") + root + QStringLiteral("/hl/"),
      QStringLiteral("3=") + root + u'/',
      QStringLiteral("4=") + root + QStringLiteral("/index.htm"),
      QStringLiteral("6=") + root + QStringLiteral("/ksvComment/userComment.do"),
      QStringLiteral("9=") + root + QStringLiteral("/ksvWsUser/UserService"),
      QStringLiteral("10=") + root + QStringLiteral("/Mp3PageHtml/Mp3PageHtml"),
      QStringLiteral("12=") + root + QStringLiteral("/support.htm"),
      QStringLiteral("17=") + root + QStringLiteral("/Mp3PageHtml/DownloadAds"),
      QStringLiteral("18=") + root + QStringLiteral("/Mp3PageHtml/ad/"),
  };
  return WriteFileAtomically(file,
                             ToGbk(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
}

}  // namespace

int main(int argc, char **argv)
{
  // SIGTERM and SIGINT are taken by sigwait() in the main thread; every
  // thread started later inherits the mask.  A shell starts background
  // jobs with SIGINT ignored, and an ignored signal never reaches
  // sigwait(), so both get their default disposition back first.
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  int port = 0, scale = 0;
  QString dataDir, iniFile, seedDir, exportDir, bind, addUser;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const QString a = QString::fromLocal8Bit(argv[i]);
    auto value = [&](QString *out) {
      if (i + 1 >= argc)
        return false;
      *out = QString::fromLocal8Bit(argv[++i]);
      return true;
    };
    QString v;
    bool ok = true;
    if (a == u"--port" && value(&v)) {
      port = v.toInt(&ok);
      ok = ok && port >= 0 && port <= 65535;
    } else if (a == u"--scale" && value(&v)) {
      scale = v.toInt(&ok);
      ok = ok && scale >= 1 && scale <= 7 * 99 + 91 * 99;
    } else if (a == u"--data" && value(&dataDir)) {
    } else if (a == u"--platform-ini" && value(&iniFile)) {
    } else if (a == u"--seed" && value(&seedDir)) {
    } else if (a == u"--export-client" && value(&exportDir)) {
    } else if (a == u"--bind" && value(&bind)) {
    } else if (a == u"--add-user" && value(&addUser)) {
    } else if (a == u"--verbose") {
      verbose = true;
    } else if (a == u"--help" || a == u"-h") {
      Usage();
      return 0;
    } else {
      ok = false;
    }
    if (!ok) {
      Fail(QStringLiteral("bad argument: %1").arg(a));
      Usage();
      return 2;
    }
  }

  QString error;
  QStringList warnings;
  std::optional<Model> model;
  if (scale > 0) {
    model = Model::Generate(scale);
  } else {
    if (seedDir.isEmpty())
      seedDir = DefaultSeed();
    model = Model::LoadSeed(seedDir, &error, &warnings);
  }
  if (!model) {
    Fail(error);
    return 1;
  }
  if (verbose)
    for (const QString &w : warnings)
      Fail(w);

  if (!exportDir.isEmpty()) {
    if (!ExportClientFiles(*model, exportDir, &error)) {
      Fail(error);
      return 1;
    }
    return 0;
  }
  if (dataDir.isEmpty()) {
    Fail(QStringLiteral("--data DIR is required"));
    Usage();
    return 2;
  }
  Store store;
  if (!store.Open(dataDir, &error)) {
    Fail(error);
    return 1;
  }
  if (!bind.isEmpty() || !addUser.isEmpty()) {
    if (!bind.isEmpty() && !store.Bind(bind.section(u'=', 0, 0), bind.section(u'=', 1), &error)) {
      Fail(error);
      return 1;
    }
    if (!addUser.isEmpty()) {
      const QStringList f = addUser.split(u':');
      if (f.size() < 2 || !store.AddUser(f[0], f[1], f.value(2, QStringLiteral("1")).toInt(),
                                         f.value(3, QStringLiteral("0")).toInt(), &error)) {
        Fail(f.size() < 2 ? QStringLiteral("--add-user takes LOGIN:PASSWORD[:LEVEL[:POINTS]]")
                          : error);
        return 1;
      }
    }
    return 0;
  }
  if (!PortalServer::PrepareData(*model, dataDir, &error)) {
    Fail(error);
    return 1;
  }

  PortalServer server(*model, store);
  const int bound = server.Bind(port);
  if (bound <= 0) {
    Fail(QStringLiteral("cannot listen on 127.0.0.1:%1").arg(port));
    return 1;
  }
  const QString root = QStringLiteral("http://127.0.0.1:%1").arg(bound);
  server.SetBaseAddress(root);
  if (!iniFile.isEmpty() && !WritePlatformIni(iniFile, root)) {
    Fail(QStringLiteral("cannot write %1").arg(iniFile));
    return 1;
  }
  std::printf("%s\n", root.toUtf8().constData());
  std::fflush(stdout);
  if (verbose) {
    Fail(QStringLiteral("serving %1 with data in %2").arg(root, QDir(dataDir).absolutePath()));
    server.LogRequests();
  }

  std::atomic<bool> served{false};
  std::thread serving([&server, &served] {
    server.Run();
    served = true;
    kill(getpid(), SIGTERM);  // a server that stops on its own ends the process too
  });
  int sig = 0;
  sigwait(&stopSignals, &sig);
  // A signal that comes before the serving thread has started listening
  // would find nothing to stop: ask again until the thread is done.
  while (!served) {
    server.Stop();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  serving.join();
  return 0;
}
