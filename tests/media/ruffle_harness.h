// Plays a movie in Ruffle inside an offscreen web view, the way the client
// does: the Ruffle files and the media are served by a loopback HTTP server,
// a small page creates the player, and the test looks at the pixels.
#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

#include "items.h"

namespace media_test {

// The Ruffle runtime the harness serves beside the media (MediaDir()).
QString RuffleDir();

struct PlayerOptions {
  QString movie;               // path under the media folder, e.g. "120.swf"
  QString flashVars;           // "a=1&b=2", handed to the movie as its parameters
  QString scale = "exactFit";  // how the client shows games
  int width = 550;
  int height = 400;
};

class RuffleHarness {
public:
  RuffleHarness();
  ~RuffleHarness();
  RuffleHarness(const RuffleHarness &) = delete;
  RuffleHarness &operator=(const RuffleHarness &) = delete;

  // Base address of the loopback server, e.g. "http://127.0.0.1:40123".
  QString baseUrl() const;
  // A scratch folder of this harness, served under "/files/".
  QString filesDir() const;

  // Opens the player page and waits until Ruffle has loaded the movie.
  // Returns false (with the reason in lastError()) when it does not.
  bool open(const PlayerOptions &options, int timeoutMs = 30000);

  // Lets the event loop run for the given time.
  void wait(int ms);
  // Grabs what the view shows now.
  QImage grab();

  // Waiting for the picture, patient with a busy machine: each returns as
  // soon as it holds, false when it still does not after timeoutMs.
  // A grab for which pred is true (the grab is kept in *last).
  bool waitFor(const std::function<bool(const QImage &)> &pred, int timeoutMs = 8000,
               QImage *last = nullptr);
  // Two grabs a moment apart differ in more than fraction of rect.
  bool moves(const QRect &rect, double fraction, int timeoutMs = 8000);
  // Two grabs 600 ms apart differ in less than 1% of rect.
  bool holdsStill(const QRect &rect, int timeoutMs = 8000);

  // Input, in view coordinates.
  void click(QPoint at);
  void drag(QPoint from, QPoint to, int steps = 12);
  void holdKey(int qtKey, int ms);
  void pressKey(int qtKey);

  // Runs a script in the page and returns its result.
  QVariant eval(const QString &script, int timeoutMs = 15000);

  // Console messages of level warning or error since the last open().
  QStringList problems() const;
  QString lastError() const;

private:
  struct Impl;
  std::unique_ptr<Impl> d;
};

// One harness for the whole test program: the page, Ruffle's script and its
// compiled module are loaded once.  Released by the test program's main()
// while the application object still exists.
RuffleHarness &SharedHarness();
void ReleaseSharedHarness();

// Fraction (0..1) of pixels inside rect that differ between a and b by more
// than a small tolerance in any colour channel.
double ChangedFraction(const QImage &a, const QImage &b, const QRect &rect);
// Number of distinct colours (quantised) in rect: a plain fill gives 1.
int ColourCount(const QImage &img, const QRect &rect);
// Mean brightness (0..255) of rect.
double MeanBrightness(const QImage &img, const QRect &rect);

// Where screenshots go when KESTROVA_MEDIA_SHOTS names a folder (for a
// person to look at); empty otherwise.
void SaveShot(const QImage &img, const QString &name);

}  // namespace media_test
