#pragma once
// The category bar in the caption: the home button and eight category
// buttons (76 x 70, at y 14, x = 208 + 77 * position).  The home button
// shows the recommended channels and the start page; a category button shows
// its category's channels and opens the first one.  ActiveCategory is the
// selected button's number.
#include <QObject>
#include <array>

class IMainWindow;
class QWebEngineView;
class QWidget;
class SkinButton;
class SkinGroup;
class TChannelTree;
class TListTabs;
class tLxsimage;

class TCategoryBar : public QObject {
  Q_OBJECT
public:
  TCategoryBar(IMainWindow *window, QWidget *caption, TChannelTree *channels, TListTabs *tabs,
               QWebEngineView *wbMain, QObject *parent = nullptr);

  // In bar order: sbtnMain, sbtnMjGame, sbtnClGame, sbtnTyGame, sbtnXxGame,
  // sbtnYzGame, sbtnZzGame, sbtnZjGame, sbtnZhezGame.
  std::array<tLxsimage *, 9> categoryButtons{};
  std::array<SkinButton *, 9> categorySkins{};
  SkinGroup *categoryGroup = nullptr;  // keyed by ActiveCategory

  // The home button.
  void sbtnMainClick();
  // Category button number `number` (2..9) was clicked.
  void CategoryClick(int number);
  // The button of ActiveCategory gets picture 1 and Tag 0.
  void ReleaseActiveCategoryButton();
  // Every button other than the selected one whose Tag is not 1 gets
  // picture 1 and Tag 1.
  void ResetCategoryButtons();
  // Select the first channel of tv1 and open it (nothing without channels).
  void OpenFirstChannel();

private:
  IMainWindow *m_window;
  TChannelTree *m_channels;
  TListTabs *m_tabs;
  QWebEngineView *m_wbMain;
};
