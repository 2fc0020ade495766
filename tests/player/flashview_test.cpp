// The Flash player control: its loopback server serves only the program's
// folders, and Ruffle really shows the movie with the control's properties.
#include "testappdir.h"

#include "base/globals.h"
#include "player/flashview.h"
#include "player/mediaserver.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

TEST(MediaServer, ServesOnlyTheRuntimeThePageAndTheFilePlayed)
{
  TestAppDir app(false);
  ASSERT_TRUE(app.isValid());
  ASSERT_TRUE(app.write("Caches/12.swf", "FWS-movie"));
  ASSERT_TRUE(app.write("Caches/13.swf", "FWS-other"));
  ASSERT_TRUE(app.write("ruffle/x.wasm", "wasm"));
  ASSERT_TRUE(app.write("ruffle/x.js", "js"));
  ASSERT_TRUE(app.write("ruffle/notes.txt", "secret notes"));
  ASSERT_TRUE(app.write("flvplayer.swf", "FWS-video-player"));
  ASSERT_TRUE(app.write("Config/local.ini", "[Info]\r\n2=secret-password\r\n"));
  ASSERT_TRUE(app.write("DL/儿歌 一.mp3", "0123456789"));
  ASSERT_TRUE(app.write("DL/saved.swf", "secret saved game"));
  QTemporaryDir outside;
  QFile secret(outside.path() + "/secret.txt");
  ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
  secret.write("secret");
  secret.close();
  // A link inside a served folder that points outside it.
  ASSERT_EQ(::symlink(QFile::encodeName(secret.fileName()).constData(),
                      QFile::encodeName(CacheDir + "link.swf").constData()),
            0);

  auto server = TMediaServer::Acquire();
  ASSERT_TRUE(server);
  server->setFolders(AppDir, {CacheDir, DownloadDir});
  server->addPage("player.html", "<html></html>", "text/html", {{"X-Test", "1"}});
  const QString played = server->servePlaying(DownloadDir + "儿歌 一.mp3");
  ASSERT_FALSE(played.isEmpty());
  // The address is the file's name, percent-encoded, below the prefix.
  EXPECT_EQ(played, server->base() + "play/" + QUrl::toPercentEncoding("儿歌 一.mp3"));
  // The prefix is drawn at random: 32 hex digits.
  const QString prefix = QUrl(server->base()).path();
  EXPECT_TRUE(QRegularExpression("^/[0-9a-f]{32}/$").match(prefix).hasMatch())
      << prefix.toStdString();
  EXPECT_EQ(server->pageUrl("player.html"), server->base() + "page/player.html");
  EXPECT_EQ(server->runtimeUrl(), server->base() + "ruffle/");
  EXPECT_EQ(server->videoPlayerUrl(), server->base() + "flvplayer.swf");

  httplib::Client client("127.0.0.1", server->port());
  const QByteArray base = prefix.toUtf8();
  const QByteArray app8 = QUrl::toPercentEncoding(AppDir, "/");
  const QByteArray own = QString("127.0.0.1:%1").arg(server->port()).toUtf8();
  const struct {
    QByteArray path;
    int status;
    const char *type;
    QByteArray host = {};
  } cases[] = {
      {base + "ruffle/x.wasm", 200, "application/wasm"},
      {base + "ruffle/x.js", 200, "application/x-javascript"},
      {base + "flvplayer.swf", 200, "application/x-shockwave-flash"},
      {base + "page/player.html", 200, "text/html"},
      {base + "play/" + QUrl::toPercentEncoding("儿歌 一.mp3"), 200, "audio/mpeg"},
      // Nothing else of the program's folders, whatever the path.
      {base + "page/other.html", 404, nullptr},
      {base + "ruffle/notes.txt", 404, nullptr},
      {base + "Config/local.ini", 404, nullptr},
      {base + "ruffle/../Config/local.ini", 404, nullptr},
      {base + "ruffle/%2e%2e/Config/local.ini", 404, nullptr},
      {base + "play/../Config/local.ini", 404, nullptr},
      {base + "play/saved.swf", 404, nullptr},
      {base + "play/13.swf", 404, nullptr},
      {base + "play/" + QUrl::toPercentEncoding("儿歌 一.mp3") + "/", 404, nullptr},
      {app8 + "Config/local.ini", 404, nullptr},
      {app8 + "DL/saved.swf", 404, nullptr},
      {app8 + "Caches/12.swf", 404, nullptr},
      {"/etc/passwd", 404, nullptr},
      {"/ruffle/x.js", 404, nullptr},
      // The old addresses and a guessed prefix get nothing either.
      {"/00000000000000000000000000000000/ruffle/x.js", 404, nullptr},
      // Only requests to the server's own address are answered.
      {base + "ruffle/x.js", 403, nullptr, "evil.example"},
      {base + "ruffle/x.js", 403, nullptr, "localhost:" + QByteArray::number(server->port())},
      {base + "ruffle/x.js", 403, nullptr, "127.0.0.1"},
      {base + "ruffle/x.js", 403, nullptr, "127.0.0.1:1"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.path.toStdString() + " Host " + c.host.toStdString());
    httplib::Headers headers;
    if (!c.host.isEmpty())
      headers.emplace("Host", c.host.toStdString());
    auto res = client.Get(c.path.toStdString(), headers);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, c.status);
    if (c.type) {
      EXPECT_EQ(res->get_header_value("Content-Type"), c.type);
    }
    // No answer lets another origin read it.
    EXPECT_FALSE(res->has_header("Access-Control-Allow-Origin"));
    EXPECT_EQ(res->body.find("secret"), std::string::npos);
  }
  auto page = client.Get((base + "page/player.html").toStdString(), {{"Host", own.toStdString()}});
  ASSERT_TRUE(page);
  EXPECT_EQ(page->get_header_value("X-Test"), "1");

  // Byte ranges, which media players use to seek.
  auto part = client.Get((base + "play/" + QUrl::toPercentEncoding("儿歌 一.mp3")).toStdString(),
                         {{"Range", "bytes=2-5"}});
  ASSERT_TRUE(part);
  EXPECT_EQ(part->status, 206);
  EXPECT_EQ(part->body, "2345");
  // Ranges the file cannot satisfy are refused, several ranges give the
  // whole file, and every answer's length is what it carries.
  const struct {
    const char *range;
    int status;
    const char *body;
    const char *contentRange;
  } ranges[] = {
      {"bytes=5-2", 416, "", ""},
      {"bytes=10-", 416, "", "bytes */10"},
      {"bytes=20-30", 416, "", "bytes */10"},
      {"bytes=-3", 206, "789", "bytes 7-9/10"},
      {"bytes=8-100", 206, "89", "bytes 8-9/10"},
      {"bytes=0-1,4-5", 200, "0123456789", ""},
  };
  for (const auto &r : ranges) {
    SCOPED_TRACE(r.range);
    auto res = client.Get((base + "play/" + QUrl::toPercentEncoding("儿歌 一.mp3")).toStdString(),
                          {{"Range", r.range}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, r.status);
    EXPECT_EQ(res->body, r.body);
    if (*r.contentRange) {
      EXPECT_EQ(res->get_header_value("Content-Range"), r.contentRange);
    }
    if (res->has_header("Content-Length")) {
      EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(res->body.size()));
    }
  }

  // Another file played: the one before is served no more.
  const QString next = server->servePlaying(CacheDir + "12.swf");
  EXPECT_EQ(next, server->base() + "play/12.swf");
  EXPECT_EQ(client.Get((base + "play/12.swf").toStdString())->status, 200);
  EXPECT_EQ(
      client.Get((base + "play/" + QUrl::toPercentEncoding("儿歌 一.mp3")).toStdString())->status,
      404);
  // What may not be played is refused and ends what was served.
  const QString refused[] = {secret.fileName(),
                             CacheDir + "link.swf",
                             CacheDir + "../Caches/12.swf",
                             CacheDir + "missing.swf",
                             AppDir + "Config/local.ini",
                             CacheDir,
                             QString(),
                             "Caches/12.swf"};
  for (const QString &path : refused) {
    SCOPED_TRACE(path.toStdString());
    ASSERT_FALSE(server->servePlaying(CacheDir + "12.swf").isEmpty());
    EXPECT_TRUE(server->servePlaying(path).isEmpty());
    EXPECT_EQ(client.Get((base + "play/12.swf").toStdString())->status, 404);
  }
  server->servePlaying(CacheDir + "12.swf");
  server->stopPlaying();
  EXPECT_EQ(client.Get((base + "play/12.swf").toStdString())->status, 404);
}

