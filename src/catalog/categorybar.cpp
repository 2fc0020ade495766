#include "catalog/categorybar.h"

#include "base/globals.h"
#include "catalog/channeltree.h"
#include "catalog/core/categories.h"
#include "catalog/listtabs.h"
#include "player/pagebrowser.h"
#include "widgets/lxsimage.h"
#include "widgets/mainwindowport.h"

#include <QTreeWidget>
#include <QUrl>
#include <QWebEngineView>

namespace {

// Whether the browser shows `address`, compared without regard to letter
// case (the browser may have written the address in its normal form).
bool ShowsAddress(QWebEngineView *browser, const QString &address)
{
  PrepareBrowser(browser);
  const QString shown = browser->url().toString();
  if (shown.compare(address, Qt::CaseInsensitive) == 0)
    return true;
  const QString normal = QUrl::fromUserInput(address).toString();
  return !address.isEmpty() && shown.compare(normal, Qt::CaseInsensitive) == 0;
}

}  // namespace

TCategoryBar::TCategoryBar(IMainWindow *window, QWidget *caption, TChannelTree *channels,
                           TListTabs *tabs, QWebEngineView *wbMain, QObject *parent)
    : QObject(parent), m_window(window), m_channels(channels), m_tabs(tabs), m_wbMain(wbMain)
{
  for (int i = 0; i < 9; ++i) {
    const CategoryButtonInfo &info = CategoryBar[i];
    auto *b = new tLxsimage(caption);
    b->setObjectName(QString::fromLatin1(info.control));
    b->setGeometry(208 + 77 * i, 14, 76, 70);
    b->setCursor(Qt::PointingHandCursor);
    categoryButtons[i] = b;
    // The home button is the selected one at start and shows it.
    categorySkins[i] =
        new SkinButton(b, QString::fromLatin1(info.base), SkinButton::Plain, i == 0 ? 3 : 1);
  }
  categoryGroup = new SkinGroup([] { return ActiveCategory; }, this);
  for (int i = 0; i < 9; ++i) {
    categoryGroup->add(categorySkins[i], i + 1);
    const int number = i + 1;
    connect(categorySkins[i], &SkinButton::clicked, this, [this, number] {
      if (number == 1)
        sbtnMainClick();
      else
        CategoryClick(number);
    });
  }
}

void TCategoryBar::ReleaseActiveCategoryButton() { categoryGroup->release(ActiveCategory); }

void TCategoryBar::ResetCategoryButtons() { categoryGroup->resetOthers(); }

void TCategoryBar::CategoryClick(int number)
{
  // Any failure ends the click quietly.
  try {
    if (ActiveCategory != number) {
      ReleaseActiveCategoryButton();
      ActiveCategory = number;
    }
    ResetCategoryButtons();
    if (!m_channels->LoadCategoryChannels(CategoryCode(number)))
      return;
    m_window->ShowListPage(0);
    m_tabs->ShowChannelTabImage(number, 3);
    m_window->ShowCentrePage(0);
    OpenFirstChannel();
  } catch (...) {
  }
}

void TCategoryBar::sbtnMainClick()
{
  m_window->ShowCentrePage(0);
  if (ActiveCategory != 1) {
    ReleaseActiveCategoryButton();
    ActiveCategory = 1;
  }
  ResetCategoryButtons();
  // An unreadable catalog ends the click here: the bar is updated, the tree
  // keeps its list and the start page is not opened.
  if (!m_channels->LoadChannelsById(RecommendedChannelIds))
    return;
  m_tabs->ShowChannelTabImage(1, 3);
  if (m_wbMain && !ShowsAddress(m_wbMain, StartPageUrl))
    OpenPageChecked(m_wbMain, StartPageUrl, OfflinePagePath());
}

void TCategoryBar::OpenFirstChannel()
{
  QTreeWidget *tv1 = m_channels->tv1;
  if (tv1->topLevelItemCount() == 0)
    return;
  tv1->setCurrentItem(tv1->topLevelItem(0));
  m_channels->tv1Click();
}
