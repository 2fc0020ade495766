// The Flash player control: its loopback server serves only the program's
// folders, and Ruffle really shows the movie with the control's properties.
#include "testappdir.h"

#include "base/globals.h"
#include "player/flashview.h"
#include "player/mediaserver.h"

#include <QSignalSpy>
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

namespace {

TEST(MediaServer, ServesOnlyFilesInsideItsFolders)
{
  TestAppDir app(false);
  ASSERT_TRUE(app.isValid());
  ASSERT_TRUE(app.write("Caches/12.swf", "FWS-movie"));
  ASSERT_TRUE(app.write("ruffle/x.wasm", "wasm"));
  ASSERT_TRUE(app.write("ruffle/x.js", "js"));
  ASSERT_TRUE(app.write("DL/儿歌 一.mp3", "0123456789"));
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
  server->setRoots({AppDir, CacheDir, DownloadDir});
  server->addPage("player.html", "<html></html>", "text/html");
  httplib::Client client("127.0.0.1", server->port());

  const QByteArray app8 = QUrl::toPercentEncoding(AppDir, "/");
  const QByteArray outside8 = QUrl::toPercentEncoding(outside.path(), "/");
  const struct {
    QByteArray path;
    int status;
    const char *type;
  } cases[] = {
      {app8 + "Caches/12.swf", 200, "application/x-shockwave-flash"},
      {app8 + "ruffle/x.wasm", 200, "application/wasm"},
      {app8 + "ruffle/x.js", 200, "application/x-javascript"},
      {app8 + QUrl::toPercentEncoding("DL/儿歌 一.mp3", "/"), 200, "audio/mpeg"},
      {"/~kestrova/player.html", 200, "text/html"},
      {"/~kestrova/other.html", 404, nullptr},
      {outside8 + "/secret.txt", 404, nullptr},
      {app8 + "Caches/../../" + outside8.mid(1) + "/secret.txt", 404, nullptr},
      {app8 + "Caches/%2e%2e/Caches/12.swf", 404, nullptr},
      {app8 + "Caches/./12.swf", 404, nullptr},
      {app8 + "Caches//12.swf", 404, nullptr},
      {app8 + "Caches/link.swf", 404, nullptr},
      {app8 + "Caches", 404, nullptr},
      {app8 + "Caches/13.swf", 404, nullptr},
      {"/etc/passwd", 404, nullptr},
  };
  for (const auto &c : cases) {
    auto res = client.Get(c.path.toStdString());
    ASSERT_TRUE(res) << c.path.toStdString();
    EXPECT_EQ(res->status, c.status) << c.path.toStdString();
    if (c.type) {
      EXPECT_EQ(res->get_header_value("Content-Type"), c.type) << c.path.toStdString();
    }
    EXPECT_EQ(res->body.find("secret"), std::string::npos) << c.path.toStdString();
  }

  // Byte ranges, which media players use to seek.
  auto part = client.Get((app8 + QUrl::toPercentEncoding("DL/儿歌 一.mp3", "/")).toStdString(),
                         {{"Range", "bytes=2-5"}});
  ASSERT_TRUE(part);
  EXPECT_EQ(part->status, 206);
  EXPECT_EQ(part->body, "2345");

  // Addresses of local files; a path outside the folders has none.
  EXPECT_EQ(server->urlForPath(CacheDir + "12.swf"),
            server->origin() + QString::fromUtf8(app8) + "Caches/12.swf");
  EXPECT_TRUE(server->urlForPath(AppDir + "Caches/12.swf?file=x").endsWith("12.swf?file=x"));
  EXPECT_TRUE(server->urlForPath(secret.fileName()).isEmpty());
  EXPECT_TRUE(server->urlForPath(CacheDir + "../Caches/12.swf").isEmpty());
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

TEST(FlashView, WebEngineFlagsKeepWhatTheUserGave)
{
  const QByteArray saved = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
  const bool had = qEnvironmentVariableIsSet("QTWEBENGINE_CHROMIUM_FLAGS");
  const struct {
    const char *given, *expected;
  } cases[] = {
      {"", "--js-flags=--wasm-lazy-compilation"},
      {"--disable-gpu", "--disable-gpu --js-flags=--wasm-lazy-compilation"},
      {"--js-flags=--max-lazy", "--js-flags=--max-lazy"},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.given);
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", c.given);
    TFlashView::PrepareWebEngine();
    EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), QByteArray(c.expected));
    TFlashView::PrepareWebEngine();  // twice changes nothing
    EXPECT_EQ(qgetenv("QTWEBENGINE_CHROMIUM_FLAGS"), QByteArray(c.expected));
  }
  if (had)
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", saved);
  else
    qunsetenv("QTWEBENGINE_CHROMIUM_FLAGS");
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