TEST(MediaServer, AStandbyRequestWaitsForThePlayedMovieAndGetsItOnce)
{
  TestAppDir app(false);
  ASSERT_TRUE(app.isValid());
  ASSERT_TRUE(app.write("Caches/12.swf", "FWS-movie"));
  ASSERT_TRUE(app.write("Caches/13.swf", "FWS-other"));
  auto server = TMediaServer::Acquire();
  ASSERT_TRUE(server);
  server->setFolders(AppDir, {CacheDir, DownloadDir});
  const std::string prefix = QUrl(server->base()).path().toStdString();
  auto pathOf = [](const QString &url) { return QUrl(url).path().toStdString(); };
  // A standby request, answered on a thread of its own.
  struct Answer {
    std::thread thread;
    std::atomic<bool> done{false};
    int status = 0;
    std::string body, type;
  };
  auto ask = [&](const std::string &path, Answer &a) {
    a.thread = std::thread([&a, path, port = server->port()] {
      httplib::Client client("127.0.0.1", port);
      client.set_read_timeout(20, 0);
      if (auto res = client.Get(path)) {
        a.status = res->status;
        a.body = res->body;
        a.type = res->get_header_value("Content-Type");
      }
      a.done = true;
    });
  };

  const QString first = server->standbyUrl();
  EXPECT_EQ(first.left(server->base().size() + 8), server->base() + "standby/");
  Answer waiting;
  ask(pathOf(first), waiting);
  // Nothing is released before a file is played, nor for another address.
  EXPECT_FALSE(server->releaseStandby(server->base() + "play/12.swf"));
  const QString played = server->servePlaying(CacheDir + "12.swf");
  ASSERT_FALSE(played.isEmpty());
  EXPECT_FALSE(server->releaseStandby(server->base() + "play/13.swf"));
  EXPECT_FALSE(server->releaseStandby(server->base() + "ruffle/12.swf"));
  EXPECT_FALSE(server->releaseStandby("http://127.0.0.1:1/x/play/12.swf"));
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(waiting.done) << "a standby request was answered before its movie was named";
  // Released: the waiting request gets the movie played.
  EXPECT_TRUE(server->releaseStandby(played));
  waiting.thread.join();
  EXPECT_EQ(waiting.status, 200);
  EXPECT_EQ(waiting.body, "FWS-movie");
  EXPECT_EQ(waiting.type, "application/x-shockwave-flash");
  // Once only: asked again, the same address gets nothing.
  httplib::Client client("127.0.0.1", server->port());
  EXPECT_EQ(client.Get(pathOf(first))->status, 404);
  EXPECT_FALSE(server->releaseStandby(played));

  // Released before its request comes: the request gets the movie at once.
  const QString second = server->standbyUrl();
  ASSERT_NE(second, first);
  EXPECT_TRUE(server->releaseStandby(server->servePlaying(CacheDir + "13.swf")));
  auto early = client.Get(pathOf(second));
  ASSERT_TRUE(early);
  EXPECT_EQ(early->body, "FWS-other");

  // A newer standby address ends the wait of the one before, "not found";
  // so do an address never handed out and one that is not a number.
  const QString older = server->standbyUrl();
  Answer replaced;
  ask(pathOf(older), replaced);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const QString newest = server->standbyUrl();
  replaced.thread.join();
  EXPECT_EQ(replaced.status, 404);
  for (const std::string tail : {"standby/0", "standby/999", "standby/x", "standby/"}) {
    SCOPED_TRACE(tail);
    EXPECT_EQ(client.Get(prefix + tail)->status, 404);
  }
  // Only this server's own Host is answered, without waiting.
  EXPECT_EQ(client.Get(pathOf(newest), {{"Host", "evil.example"}})->status, 403);

  // A request still waiting when the server stops is answered at once and
  // the stop does not wait for it.
  Answer atStop;
  ask(pathOf(newest), atStop);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_FALSE(atStop.done);
  QElapsedTimer stopping;
  stopping.start();
  server.reset();
  EXPECT_LT(stopping.elapsed(), 2000);
  atStop.thread.join();
  EXPECT_NE(atStop.status, 200);
}

