#pragma once
// The list organiser's commands on its copy of a list, as plain data: delete,
// move up and move down of the selected entry, and the modified mark.
// GUI-free; the dialog applies each step's outcome to its tree.
#include "player/core/ksvplay.h"

#include <QString>
#include <vector>

struct TrimList {
  std::vector<TKsvPlayPtr> items;
  int selected = -1;  // index of the selected entry, -1 = none
  int modified = 0;   // 0 when loaded, 1 after any change
};

// What a command did.  The refusals change nothing (not the mark either).
enum class TrimOutcome {
  Done,
  NothingSelected,  // delete without a selection: nothing happens, no message
  EmptyList,        // "列表为空不能移动"
  NoSelection,      // "没有选中的节目"
  AlreadyFirst,     // "已经是第一行"
  AlreadyLast,      // "已经是最后一行"
};

// One command's outcome and, when it was done, what happened to the entry at
// `from`: removed, or moved so that it now stands at `to`.
struct TrimStep {
  TrimOutcome outcome = TrimOutcome::Done;
  int from = -1;
  int to = -1;
  bool removed = false;
};

// Deletes the selected entry; the entry that followed it (now at the same
// index) becomes selected, or none when the last one was deleted.
TrimStep TrimDelete(TrimList &list);
// Moves the selected entry before its predecessor; it stays selected.
TrimStep TrimMoveUp(TrimList &list);
// Moves the selected entry after its successor; it stays selected (the
// second-to-last entry becomes the last).
TrimStep TrimMoveDown(TrimList &list);

// The message a refusal shows (empty text for Done and NothingSelected).
QString TrimMessage(TrimOutcome outcome);
