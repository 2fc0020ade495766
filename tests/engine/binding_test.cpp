// The client's binding: loads the library from a path, and hands every
// engine callback to the thread of the binding object as a queued signal.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstring>
#include <thread>

#include "net/enginelibrary.h"
#include "testserver.h"

namespace {

// Runs the event loop until `done` holds or 20 s pass.
template <typename Pred>
bool SpinUntil(Pred done)
{
  QEventLoop loop;
  QTimer tick;
  QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
    if (done())
      loop.quit();
  });
  tick.start(5);
  QTimer::singleShot(20000, &loop, &QEventLoop::quit);
  if (!done())
    loop.exec();
  return done();
}

class BindingTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp_.isValid());
    qputenv("XDG_DATA_HOME", (tmp_.path() + "/data").toUtf8());
    qputenv("XDG_CONFIG_HOME", (tmp_.path() + "/config").toUtf8());
  }
  QTemporaryDir tmp_;
};

TEST_F(BindingTest, CallbacksArriveQueuedOnTheObjectsThread)
{
  TestServer server;
  server.setAnswer("/portal/engine/signin", 200, "result=0\nuser=5\npoints=60\nlevel=2\n");
  server.setAnswer("/portal/engine/version", 200,
                   "action=3\ncatalog=2046\nservice=9\nupdater=1006\n");

  EngineLibrary engine(QString::fromUtf8(KESTROVA_ENGINE_LIB));
  ASSERT_TRUE(engine.isLoaded()) << engine.errorString().toStdString();
  ASSERT_TRUE(engine.Initkestrova(16783119));

  QThread *const ui = QThread::currentThread();
  std::vector<std::vector<int>> got;
  bool offThread = false;
  auto note = [&](std::vector<int> v) {
    offThread = offThread || QThread::currentThread() != ui;
    got.push_back(std::move(v));
  };
  QObject::connect(&engine, &IEngine::taskEnded, [&](int id, int p) { note({'T', id, p}); });
  QObject::connect(&engine, &IEngine::signInResult, [&](int r, int u, int p, int l) {
    note({'S', r, u, p, l});
  });
  QObject::connect(&engine, &IEngine::versionInfo, [&](int a, int c, int n, int u) {
    note({'V', a, c, n, u});
  });

  const QString target = tmp_.path() + "/cache/12.swf";
  ASSERT_TRUE(engine.NewDownload(12, QString::fromStdString(server.url("/data/200000")), target));
  // The sign-in runs on a worker thread, as the client does it; its reports
  // are queued, so nothing arrives before the event loop runs.
  std::thread login(
      [&] { engine.ClientLoginIn(16783119, QString::fromStdString(server.url("/portal"))); });
  login.join();
  EXPECT_TRUE(got.empty());
  ASSERT_TRUE(SpinUntil([&] { return got.size() == 3; }));
  EXPECT_FALSE(offThread);
  std::vector<std::vector<int>> signIns, others;
  for (auto &v : got)
    (v[0] == 'T' ? others : signIns).push_back(v);
  EXPECT_EQ(others, (std::vector<std::vector<int>>{{'T', 12, 100}}));
  EXPECT_EQ(signIns, (std::vector<std::vector<int>>{{'S', 0, 5, 60, 2}, {'V', 3, 2046, 9, 1006}}));
  QFile file(target);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().toStdString() == TestServer::Content(200000));

  int32_t percent = 0, spare = 0, total = 0;
  ASSERT_TRUE(engine.GetProgInfo(12, &percent, &spare, &total));
  EXPECT_EQ(percent, 100);
  EXPECT_EQ(total, 200000);

  // The local address through the binding.
  char buffer[IEngine::kAddressBufferSize];
  std::memset(buffer, 0, sizeof buffer);
  ASSERT_TRUE(
      engine.SetProgramInfo(QString::fromStdString(server.url("/data/10.flv")), 12, 2, 2, buffer));
  EXPECT_TRUE(QByteArray(buffer).startsWith("http://127.0.0.1:"));
  EXPECT_TRUE(QByteArray(buffer).endsWith(".flv"));

  // A second binding cannot start the one engine of the process.
  EngineLibrary second(QString::fromUtf8(KESTROVA_ENGINE_LIB));
  ASSERT_TRUE(second.isLoaded());
  EXPECT_FALSE(second.Initkestrova(1));

  // After shutdown nothing more arrives, even for a report already queued.
  ASSERT_TRUE(engine.NewDownload(13, QString::fromStdString(server.url("/slow/3000000")),
                                 tmp_.path() + "/cache/13"));
  engine.UnInitkestrova();
  engine.UnInitkestrova();
  const auto before = got.size();
  QCoreApplication::processEvents();
  EXPECT_EQ(got.size(), before);
  EXPECT_FALSE(QFile::exists(tmp_.path() + "/cache/13"));
  EXPECT_TRUE(second.Initkestrova(1));  // free again
}

TEST_F(BindingTest, MissingLibraryOrFunctionsMakeEveryCallFalse)
{
  QTemporaryDir dir;
  const QString notEngine = dir.path() + "/libnot.so";
  // A real shared library without the engine's functions.
  QFile::copy(QStringLiteral("/lib/x86_64-linux-gnu/libz.so.1"), notEngine);
  for (const QString &path :
       {QStringLiteral("/nonexistent/libkestrova.so"), notEngine, QString()}) {
    SCOPED_TRACE(path.toStdString());
    EngineLibrary engine(path);
    EXPECT_FALSE(engine.isLoaded());
    EXPECT_FALSE(engine.errorString().isEmpty());
    char buffer[IEngine::kAddressBufferSize] = {};
    int32_t p = 0, s = 0, t = 0;
    EXPECT_FALSE(engine.Initkestrova(1));
    EXPECT_FALSE(
        engine.NewDownload(1, QStringLiteral("http://127.0.0.1:9/a.swf"), dir.path() + "/a.swf"));
    EXPECT_FALSE(engine.StopDownload(1));
    EXPECT_FALSE(engine.GetProgInfo(1, &p, &s, &t));
    EXPECT_FALSE(
        engine.SetProgramInfo(QStringLiteral("http://127.0.0.1:9/a.swf"), 1, 2, 2, buffer));
    EXPECT_FALSE(engine.SetPcRun(1));
    EXPECT_FALSE(engine.ClientLoginIn(1, QStringLiteral("http://127.0.0.1:9")));
    engine.UnInitkestrova();
  }
}

}  // namespace

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
