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
