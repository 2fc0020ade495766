#include "shell/frame.h"

#include "base/globals.h"
#include "net/enginelibrary.h"
#include "shell/mainwindow.h"
#include "shell/settings.h"
#include "shell/tray.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRegion>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QTreeWidgetItemIterator>
#include <QWindow>

namespace {

constexpr int kRowHeight = 36;

// A rectangle with round corners as a window region: (0, 0) to (w, h),
// corner ellipses rx x ry.
QRegion RoundRectRegion(int w, int h, int rx, int ry)
{
  QPainterPath path;
  path.addRoundedRect(QRectF(0, 0, w, h), rx / 2.0, ry / 2.0);
  return QRegion(path.toFillPolygon().toPolygon());
}

QList<QTreeWidgetItem *> AllItems(QTreeWidget *tree)
{
  QList<QTreeWidgetItem *> items;
  for (QTreeWidgetItemIterator it(tree); *it; ++it)
    items.append(*it);
  return items;
}

int Level(const QTreeWidgetItem *item)
{
  int level = 0;
  for (const QTreeWidgetItem *p = item->parent(); p; p = p->parent())
    ++level;
  return level;
}

}  // namespace

MainFrame::MainFrame(TfrmMain *form) : QObject(form), m_form(form)
{
  if (QCoreApplication *app = QCoreApplication::instance())
    app->installEventFilter(this);
}

bool MainFrame::eventFilter(QObject *watched, QEvent *event)
{
  // The application is told to quit from outside (the end of the desktop
  // session): the same exit as the tray's, before the windows are asked to
  // close.
  if (event->type() == QEvent::Quit && watched == QCoreApplication::instance() && !m_ending)
    EndProgram();
  return QObject::eventFilter(watched, event);
}

void MainFrame::imgTcMouseDown(Qt::MouseButtons buttons, QPoint globalPos)
{
  if (IsMaximized == 1 || !(buttons & Qt::LeftButton))
    return;
  // The window manager moves the window when it offers that; otherwise the
  // window follows the mouse until the button is released.
  if (QWindow *wh = m_form->windowHandle(); wh && wh->startSystemMove())
    return;
  m_dragging = true;
  m_dragStart = globalPos;
  m_windowStart = m_form->pos();
}

void MainFrame::imgTcMouseMove(Qt::MouseButtons buttons, QPoint globalPos)
{
  if (!m_dragging)
    return;
  if (!(buttons & Qt::LeftButton) || IsMaximized == 1) {
    m_dragging = false;
    return;
  }
  m_form->move(m_windowStart + (globalPos - m_dragStart));
}

void MainFrame::imgTcMouseUp()
{
  if (m_dragging) {
    m_dragging = false;
    m_form->normalBounds = m_form->geometry();
  }
}

void MainFrame::imgTcDblClick()
{
  m_dragging = false;
  if (IsMaximized == 1)
    limgNorClick();
  else
    limgMaxClick();
}

QRect MainFrame::MaximizedGeometry() const
{
  QScreen *s = m_form->screen();
  if (!s)
    s = QGuiApplication::primaryScreen();
  return s ? s->availableGeometry() : m_form->geometry();
}

void MainFrame::setMaximized(bool maximized)
{
  // A borderless window is maximised by hand: not every window manager
  // maximises a window without decorations, and without one nothing would.
  if (maximized) {
    if (IsMaximized != 1)
      m_form->normalBounds = m_form->geometry();
    m_form->setGeometry(MaximizedGeometry());
  } else {
    m_form->setGeometry(m_form->normalBounds);
  }
  IsMaximized = maximized ? 1 : 0;
  m_form->limgMax->setVisible(!maximized);
  m_form->limgNor->setVisible(maximized);
}

void MainFrame::limgMinClick() { HideToTray(); }

void MainFrame::limgMaxClick() { setMaximized(true); }

void MainFrame::limgNorClick()
{
  setMaximized(false);
  SavedBounds.width = m_form->width();
  SavedBounds.height = m_form->height();
}