TEST(MediaServer, EachStartHasItsOwnPrefix)
{
  QString first;
  {
    auto server = TMediaServer::Acquire();
    ASSERT_TRUE(server);
    first = server->base();
  }
  auto again = TMediaServer::Acquire();
  ASSERT_TRUE(again);
  EXPECT_NE(QUrl(again->base()).path(), QUrl(first).path());
}

TEST(MediaServer, StartsAndStopsRightAwayAgainAndAgain)
{
  // A server let go the moment it was made must still stop (the start-up's
  // player probe does exactly that); this hung before the fix.
  for (int i = 0; i < 30; ++i) {
    auto server = TMediaServer::Acquire();
    ASSERT_TRUE(server);
    ASSERT_GT(server->port(), 0);
  }
  TestAppDir app(true);
  for (int i = 0; i < 3; ++i) {
    TFlashView probe;
    probe.setMovie(TFlashView::StopMovie());
  }
}

class FlashViewTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(m_app.isValid());
    ASSERT_TRUE(QFileInfo(TestAppDir::PaintMovie()).isFile());
    ASSERT_TRUE(m_app.put(TestAppDir::PaintMovie(), "Caches/1.swf"));
  }
  TestAppDir m_app;
};

TEST_F(FlashViewTest, ShowsTheMovieWithItsVariablesScaleAndBackground)
{
  TFlashView view;
  view.resize(400, 300);
  view.show();
  QSignalSpy frames(&view, &TFlashView::firstFrame);
  view.setBackgroundColor(0);
  view.setScaleMode(2);
  view.setFlashVars("color=0000FF");
  view.setMovie(CacheDir + "1.swf");
  view.setLoop(false);
  ASSERT_TRUE(WaitFor([&] { return frames.count() > 0; }, 60000)) << "no frame painted";
  EXPECT_TRUE(view.isPlaying());
  QImage shot;
  // Exact fit: the movie's left half (blue by its variable) fills the left
  // half of the view; background 0 paints black over the movie's own green.
  ASSERT_TRUE(WaitFor(
      [&] {
        shot = view.grab().toImage();
        return ShareOfColour(shot, QRect(20, 20, 160, 240), qRgb(0, 0, 255)) > 0.95;
      },
      10000))
      << "the movie's pixels did not appear";
  EXPECT_GT(ShareOfColour(shot, QRect(220, 20, 160, 240), qRgb(0, 0, 0)), 0.95);

  // In a view twice as wide, exact fit stretches the movie over the whole
  // width; show all keeps its proportions (the movie aligns its stage to
  // the top left), so its left half covers only a quarter of the view.
  view.resize(800, 300);
  const struct {
    int scaleMode;
    QRect red;
    QRect black;
  } modes[] = {
      {2, QRect(20, 20, 360, 240), QRect(420, 20, 360, 240)},
      {0, QRect(20, 20, 160, 240), QRect(220, 20, 160, 240)},
  };
  for (const auto &m : modes) {
    view.setScaleMode(m.scaleMode);
    view.setFlashVars("color=FF0000");
    frames.clear();
    view.setMovie(CacheDir + "1.swf");
    ASSERT_TRUE(WaitFor([&] { return frames.count() > 0; }, 30000)) << m.scaleMode;
    ASSERT_TRUE(WaitFor(
        [&] {
          shot = view.grab().toImage();
          return ShareOfColour(shot, m.red, qRgb(255, 0, 0)) > 0.95 &&
                 ShareOfColour(shot, m.black, qRgb(0, 0, 0)) > 0.95;
        },
        10000))
        << "scale mode " << m.scaleMode;
  }

  // The stop movie ends playback: nothing of the movie remains.
  QSignalSpy stopped(&view, &TFlashView::movieStopped);
  view.setMovie(TFlashView::StopMovie());
  ASSERT_TRUE(WaitFor([&] { return stopped.count() > 0; }, 10000));
  EXPECT_FALSE(view.isPlaying());
  ASSERT_TRUE(WaitFor(
      [&] {
        shot = view.grab().toImage();
        return ShareOfColour(shot, shot.rect(), qRgb(255, 0, 0)) < 0.01;
      },
      10000));
}

