// Every game and the video-player movie really run in Ruffle inside an
// offscreen web view: they load, draw, move, and answer keys and clicks.
#include <gtest/gtest.h>

#include <QColor>
#include <QFile>

#include <functional>
#include <vector>

#include "items.h"
#include "ruffle_harness.h"

using namespace media_test;

namespace {

// Ruffle's own log lines of level ERROR, except that it could not get a
// WebGL context and fell back to its canvas renderer (always so offscreen).
QStringList RuffleErrors(const QStringList &console)
{
  QStringList errors;
  for (const QString &line : console) {
    const bool error = line.contains("ERROR") || line.contains("panic", Qt::CaseInsensitive) ||
                       line.contains("Uncaught", Qt::CaseInsensitive);
    const bool renderer = line.contains("renderer") || line.contains("GL context");
    if (error && !renderer)
      errors << line.left(300);
  }
  return errors;
}

PlayerOptions Movie(const QString &movie)
{
  PlayerOptions o;
  o.movie = movie;
  return o;
}

// Fraction of the pixels in rect within tol of colour in every channel.
double FractionNear(const QImage &img, const QRect &rect, QRgb colour, int tol = 20)
{
  const QRect r = rect.intersected(img.rect());
  if (r.isEmpty())
    return 0;
  qint64 near = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QRgb p = img.pixel(x, y);
      if (std::abs(qRed(p) - qRed(colour)) <= tol && std::abs(qGreen(p) - qGreen(colour)) <= tol &&
          std::abs(qBlue(p) - qBlue(colour)) <= tol)
        ++near;
    }
  return double(near) / (double(r.width()) * r.height());
}

// Mean position of the pixels in rect within tol of colour; (-1, -1) when
// there are none.
QPointF Centroid(const QImage &img, const QRect &rect, QRgb colour, int tol = 20)
{
  const QRect r = rect.intersected(img.rect());
  double sx = 0, sy = 0;
  qint64 n = 0;
  for (int y = r.top(); y <= r.bottom(); ++y)
    for (int x = r.left(); x <= r.right(); ++x) {
      const QRgb p = img.pixel(x, y);
      if (std::abs(qRed(p) - qRed(colour)) <= tol && std::abs(qGreen(p) - qGreen(colour)) <= tol &&
          std::abs(qBlue(p) - qBlue(colour)) <= tol) {
        sx += x;
        sy += y;
        ++n;
      }
    }
  return n ? QPointF(sx / double(n), sy / double(n)) : QPointF(-1, -1);
}

}  // namespace

TEST(Games, EveryGameLoadsDrawsAndMoves)
{
  QString error;
  const QVector<Item> items = LoadItems(ItemsPath(), &error);
  ASSERT_FALSE(items.isEmpty()) << error.toStdString();
  RuffleHarness &h = SharedHarness();
  int games = 0;
  for (const Item &item : items) {
    if (item.type != "1")
      continue;
    ++games;
    SCOPED_TRACE(item.file.toStdString() + " " + item.name.toStdString());
    ASSERT_TRUE(h.open(Movie(item.file))) << h.lastError().toStdString();
    const QRect all(0, 0, 550, 400);
    EXPECT_TRUE(h.moves(all, 0.0005, 10000)) << "nothing moves by itself";
    const QImage shot = h.grab();
    SaveShot(shot, item.id);
    EXPECT_GE(ColourCount(shot, all), 5) << "the game draws next to nothing";
    EXPECT_TRUE(RuffleErrors(h.problems()).isEmpty())
        << RuffleErrors(h.problems()).join('\n').toStdString();
  }
  EXPECT_GE(games, 26);
}

