// Every game and the video-player movie really run in Ruffle inside an
// offscreen web view: they load, draw, move, and answer keys and clicks.
#include <gtest/gtest.h>

#include <QColor>

#include "items.h"
#include "ruffle_harness.h"

using namespace media_test;

namespace {

// Ruffle's own log lines of level ERROR, except that it could not get a
// WebGL context and fell back to its canvas renderer (always so offscreen).
QStringList RuffleErrors(const QStringList& console) {
  QStringList errors;
  for (const QString& line : console) {
    const bool error = line.contains("ERROR") || line.contains("panic", Qt::CaseInsensitive) ||
                       line.contains("Uncaught", Qt::CaseInsensitive);
    const bool renderer = line.contains("renderer") || line.contains("GL context");
    if (error && !renderer) errors << line.left(300);
  }
  return errors;
}

PlayerOptions Movie(const QString& movie) {
  PlayerOptions o;
  o.movie = movie;
  return o;
}

}  // namespace

TEST(Games, EveryGameLoadsDrawsAndMoves) {
  QString error;
  const QVector<Item> items = LoadItems(ItemsPath(), &error);
  ASSERT_FALSE(items.isEmpty()) << error.toStdString();
  RuffleHarness h;
  int games = 0;
  for (const Item& item : items) {
    if (item.type != "1") continue;
    ++games;
    SCOPED_TRACE(item.file.toStdString() + " " + item.name.toStdString());
    ASSERT_TRUE(h.open(Movie(item.file))) << h.lastError().toStdString();
    h.wait(700);
    const QImage a = h.grab();
    h.wait(900);
    const QImage b = h.grab();
    SaveShot(b, item.id);
    const QRect all = b.rect();
    EXPECT_GE(ColourCount(b, all), 5) << "the game draws next to nothing";
    EXPECT_GT(ChangedFraction(a, b, all), 0.0005) << "nothing moves by itself";
    EXPECT_TRUE(RuffleErrors(h.problems()).isEmpty()) << RuffleErrors(h.problems()).join('\n').toStdString();
  }
  EXPECT_GE(games, 26);
}