TEST_F(FlashViewTest, APlainMovieAfterAnotherPlaysInTheSparePlayerAndOnlyItsOwnFrameCounts)
{
  ASSERT_TRUE(m_app.put(TestAppDir::PaintMovie(), "Caches/2.swf"));
  ASSERT_TRUE(m_app.write("Caches/bad.swf", QByteArray(4096, 'x')));
  TFlashView view;
  view.resize(400, 300);
  view.show();
  QSignalSpy frames(&view, &TFlashView::firstFrame);
  QSignalSpy failed(&view, &TFlashView::movieFailed);
  view.setBackgroundColor(0);
  view.setScaleMode(2);
  view.setMovie(CacheDir + "1.swf");
  ASSERT_TRUE(WaitFor([&] { return frames.count() > 0; }, 60000)) << "no frame painted";
  EXPECT_FALSE(view.hasStandby()) << "a spare was built while the movie started";
  // Once the movie settled, a spare player waits for the next one.
  ASSERT_TRUE(WaitFor([&] { return view.hasStandby(); }, 20000)) << "no spare player";

  // The next plain movie plays in it, with the same settings.
  auto showsRedOverBlack = [&view] {
    const QImage shot = view.grab().toImage();
    return ShareOfColour(shot, QRect(20, 20, 160, 240), qRgb(255, 0, 0)) > 0.95 &&
           ShareOfColour(shot, QRect(220, 20, 160, 240), qRgb(0, 0, 0)) > 0.95;
  };
  frames.clear();
  view.setMovie(CacheDir + "2.swf");
  EXPECT_FALSE(view.hasStandby()) << "the spare player was not taken";
  ASSERT_TRUE(WaitFor([&] { return frames.count() > 0; }, 30000)) << "no frame from the spare";
  EXPECT_TRUE(WaitFor(showsRedOverBlack, 10000)) << "the movie's pixels did not appear";
  EXPECT_TRUE(view.movieUrl().endsWith("/play/2.swf")) << view.movieUrl().toStdString();
  ASSERT_TRUE(WaitFor([&] { return view.hasStandby(); }, 20000)) << "no new spare player";

  // A movie with variables plays as before and leaves the spare waiting.
  frames.clear();
  view.setFlashVars("color=0000FF");
  view.setMovie(CacheDir + "1.swf");
  EXPECT_TRUE(view.hasStandby());
  ASSERT_TRUE(WaitFor([&] { return frames.count() > 0; }, 30000));
  EXPECT_TRUE(WaitFor(
      [&] {
        const QImage shot = view.grab().toImage();
        return ShareOfColour(shot, QRect(20, 20, 160, 240), qRgb(0, 0, 255)) > 0.95;
      },
      10000));
  view.setFlashVars(QString());

  // A file that is no movie, played in the spare: the spare's empty stage,
  // painted while it waited, is no first frame.
  frames.clear();
  view.setMovie(CacheDir + "bad.swf");
  EXPECT_FALSE(view.hasStandby());
  EXPECT_FALSE(WaitFor([&] { return frames.count() > 0; }, 3000))
      << "a first frame was reported for a file that is no movie";
  EXPECT_EQ(failed.count(), 0);
  // And a movie after it plays.
  view.setMovie(CacheDir + "2.swf");
  ASSERT_TRUE(WaitFor([&] { return frames.count() > 0; }, 30000));
  EXPECT_TRUE(WaitFor(showsRedOverBlack, 10000));
}

