#pragma once
// The desktop of a test: the RecordingDesktop in force (widgets/desktop.h).
#include "widgets/desktop.h"

#include <cstdlib>
#include <functional>

class TfrmWinTemplate;

inline RecordingDesktop &TestDesktop()
{
  auto *d = dynamic_cast<RecordingDesktop *>(&Desktop());
  if (!d)
    std::abort();  // a test without a recording desktop would reach the real one
  return *d;
}

// Every dialog shown from now on is handed to `handler` (empty: shown and
// closed at once).
inline void PlayDialogsWith(std::function<void(TfrmWinTemplate *)> handler)
{
  TestDesktop().dialogHandler = std::move(handler);
}

// A recording desktop that shows the real skinned boxes too, handing them to
// the dialog handler like every dialog.
struct PlayedDesktop : RecordingDesktop {
  PlayedDesktop() { recordBoxes = false; }
};

// Records the addresses handed to the desktop's browser as text; boxes and
// dialogs go on as the desktop in force at its making had them.
struct ScopedDesktopRecorder : RecordingDesktop {
  ScopedDesktopRecorder()
  {
    const RecordingDesktop &before = TestDesktop();
    recordBoxes = before.recordBoxes;
    dialogHandler = before.dialogHandler;
    trayAvailable = before.trayAvailable;
    defaultAnswer = before.defaultAnswer;
  }
  void OpenUrl(const QUrl &url) override
  {
    RecordingDesktop::OpenUrl(url);
    opened << url.toString();
  }
  QStringList opened;
};
