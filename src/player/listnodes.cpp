#include "player/listnodes.h"

#include <QSet>

#include "base/routines.h"

TKsvPlayPtr NodeItem(const QTreeWidgetItem *node)
{
  if (!node)
    return nullptr;
  return node->data(0, NodeItemRole).value<TKsvPlayPtr>();
}

void SetNodeItem(QTreeWidgetItem *node, const TKsvPlayPtr &item)
{
  node->setData(0, NodeItemRole, QVariant::fromValue(item));
}

int NodeImage(const QTreeWidgetItem *node)
{
  const QVariant v = node ? node->data(0, NodeImageRole) : QVariant();
  return v.isValid() ? v.toInt() : -1;
}

void SetNodeImage(QTreeWidgetItem *node, int index) { node->setData(0, NodeImageRole, index); }

int NodeOverlay(const QTreeWidgetItem *node)
{
  const QVariant v = node ? node->data(0, NodeOverlayRole) : QVariant();
  return v.isValid() ? v.toInt() : -1;
}

void SetNodeOverlay(QTreeWidgetItem *node, int index) { node->setData(0, NodeOverlayRole, index); }

int NodeImageForType(const QString &type)
{
  if (!IsIntegerText(type))
    return 3;
  return type.trimmed().toInt() + 2;
}

QTreeWidgetItem *SelectedNode(const QTreeWidget *tree)
{
  if (!tree)
    return nullptr;
  QTreeWidgetItem *node = tree->currentItem();
  return node && node->isSelected() ? node : nullptr;
}

void SelectNode(QTreeWidget *tree, QTreeWidgetItem *node)
{
  if (!tree)
    return;
  if (!node) {
    tree->clearSelection();
    tree->setCurrentItem(nullptr);
    return;
  }
  tree->setCurrentItem(node);
  node->setSelected(true);
}

std::vector<TKsvPlayPtr> TreeItems(const QTreeWidget *tree, int *selected)
{
  std::vector<TKsvPlayPtr> items;
  if (selected)
    *selected = -1;
  if (!tree)
    return items;
  const QTreeWidgetItem *current = SelectedNode(tree);
  for (int i = 0; i < tree->topLevelItemCount(); ++i) {
    const QTreeWidgetItem *node = tree->topLevelItem(i);
    TKsvPlayPtr item = NodeItem(node);
    if (!item)
      continue;
    if (node == current && selected)
      *selected = static_cast<int>(items.size());
    items.push_back(item);
  }
  return items;
}

QSet<QString> ListedNodeIds(const QTreeWidget *tree)
{
  QSet<QString> ids;
  if (tree) {
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      if (const TKsvPlayPtr item = NodeItem(tree->topLevelItem(i)))
        ids.insert(item->id);
    }
  }
  return ids;
}