void MainFrame::limgCloseClick()
{
  if (CloseMode != QLatin1String("1")) {
    HideToTray();
    return;
  }
  if (StartCount != 0) {
    EndProgram();
    return;
  }
  // The very first run asks what the close button should do.
  switch (ShowCloseSystem(m_form)) {
  case CloseSystemChoice::Exit:
    EndProgram();
    break;
  case CloseSystemChoice::ToTray:
    HideToTray();
    break;
  case CloseSystemChoice::Cancelled:
    break;
  }
}

void MainFrame::PlacePageControl()
{
  // The pages carry no tabs and no border here, so the page control fills its
  // parent both in and out of full screen; only the page content shows.
  QWidget *parent = m_form->PageControl1->parentWidget();
  if (parent)
    m_form->PageControl1->setGeometry(parent->rect());
}

void MainFrame::FormResize()
{
  const int w = m_form->width();
  const int h = m_form->height();
  m_form->setMask(RoundRectRegion(w + 2, h + 1, 10, 10));
  PlacePageControl();
  QTreeWidget *tv1 = m_form->tv1;
  if (tv1->property("Tag").toInt() == 1) {
    ExpandChannelTree(tv1, tv1->height());
    tv1->setProperty("Tag", 0);
  }
  SyncTreeScrollBars();
}

void MainFrame::SyncTreeScrollBars()
{
  // Hook: the picture scroll bars of tv1, tvPlayList and tvFavorite are
  // re-synchronised here, in this order, once the skinned trees exist.
}

void MainFrame::FormPaint(QPainter &p)
{
  p.setRenderHint(QPainter::Antialiasing, false);
  p.setPen(QPen(QColor(128, 128, 128), 1));
  p.setBrush(Qt::NoBrush);
  p.drawRoundedRect(QRect(0, 0, m_form->width() - 1, m_form->height() - 1), 10.5, 10.5);
}

void MainFrame::ExpandChannelTree(QTreeWidget *tree, int treeHeight)
{
  const QList<QTreeWidgetItem *> items = AllItems(tree);
  // Node counts at levels 0, 1 and 2, and the mode chosen from them.
  TreeLevelCounts = {0, 0, 0, 0};
  for (QTreeWidgetItem *item : items) {
    const int level = Level(item);
    if (level <= 2)
      ++TreeLevelCounts[level];
  }
  int mode = 0;
  if (items.size() * kRowHeight < treeHeight)
    mode = 2;
  else if ((TreeLevelCounts[0] + TreeLevelCounts[1]) * kRowHeight < treeHeight)
    mode = 1;
  TreeLevelCounts[3] = mode;

  for (QTreeWidgetItem *item : items) {
    if (mode == 2)
      item->setExpanded(true);
    else if (mode == 0)
      item->setExpanded(false);
    else if (!item->parent())
      item->setExpanded(true);
  }
  for (auto it = items.crbegin(); it != items.crend(); ++it) {
    if ((*it)->text(0) == QStringLiteral("父母教育")) {
      (*it)->setExpanded(true);
      break;
    }
  }
  if (!items.isEmpty())
    tree->setCurrentItem(items.first());
}

void MainFrame::HideToTray()
{
  m_dragging = false;
  // Without a tray on the desktop a hidden window could not be found again
  // (only by starting the program a second time): it is minimised instead
  // and keeps its task-bar entry.
  if (!m_form->tray->Available()) {
    m_form->setWindowState(m_form->windowState() | Qt::WindowMinimized);
    return;
  }
  m_form->hide();
}

void MainFrame::miRestoreClick()
{
  if (IsMaximized == 1)
    m_form->setGeometry(MaximizedGeometry());
  m_form->setWindowState(m_form->windowState() & ~Qt::WindowMinimized);
  m_form->show();
  m_form->raise();
  m_form->activateWindow();
}

void MainFrame::lblSettingClick()
{
  SettingsHooks hooks;
  hooks.setPcRun = [form = m_form](int run) {
    if (IEngine *engine = form->engine())
      engine->SetPcRun(run);
  };
  ShowSettings(m_form, std::move(hooks));
}

void MainFrame::lblAdviceClick()
{
  if (openFeedback)
    openFeedback();
}

void MainFrame::EndProgram()
{
  if (m_ending)
    return;
  m_ending = true;
  Q_EMIT programEnding();
  QCoreApplication::quit();
}