// A child's keys and clicks change what the games show.  Each case starts a
// game, checks the picture before, acts, and waits for the picture it expects.
TEST(Games, AnswerKeysAndClicks)
{
  using Before = std::function<bool(const QImage &before)>;
  using After = std::function<bool(const QImage &before, const QImage &now)>;
  using Act = std::function<void(RuffleHarness &)>;
  struct Case {
    const char *movie, *what;
    Before pre;
    Act act;
    After post;
  };
  const QRgb red = 0xE8383D, blue = 0x2D9CDB, basket = 0xC97B3D, mouse = 0x9AA0A8, snake = 0x2D9CDB;
  const QRect line(200, 198, 200, 5), wall(240, 178, 40, 16), floor(0, 320, 550, 50);
  const QRect maze(33, 34, 484, 352), field(0, 25, 550, 375), card(52, 27, 18, 18);
  const QRect middleCell(262, 180, 26, 20), lamp(150, 70, 50, 40);
  const QRect deep(178, 180, 5, 35);  // where the 2-pixel fishing line hangs when cast
  const Case cases[] = {
      {"126.swf", "dragging on the drawing board draws a red line",
       [&](const QImage &b) { return FractionNear(b, line, red) < 0.05; },
       [](RuffleHarness &h) {
         h.drag({150, 200}, {450, 200});
       },
       [&](const QImage &, const QImage &now) { return FractionNear(now, line, red) > 0.8; }},
      {"127.swf", "the blue pot, then the house wall, paints the wall blue",
       [&](const QImage &b) { return FractionNear(b, wall, blue) < 0.05; },
       [](RuffleHarness &h) {
         h.click({248, 372});
         h.click({250, 190});
       },
       [&](const QImage &, const QImage &now) { return FractionNear(now, wall, blue) > 0.8; }},
      {"120.swf", "the right arrow moves the basket to the right",
       [&](const QImage &b) { return Centroid(b, floor, basket).x() > 0; },
       [](RuffleHarness &h) {
         h.click({275, 200});
         h.holdKey(Qt::Key_Right, 1500);
       },
       [&](const QImage &b, const QImage &now) {
         return Centroid(now, floor, basket).x() > Centroid(b, floor, basket).x() + 60;
       }},
      {"123.swf", "the right arrow walks the mouse along the maze up to the wall",
       [&](const QImage &b) { return std::abs(Centroid(b, maze, mouse, 12).x() - 99) < 12; },
       [](RuffleHarness &h) {
         h.click({540, 390});
         h.holdKey(Qt::Key_Right, 1500);
       },
       [&](const QImage &b, const QImage &now) {
         const QPointF from = Centroid(b, maze, mouse, 12), to = Centroid(now, maze, mouse, 12);
         return to.x() > from.x() + 30 && to.x() < 199 && std::abs(to.y() - from.y()) < 6;
       }},
      {"130.swf", "a tap on the down arrow turns the snake downwards",
       [&](const QImage &b) { return Centroid(b, field, snake, 10).y() > 0; },
       [](RuffleHarness &h) {
         h.click({540, 390});
         h.pressKey(Qt::Key_Down);
       },
       [&](const QImage &b, const QImage &now) {
         return Centroid(now, field, snake, 10).y() > Centroid(b, field, snake, 10).y() + 40;
       }},
      {"122.swf", "a click turns a card over",
       [&](const QImage &b) { return FractionNear(b, card, 0x7A5CFA) > 0.8; },
       [](RuffleHarness &h) {
         h.click({95, 75});
       },
       [&](const QImage &, const QImage &now) {
         return FractionNear(now, card, 0xFFFFFF, 10) > 0.8;
       }},
      {"133.swf", "a click on the middle cell puts a heart there",
       [&](const QImage &b) { return FractionNear(b, middleCell, 0xFF5A5F) < 0.05; },
       [](RuffleHarness &h) {
         h.click({275, 200});
       },
       [&](const QImage &, const QImage &now) {
         return FractionNear(now, middleCell, 0xFF5A5F) > 0.5;
       }},
      {"257.swf", "a click switches a lamp", [](const QImage &) { return true; },
       [](RuffleHarness &h) {
         h.click({176, 91});
       },
       [&](const QImage &b, const QImage &now) { return ChangedFraction(b, now, lamp) > 0.6; }},
      {"128.swf", "a click casts the kitten's line into the water",
       [&](const QImage &b) { return FractionNear(b, deep, 0x333333, 40) < 0.02; },
       [](RuffleHarness &h) {
         h.click({400, 300});
       },
       [&](const QImage &, const QImage &now) {
         return FractionNear(now, deep, 0x333333, 40) > 0.2;
       }},
  };
  RuffleHarness &h = SharedHarness();
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.movie) + ": " + c.what);
    ASSERT_TRUE(h.open(Movie(c.movie))) << h.lastError().toStdString();
    QImage before;
    ASSERT_TRUE(h.waitFor(c.pre, 8000, &before)) << "not as expected before";
    c.act(h);
    QImage after;
    EXPECT_TRUE(h.waitFor([&](const QImage &now) { return c.post(before, now); }, 8000, &after));
    SaveShot(after, QString("input-%1").arg(c.movie));
  }
}

