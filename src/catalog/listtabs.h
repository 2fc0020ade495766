#pragma once
// The left panel's three tabs over its page control PageControl2: imgTuijian
// (page 0, the channel tree; it shows the small picture of the selected
// category), imgSelfSel (page 1, the play list) and imgFavorite (page 2,
// the favorites).  ActiveListTab is the selected one.
#include <QObject>
#include <array>

class IMainWindow;
class QStackedWidget;
class QWidget;
class SkinButton;
class SkinGroup;
class tLxsimage;

class TListTabs : public QObject {
  Q_OBJECT
public:
  // Builds the three tab images into `strip` (67 x 41 each, side by side)
  // and PageControl2 with its three empty pages into `pagePanel`; the page
  // control reaches 4 pixels beyond the panel's sides and 6 beyond its top
  // and bottom (the layout rule below).
  TListTabs(IMainWindow *window, QWidget *strip, QWidget *pagePanel, QObject *parent = nullptr);

  tLxsimage *imgTuijian = nullptr;
  tLxsimage *imgSelfSel = nullptr;
  tLxsimage *imgFavorite = nullptr;
  std::array<SkinButton *, 3> tabSkins{};
  SkinGroup *tabGroup = nullptr;  // keyed by ActiveListTab
  QStackedWidget *PageControl2 = nullptr;
  QWidget *tbsChannel = nullptr;   // page 0 (no layout; the channel tree places itself)
  QWidget *tbsPlayList = nullptr;  // page 1, with a QVBoxLayout
  QWidget *tbsFavorite = nullptr;  // page 2, with a QVBoxLayout

  // imgTuijian shows the channel tab picture `state` of `category` and its
  // Tag becomes `state`; a picture that cannot be loaded leaves picture and
  // Tag as they were.  The tab's hover pictures follow that category.
  void ShowChannelTabImage(int category, int state);
  // The tab of ActiveListTab returns to its normal picture with Tag 0.
  void ReleaseActiveListTab();
  // The caption of the channel page (its tab's title).
  void SetChannelCaption(const QString &caption);
  // Mouse down on the channel tab: its pressed picture, the selection moves
  // to it, page 0 shows.
  void imgTuijianMouseDown();
  // Page 0 became visible: the other two tabs' normal pictures, tab 1.
  void tbsChannelShow();
  // The page panel changed size.
  void pnlPlayListResize();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  IMainWindow *m_window;
  QWidget *m_pagePanel;
};
