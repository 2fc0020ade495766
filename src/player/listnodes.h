#pragma once
// What a node of a list tree (the play list, the favorites, the organiser's
// copy) carries besides its text: the item it shows, shared with whoever
// else holds it, and its image indexes.  The tree skin draws from these; the
// node owns its hold on the item, so deleting the node releases it.
#include "player/core/ksvplay.h"

#include <QMetaType>
#include <QSet>
#include <QTreeWidget>

Q_DECLARE_METATYPE(TKsvPlayPtr)

enum ListNodeRole {
  NodeItemRole = Qt::UserRole + 1,  // TKsvPlayPtr
  NodeImageRole,                    // int: image (and selected image) index
  NodeOverlayRole,                  // int: overlay index, -1 = none
};

// Overlay 0: the item's file is not on the disk yet.
inline constexpr int UncachedOverlay = 0;

TKsvPlayPtr NodeItem(const QTreeWidgetItem *node);
void SetNodeItem(QTreeWidgetItem *node, const TKsvPlayPtr &item);
int NodeImage(const QTreeWidgetItem *node);
void SetNodeImage(QTreeWidgetItem *node, int index);
int NodeOverlay(const QTreeWidgetItem *node);
void SetNodeOverlay(QTreeWidgetItem *node, int index);

// The image of a node for an item type: type + 2 for a number ("1" gives 3,
// "2" gives 4, "4" gives 6), 3 for a type that is not a number.
int NodeImageForType(const QString &type);

// The selected node of a tree (its current node), or null.
QTreeWidgetItem *SelectedNode(const QTreeWidget *tree);
// Selects the node (null clears the selection).
void SelectNode(QTreeWidget *tree, QTreeWidgetItem *node);

// Every top-level node's item, in list order, and the selected node's index
// (-1 when none).
std::vector<TKsvPlayPtr> TreeItems(const QTreeWidget *tree, int *selected = nullptr);

// The ids of every top-level node.
QSet<QString> ListedNodeIds(const QTreeWidget *tree);