// The video-player movie, shown the way the client shows a video: 480 x 300
// (wider than the 4:3 videos), the bar 32 pixels high at the bottom.
namespace {

constexpr int kW = 480, kH = 300, kBar = 32;
constexpr QRgb kBarColour = 0x202020;
const QRect kPicture(0, 0, kW, kH - kBar);
const QPoint kPlayButton(18, kH - kBar / 2), kCentre(kW / 2, (kH - kBar) / 2);

// The flash variables the client hands the movie for a video file.
QString ClientVars(const QString &file)
{
  return "file=" + file +
         "&overstretch=true&showdigits=true&autostart=true&showplayerbar=true"
         "&callback=true&enablejs=true&streamscript=http://";
}

PlayerOptions VideoPlayer(const QString &vars, const QString &movie = "flvplayer.swf")
{
  PlayerOptions o;
  o.movie = movie;
  o.flashVars = vars;
  o.width = kW;
  o.height = kH;
  return o;
}

bool PlaySign(const QImage &img)
{
  return FractionNear(img, QRect(kCentre - QPoint(10, 10), QSize(20, 20)), 0xFFFFFF, 40) > 0.3;
}

}  // namespace

TEST(VideoPlayer, LaysOutThePictureAndTheBarAsTheVariablesSay)
{
  struct Case {
    const char *what;
    QString movie, vars;
    bool bar, stretched;
  };
  std::vector<Case> cases = {
      {"the client's variables", "flvplayer.swf", ClientVars("/media/264.flv"), true, true},
      {"kept proportions", "flvplayer.swf",
       "file=/media/135.flv&overstretch=false&autostart=true&showplayerbar=true", true, false},
      {"no bar", "flvplayer.swf", "file=/media/265.flv&overstretch=true&showplayerbar=false", false,
       true},
      {"variables in the movie's address",
       "flvplayer.swf?file=/media/265.flv&overstretch=true&showplayerbar=true", "", true, true},
  };
  RuffleHarness &h = SharedHarness();
  // a video saved in the download folder under its name, blank included
  const QString named = QString::fromUtf8("彩色 小格子.flv");
  QFile::remove(h.filesDir() + "/" + named);
  ASSERT_TRUE(QFile::copy(MediaDir() + "/264.flv", h.filesDir() + "/" + named));
  cases.push_back({"a file name with a blank and Chinese", "flvplayer.swf",
                   ClientVars("/files/" + named), true, true});
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(h.open(VideoPlayer(c.vars, c.movie))) << h.lastError().toStdString();
    const int pictureH = c.bar ? kH - kBar : kH;
    const QRect picture(0, 0, kW, pictureH), middle(kW / 2 - 80, pictureH / 2 - 60, 160, 120);
    const QRect leftEdge(0, 0, 40, pictureH), barStrip(0, kH - kBar + 2, kW, kBar - 4);
    EXPECT_TRUE(h.moves(picture, 0.05)) << "the video does not play";
    // the layout, once a picture is up (a busy machine may take a while)
    auto hasPicture = [&](const QImage &img) {
      return FractionNear(img, middle, 0x000000, 8) < 0.5;
    };
    auto hasBar = [&](const QImage &img) {
      return FractionNear(img, barStrip, kBarColour, 6) > 0.6;
    };
    auto reachesEdge = [&](const QImage &img) {
      return FractionNear(img, leftEdge, 0x000000, 8) < 0.5;
    };
    QImage b;
    h.waitFor(
        [&](const QImage &img) {
          return hasPicture(img) && hasBar(img) == c.bar && reachesEdge(img) == c.stretched;
        },
        8000, &b);
    SaveShot(b, QString("video-%1").arg(&c - cases.data()));
    EXPECT_TRUE(hasPicture(b)) << "no picture in the middle";
    EXPECT_EQ(hasBar(b), c.bar) << (c.bar ? "no player bar" : "a bar that was not asked for");
    if (c.stretched)
      EXPECT_TRUE(reachesEdge(b)) << "the picture is not stretched to the edge";
    else
      EXPECT_GT(FractionNear(b, leftEdge, 0x000000, 8), 0.95) << "the proportions are not kept";
    EXPECT_TRUE(RuffleErrors(h.problems()).isEmpty())
        << RuffleErrors(h.problems()).join('\n').toStdString();
  }
}