TEST_F(FlashViewTest, MovieOutsideTheProgramFoldersIsRefused)
{
  QTemporaryDir other;
  ASSERT_TRUE(QFile::copy(TestAppDir::PaintMovie(), other.path() + "/1.swf"));
  TFlashView view;
  QSignalSpy failed(&view, &TFlashView::movieFailed);
  view.setMovie(other.path() + "/1.swf");
  EXPECT_EQ(failed.count(), 1);
  EXPECT_FALSE(view.isPlaying());
  view.setMovie(CacheDir + "missing.swf");
  EXPECT_EQ(failed.count(), 2);
}

TEST(FlashView, PlaysFromFoldersWhoseNamesHoldAddressCharacters)
{
  // Cache and download folder below a folder whose name means something in
  // an address; the movie still plays, with its variables.
  TestAppDir app(true);
  ASSERT_TRUE(app.isValid());
  const QString odd = AppDir + QStringLiteral("a?b&c+d%e#f 中文/");
  CacheDir = odd + "Caches/";
  DownloadDir = odd + "DL/";
  ASSERT_TRUE(QDir().mkpath(CacheDir));
  ASSERT_TRUE(QDir().mkpath(DownloadDir));
  ASSERT_TRUE(QFile::copy(TestAppDir::PaintMovie(), CacheDir + "1.swf"));
  ASSERT_TRUE(QFile::copy(TestAppDir::PaintMovie(), DownloadDir + QStringLiteral("游戏 #1+%.swf")));
  TFlashView view;
  view.resize(400, 300);
  view.show();
  view.setBackgroundColor(0);
  view.setScaleMode(2);
  const struct {
    QString movie;
    QString vars;
    QRgb colour;
  } cases[] = {
      {CacheDir + "1.swf", "color=0000FF", qRgb(0, 0, 255)},
      {DownloadDir + QStringLiteral("游戏 #1+%.swf"), "color=FF0000", qRgb(255, 0, 0)},
      // Variables in the movie's address count as well.
      {CacheDir + "1.swf?color=0000FF", "", qRgb(0, 0, 255)},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.movie.toStdString());
    QSignalSpy frames(&view, &TFlashView::firstFrame);
    QSignalSpy failed(&view, &TFlashView::movieFailed);
    view.setFlashVars(c.vars);
    view.setMovie(c.movie);
    ASSERT_TRUE(WaitFor([&] { return frames.count() > 0 || failed.count() > 0; }, 60000));
    ASSERT_EQ(failed.count(), 0) << failed.first().first().toString().toStdString();
    QImage shot;
    EXPECT_TRUE(WaitFor(
        [&] {
          shot = view.grab().toImage();
          return ShareOfColour(shot, QRect(20, 20, 160, 240), c.colour) > 0.95;
        },
        10000))
        << "the movie's pixels did not appear";
  }
}

