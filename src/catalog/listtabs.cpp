#include "catalog/listtabs.h"

#include "base/globals.h"
#include "catalog/core/categories.h"
#include "widgets/lxsimage.h"
#include "widgets/mainwindowport.h"

#include <QEvent>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

constexpr int TabWidth = 67;
constexpr int TabHeight = 41;

QWidget *NewPage(const char *name, bool withLayout)
{
  auto *page = new QWidget;
  page->setObjectName(QString::fromLatin1(name));
  if (withLayout) {
    auto *lay = new QVBoxLayout(page);
    lay->setContentsMargins(0, 0, 0, 0);
    lay->setSpacing(0);
  }
  return page;
}

}  // namespace

TListTabs::TListTabs(IMainWindow *window, QWidget *strip, QWidget *pagePanel, QObject *parent)
    : QObject(parent), m_window(window), m_pagePanel(pagePanel)
{
  const char *names[3] = {"imgTuijian", "imgSelfSel", "imgFavorite"};
  const char *bases[3] = {"Tuijian", "Selfsel", "Favorite"};
  tabGroup = new SkinGroup([] { return ActiveListTab; }, this);
  tLxsimage *images[3];
  for (int i = 0; i < 3; ++i) {
    images[i] = new tLxsimage(strip);
    images[i]->setObjectName(QString::fromLatin1(names[i]));
    images[i]->setGeometry(TabWidth * i, 0, TabWidth, TabHeight);
    images[i]->setCursor(Qt::PointingHandCursor);
    // The channel tab is the selected one at start and shows it.
    tabSkins[i] =
        new SkinButton(images[i], QString::fromLatin1(bases[i]), SkinButton::Plain, i == 0 ? 3 : 1);
    tabGroup->add(tabSkins[i], i + 1);
  }
  imgTuijian = images[0];
  imgSelfSel = images[1];
  imgFavorite = images[2];
  connect(tabSkins[0], &SkinButton::pressed, this, [this](Qt::MouseButton button) {
    if (button == Qt::LeftButton)
      imgTuijianMouseDown();
  });

  PageControl2 = new QStackedWidget(pagePanel);
  PageControl2->setObjectName(QStringLiteral("PageControl2"));
  tbsChannel = NewPage("tbsChannel", false);
  tbsPlayList = NewPage("tbsPlayList", true);
  tbsFavorite = NewPage("tbsFavorite", true);
  PageControl2->addWidget(tbsChannel);
  PageControl2->addWidget(tbsPlayList);
  PageControl2->addWidget(tbsFavorite);
  connect(PageControl2, &QStackedWidget::currentChanged, this, [this](int page) {
    if (page == 0)
      tbsChannelShow();
  });
  pagePanel->installEventFilter(this);
  pnlPlayListResize();
}

bool TListTabs::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == m_pagePanel && event->type() == QEvent::Resize)
    pnlPlayListResize();
  return QObject::eventFilter(watched, event);
}

void TListTabs::pnlPlayListResize()
{
  // Fitted to the panel, then 4 pixels beyond each side and 6 beyond the top
  // and the bottom.
  const QRect r = m_pagePanel->rect();
  PageControl2->setGeometry(r.x() - 4, r.y() - 6, r.width() + 8, r.height() + 12);
}

void TListTabs::ShowChannelTabImage(int category, int state)
{
  const QString picture = ChannelTabPicture(category, state);
  if (picture.isEmpty() || !LoadSkinImage(imgTuijian, picture))
    return;
  imgTuijian->Tag = state;
  tabSkins[0]->setBase(picture.chopped(1));
}

void TListTabs::ReleaseActiveListTab()
{
  switch (ActiveListTab) {
  case 1:
    ShowChannelTabImage(ActiveCategory, 1);
    imgTuijian->Tag = 0;
    break;
  case 2:
    LoadSkinImage(imgSelfSel, QStringLiteral("Selfsel1"));
    imgSelfSel->Tag = 0;
    break;
  case 3:
    LoadSkinImage(imgFavorite, QStringLiteral("Favorite1"));
    imgFavorite->Tag = 0;
    break;
  default:
    break;
  }
}

void TListTabs::imgTuijianMouseDown()
{
  // The pressed picture (of the selected category) is shown by the state
  // rule before this runs.
  if (ActiveListTab != 1) {
    ReleaseActiveListTab();
    ActiveListTab = 1;
  }
  m_window->ShowListPage(0);
}

void TListTabs::tbsChannelShow()
{
  if (ActiveListTab == 2) {
    LoadSkinImage(imgSelfSel, QStringLiteral("Selfsel1"));
    imgSelfSel->Tag = 1;
  } else if (ActiveListTab == 3) {
    LoadSkinImage(imgFavorite, QStringLiteral("Favorite1"));
    imgFavorite->Tag = 1;
  }
  ActiveListTab = 1;
}

void TListTabs::SetChannelCaption(const QString &caption) { tbsChannel->setWindowTitle(caption); }
