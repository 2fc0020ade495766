#pragma once
// The channel tree tv1 on the first page of the left panel: one flat list of
// channels, filled with one category's channels (the category bar) or with
// the recommended channels (start-up, the home button).  A click opens the
// channel's listing page in the portal browser wbMain once its address
// answers; the check runs on a worker thread, and a newer click wins over
// one still being checked.
#include "catalog/core/catalog.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class IMainWindow;
class QThread;
class QTreeWidget;
class QTreeWidgetItem;
class QWebEngineView;
class QWidget;
class TreeSkin;
class TreeScrollBar;

class TChannelTree : public QObject {
  Q_OBJECT
public:
  // Builds tv1 and its scroll bar pnlScroll into `page` (the channel page,
  // without a layout: tv1 follows the page by the layout rule below).
  // Channel pages open in `wbMain`; `pnlwbMain` is the page panel whose
  // width gives the listing's column count.
  TChannelTree(IMainWindow *window, QWidget *page, QWebEngineView *wbMain, QWidget *pnlwbMain,
               QObject *parent = nullptr);
  ~TChannelTree() override;

  QTreeWidget *tv1 = nullptr;
  TreeSkin *skin = nullptr;
  TreeScrollBar *pnlScroll = nullptr;
  // Addresses of link nodes (type containing "5="), by their linkIndex.
  // Nothing fills it today, so a click on a link node does nothing.
  QStringList linkAddresses;

  // Replace the nodes with the channels of a category, drop the empty ones,
  // sync the scroll bar.  False (the tree untouched) when the catalog
  // cannot be read.
  bool LoadCategoryChannels(const QString &categoryCode);
  // Replace the nodes with the channels of `ids` (file order), sync the
  // scroll bar.  False (the tree untouched) when the catalog cannot be read.
  bool LoadChannelsById(const QStringList &ids);
  // Delete every node whose text contains "(0)".
  void RemoveEmptyChannels();
  // The start-up view: the recommended channels, scrolled to the top.
  void ShowRecommended();
  // The listing page of a node (for the current width of pnlwbMain).
  QString ChannelPageAddress(const QTreeWidgetItem *node) const;
  // The record of a node (empty for null).
  static TC NodeRecord(const QTreeWidgetItem *node);

  // Open the selected channel's page (see the class comment).  The outcome
  // is reported by channelOpened or channelFailed.
  void tv1Click();
  // The channel page's panel changed size: tv1 takes the page's top-left
  // corner, 10 pixels wider than the page (its right edge lies under the
  // scroll bar).
  void pnlFuncTreeResize();
  // Whether an address check is still under way.
  bool checking() const { return m_pending > 0; }

Q_SIGNALS:
  // The page of a click opened (page view shown, globals set).
  void channelOpened(const QString &address);
  // The page of a click did not answer (the message was shown).
  void channelFailed(const QString &address);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void fill(const std::vector<CatalogChannel> &channels);
  void finishClick(quint64 serial, const TC &channel, const QString &address, bool answered);

  IMainWindow *m_window;
  QWidget *m_page;
  QPointer<QWebEngineView> m_wbMain;
  QPointer<QWidget> m_pnlwbMain;
  quint64 m_clickSerial = 0;
  int m_pending = 0;
  QList<QPointer<QThread>> m_workers;
};