TEST(FlashView, AMovieCannotReachBeyondThePlayer)
{
  // Another web server of the machine, whose address the movie is given: it
  // asks to open it in a new window and in its own page, and to load from
  // it.  Nothing reaches the server, no window opens, the page stays.
  httplib::Server away;
  std::atomic<int> requests{0};
  away.Get(".*", [&](const httplib::Request &, httplib::Response &res) {
    ++requests;
    res.set_header("Access-Control-Allow-Origin", "*");
    res.set_content("reached", "text/plain");
  });
  const int port = away.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread serving([&] { away.listen_after_bind(); });
  TestAppDir app(true);
  ASSERT_TRUE(app.isValid());
  ASSERT_TRUE(app.put(QStringLiteral(KESTROVA_REACH_SWF), "Caches/7.swf"));
  {
    TFlashView view;
    view.resize(400, 300);
    view.show();
    int newWindows = 0;
    QObject::connect(view.page(), &QWebEnginePage::newWindowRequested,
                     [&](QWebEngineNewWindowRequest &) { ++newWindows; });
    QSignalSpy frames(&view, &TFlashView::firstFrame);
    view.setFlashVars(QStringLiteral("away=http://127.0.0.1:%1").arg(port));
    view.setMovie(CacheDir + "7.swf");
    ASSERT_TRUE(WaitFor([&] { return frames.count() > 0; }, 60000));
    const QUrl page = view.url();
    // The movie ran to its end, and had time for its requests.
    EXPECT_TRUE(WaitFor(
        [&] {
          return ShareOfColour(view.grab().toImage(), QRect(20, 20, 160, 240), qRgb(0, 0, 255)) >
                 0.95;
        },
        10000));
    Pump(3000);
    EXPECT_EQ(requests.load(), 0);
    EXPECT_EQ(newWindows, 0);
    EXPECT_EQ(view.url(), page);
    EXPECT_TRUE(view.url().path().endsWith("/page/player.html"))
        << view.url().toString().toStdString();
  }
  away.stop();
  serving.join();
}

