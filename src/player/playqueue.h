#pragma once
// What the player needs of the play list: its tree (the rows hold the
// records, the selected row is the list's position), recording an item that
// started playing, and saving the list.  The lists area provides it.
#include "player/core/ksvplay.h"

class QTreeWidget;

class IPlayQueue {
public:
  virtual ~IPlayQueue() = default;
  virtual QTreeWidget *playListTree() const = 0;
  // After an item started playing with add-to-list set: select its row or
  // append it, then save.
  virtual void AddPlayedItem(const TKsvPlayPtr &item) = 0;
  // Writes the tree to the list file; returns whether it was written.
  virtual bool SavePlayList(QTreeWidget *tree) = 0;
};
