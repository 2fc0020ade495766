#include "shell/mainwindow.h"

#include "shell/frame.h"
#include "shell/lifecycle.h"
#include "shell/tray.h"
#include "widgets/lxsimage.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

// The main window's own events: painting, resizing, the first showing,
// minimise and close requests, and the caption and status-bar mouse input
// it hands to the frame.

void TfrmMain::paintEvent(QPaintEvent *)
{
  QPainter p(this);
  frame->FormPaint(p);
  if (!m_painted) {
    m_painted = true;
    Q_EMIT firstPainted();
  }
}

void TfrmMain::resizeEvent(QResizeEvent *e)
{
  QWidget::resizeEvent(e);
  frame->FormResize();
}

void TfrmMain::showEvent(QShowEvent *e)
{
  QWidget::showEvent(e);
  // Only the first showing counts as FormShow: bringing the window back from
  // the tray must not open the start page or sign in again.
  if (!e->spontaneous() && !m_shownOnce) {
    m_shownOnce = true;
    life->FormShow();
  }
}

void TfrmMain::changeEvent(QEvent *e)
{
  QWidget::changeEvent(e);
  // A minimise from the window manager (keyboard, task bar) is the
  // application's minimise: the window goes to the tray, when there is one.
  if (e->type() == QEvent::WindowStateChange && (windowState() & Qt::WindowMinimized) &&
      tray->Available()) {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    QTimer::singleShot(0, frame, &MainFrame::HideToTray);
  }
}

void TfrmMain::closeEvent(QCloseEvent *e)
{
  // A close request from the window manager (Alt+F4 and the like) behaves as
  // the window's own close button; only EndProgram really closes.
  if (frame->ending()) {
    e->accept();
    return;
  }
  e->ignore();
  QTimer::singleShot(0, frame, &MainFrame::limgCloseClick);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *e)
{
  if (watched == pnlTop && e->type() == QEvent::Resize) {
    placeCaptionControls();
  } else if (watched == pnlStatus && e->type() == QEvent::Resize) {
    placeStatusControls();
  } else if (watched == pnlPages && e->type() == QEvent::Resize) {
    frame->PlacePageControl();
  } else if (watched == imgTc) {
    switch (e->type()) {
    case QEvent::MouseButtonPress: {
      auto *me = static_cast<QMouseEvent *>(e);
      frame->imgTcMouseDown(me->buttons(), me->globalPosition().toPoint());
      break;
    }
    case QEvent::MouseMove: {
      auto *me = static_cast<QMouseEvent *>(e);
      frame->imgTcMouseMove(me->buttons(), me->globalPosition().toPoint());
      break;
    }
    case QEvent::MouseButtonRelease:
      frame->imgTcMouseUp();
      break;
    case QEvent::MouseButtonDblClick:
      if (static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton)
        frame->imgTcDblClick();
      return true;
    default:
      break;
    }
  } else if (e->type() == QEvent::MouseButtonRelease &&
             static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton) {
    auto *w = static_cast<QWidget *>(watched);
    if (w->rect().contains(static_cast<QMouseEvent *>(e)->position().toPoint())) {
      if (watched == lblSetting || watched == Image2) {
        frame->lblSettingClick();
        return true;
      }
      if (watched == lblAdvice || watched == Image1) {
        frame->lblAdviceClick();
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, e);
}