TEST(FlashView, WebEngineFlagsKeepWhatTheUserGave)
{
  auto save = [](const char *name) {
    return std::make_pair(qEnvironmentVariableIsSet(name), qgetenv(name));
  };
  auto restore = [](const char *name, const std::pair<bool, QByteArray> &was) {
    if (was.first)
      qputenv(name, was.second);
    else
      qunsetenv(name);
  };
  const auto flags = save("QTWEBENGINE_CHROMIUM_FLAGS"), arenas = save("MALLOC_ARENA_MAX"),
             mapFrom = save("MALLOC_MMAP_THRESHOLD_"), trimFrom = save("MALLOC_TRIM_THRESHOLD_"),
             tunables = save("GLIBC_TUNABLES");
  const QByteArray ours = "--js-flags=--wasm-lazy-compilation "
                          "--disable-features=AudioServiceOutOfProcess";
  const struct {
    const char *given, *expected;
  } cases[] = {
      {"", ours.constData()},
      {"--disable-gpu", "--disable-gpu --js-flags=--wasm-lazy-compilation "
                        "--disable-features=AudioServiceOutOfProcess"},
      {"--js-flags=--max-lazy",
       "--js-flags=--max-lazy --disable-features=AudioServiceOutOfProcess"},
      {"--disable-features=WebUSB", "--disable-features=WebUSB --js-flags=--wasm-lazy-compilation"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.given);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", c.given);
    TFlashView::PrepareWebEngine();
    EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), QByteArray(c.expected));
    TFlashView::PrepareWebEngine();  // twice changes nothing
    EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), QByteArray(c.expected));
  }

  // The heap settings reach the helpers through the environment, each
  // unless the user made it (as a variable or as a tunable).
  const char *heapVariables[] = {"MALLOC_ARENA_MAX", "MALLOC_MMAP_THRESHOLD_",
                                 "MALLOC_TRIM_THRESHOLD_"};
  auto clearHeap = [&] {
    for (const char *v : heapVariables)
      qunsetenv(v);
    qunsetenv("GLIBC_TUNABLES");
  };
  clearHeap();
  TFlashView::PrepareWebEngine();
  EXPECT_EQ(qgetenv("MALLOC_ARENA_MAX"), QByteArray::number(TFlashView::MallocArenas));
  EXPECT_EQ(qgetenv("MALLOC_MMAP_THRESHOLD_"), QByteArray::number(TFlashView::MallocMapFrom));
  EXPECT_EQ(qgetenv("MALLOC_TRIM_THRESHOLD_"), QByteArray::number(TFlashView::MallocMapFrom));
  clearHeap();
  qputenv("MALLOC_ARENA_MAX", "8");
  qputenv("MALLOC_MMAP_THRESHOLD_", "65536");
  TFlashView::PrepareWebEngine();
  EXPECT_EQ(qgetenv("MALLOC_ARENA_MAX"), "8");
  EXPECT_EQ(qgetenv("MALLOC_MMAP_THRESHOLD_"), "65536");
  EXPECT_EQ(qgetenv("MALLOC_TRIM_THRESHOLD_"), QByteArray::number(TFlashView::MallocMapFrom));
  clearHeap();
  qputenv("GLIBC_TUNABLES", "glibc.malloc.arena_max=4:glibc.malloc.trim_threshold=1048576");
  TFlashView::PrepareWebEngine();
  EXPECT_FALSE(qEnvironmentVariableIsSet("MALLOC_ARENA_MAX"));
  EXPECT_FALSE(qEnvironmentVariableIsSet("MALLOC_TRIM_THRESHOLD_"));
  EXPECT_EQ(qgetenv("MALLOC_MMAP_THRESHOLD_"), QByteArray::number(TFlashView::MallocMapFrom));
  clearHeap();

  restore("QTWEBENGINE_CHROMIUM_FLAGS", flags);
  restore("MALLOC_ARENA_MAX", arenas);
  restore("MALLOC_MMAP_THRESHOLD_", mapFrom);
  restore("MALLOC_TRIM_THRESHOLD_", trimFrom);
  restore("GLIBC_TUNABLES", tunables);
}

TEST(FlashAvailable, NeedsTheRuntimeInTheProgramFolder)
{
  {
    TestAppDir app(true);
    EXPECT_TRUE(TFlashView::IsFlashAvailable());
  }
  {
    TestAppDir app(false);
    EXPECT_FALSE(TFlashView::IsFlashAvailable());
  }
}

}  // namespace
