#pragma once
// Comment page address, the advertisement panel's address test, the
// system-message timer's rule and the pop-up's slide-in, free of widgets.
#include <QList>
#include <QString>
#include <cstdint>

// CommentUrl + "?contentid=" + id + "&userID=" + UserId; nothing after
// "&userID=" while nobody is signed in (UserId 0).
QString CommentAddress(const QString &commentUrl, const QString &itemId, std::int32_t userId);

// Two page addresses compared as the portal does: lower-cased.
bool SameAddress(const QString &a, const QString &b);

// The system-message timer, one call per minute.  `ticks` is SystemMsgTicks
// (or a test's own count).
class SystemMsgClock {
public:
  explicit SystemMsgClock(std::int32_t *ticks) : m_ticks(ticks) {}
  // Counts the minute; true when this minute offers the pop-up (the 3rd
  // minute after start, then every 360 minutes), so the page address is to
  // be tested.
  bool Tick();
  // The page address answered for the minute Tick() offered.  True: show the
  // pop-up now.  False (full screen): the minute is taken back, so the next
  // minute offers again.
  bool Answered(bool fullScreen);

private:
  std::int32_t *m_ticks;
};

// The tops of the slide-in, one per step: S = height / 8 rounded half to
// even; steps 0 .. S-1 move up 8 pixels from `workAreaHeight`, step S puts
// the pop-up exactly on the work area's bottom edge.
QList<int> SlideInTops(int workAreaHeight, int height);