TEST(VideoPlayer, StopValueShowsAnEmptyBlackPlayer)
{
  // What the client loads to end whatever was playing: no picture, no bar,
  // no sign, nothing moving.
  RuffleHarness &h = SharedHarness();
  for (const auto &[movie, vars] : {std::pair<QString, QString>{"flvplayer.swf?file=0.swf", ""},
                                    std::pair<QString, QString>{"flvplayer.swf", "file=0.swf"},
                                    std::pair<QString, QString>{"flvplayer.swf", ""}}) {
    SCOPED_TRACE((movie + " / " + vars).toStdString());
    ASSERT_TRUE(h.open(VideoPlayer(vars, movie))) << h.lastError().toStdString();
    h.wait(800);
    const QImage a = h.grab();
    h.wait(500);
    const QImage b = h.grab();
    EXPECT_GT(FractionNear(b, b.rect(), 0x000000, 4), 0.999);
    EXPECT_EQ(ChangedFraction(a, b, b.rect()), 0.0);
  }
}

TEST(VideoPlayer, PlayPauseAndAutostart)
{
  RuffleHarness &h = SharedHarness();
  // autostart on: the bar's button pauses and resumes
  ASSERT_TRUE(h.open(VideoPlayer(ClientVars("/media/264.flv")))) << h.lastError().toStdString();
  EXPECT_TRUE(h.moves(kPicture, 0.05)) << "it does not start";
  h.click(kPlayButton);
  EXPECT_TRUE(h.holdsStill(kPicture)) << "the pause button does not pause";
  SaveShot(h.grab(), "video-paused");
  h.click(kPlayButton);
  EXPECT_TRUE(h.moves(kPicture, 0.05)) << "the play button does not resume";

  // autostart off: nothing plays until the picture is clicked
  ASSERT_TRUE(h.open(
      VideoPlayer("file=/media/264.flv&overstretch=true&autostart=false&showplayerbar=true")));
  h.wait(1200);
  EXPECT_TRUE(h.holdsStill(kPicture, 0)) << "it started by itself";
  QImage waiting;
  EXPECT_TRUE(h.waitFor(PlaySign, 4000, &waiting)) << "no play sign";
  SaveShot(waiting, "video-waiting");
  h.click(kCentre);
  EXPECT_TRUE(h.moves(kPicture, 0.05)) << "a click does not start it";
}

TEST(VideoPlayer, SeekingToTheEndStopsItAndPlayStartsItAgain)
{
  RuffleHarness &h = SharedHarness();
  // the progress track runs from x 40 to the digits (96 wide) and the
  // full-screen button (36 wide)
  const int trackW = kW - 40 - 36 - 96;
  ASSERT_TRUE(h.open(VideoPlayer(ClientVars("/media/265.flv")))) << h.lastError().toStdString();
  ASSERT_TRUE(h.moves(kPicture, 0.05));
  h.click(QPoint(40 + trackW * 95 / 100, kH - kBar / 2));
  QImage ended;
  EXPECT_TRUE(h.waitFor(PlaySign, 8000, &ended)) << "no play sign at the end";
  SaveShot(ended, "video-ended");
  EXPECT_TRUE(h.holdsStill(kPicture, 0)) << "still playing after the end";
  h.click(kPlayButton);
  EXPECT_TRUE(h.moves(kPicture, 0.05)) << "play does not start it again";
}

TEST(VideoPlayer, MissingFileShowsACrossAndDoesNotBreak)
{
  RuffleHarness &h = SharedHarness();
  ASSERT_TRUE(h.open(VideoPlayer(ClientVars("/media/999.flv")))) << h.lastError().toStdString();
  const QRect centre(kW / 2 - 25, (kH - kBar) / 2 - 25, 50, 50);
  QImage img;
  EXPECT_TRUE(
      h.waitFor([&](const QImage &now) { return FractionNear(now, centre, 0xE57373, 40) > 0.05; },
                12000, &img))
      << "no sign that the file cannot be played";
  SaveShot(img, "video-missing");
  // the page still answers
  EXPECT_EQ(h.eval("1 + 1").toInt(), 2);
}
