#include "shell/framefilter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace {

bool IsInside(const QObject *target, const QWidget *w)
{
  if (!w)
    return false;
  for (const QObject *o = target; o; o = o->parent()) {
    if (o == w)
      return true;
  }
  return false;
}

bool IsKeyEvent(QEvent::Type t)
{
  return t == QEvent::KeyPress || t == QEvent::KeyRelease || t == QEvent::ShortcutOverride;
}

// Keys the comment browser keeps for itself.
bool IsCommentKey(int key)
{
  switch (key) {
  case Qt::Key_Tab:
  case Qt::Key_Backtab:
  case Qt::Key_Return:
  case Qt::Key_Enter:
  case Qt::Key_Backspace:
  case Qt::Key_Left:
  case Qt::Key_Right:
  case Qt::Key_Delete:
    return true;
  default:
    return false;
  }
}

}  // namespace

FrameFilter::FrameFilter(QObject *parent) : QObject(parent) {}

FrameFilter::~FrameFilter() { uninstall(); }

void FrameFilter::install()
{
  if (!m_installed && qApp) {
    qApp->installEventFilter(this);
    m_installed = true;
  }
}

void FrameFilter::uninstall()
{
  if (m_installed && qApp)
    qApp->removeEventFilter(this);
  m_installed = false;
}

void FrameFilter::addNoContextMenu(QWidget *w)
{
  if (!w)
    return;
  m_noMenu.removeAll(nullptr);
  if (!m_noMenu.contains(w))
    m_noMenu.append(w);
  w->setContextMenuPolicy(Qt::NoContextMenu);
}

void FrameFilter::removeNoContextMenu(QWidget *w) { m_noMenu.removeAll(w); }

void FrameFilter::setCommentBrowser(QWidget *w) { m_comment = w; }

bool FrameFilter::insideNoContextMenu(const QObject *target) const
{
  for (const QPointer<QWidget> &w : m_noMenu) {
    if (IsInside(target, w))
      return true;
  }
  return false;
}

bool FrameFilter::eventFilter(QObject *watched, QEvent *e)
{
  const QEvent::Type t = e->type();

  // While a key is being handed to the comment browser, it must not travel
  // on to the windows around it.
  if (m_forwarding && IsKeyEvent(t))
    return !IsInside(watched, m_comment);

  switch (t) {
  case QEvent::MouseButtonPress:
  case QEvent::MouseButtonRelease:
  case QEvent::MouseButtonDblClick:
    if (static_cast<QMouseEvent *>(e)->button() == Qt::RightButton && insideNoContextMenu(watched))
      return true;
    break;
  case QEvent::ContextMenu:
    if (insideNoContextMenu(watched))
      return true;
    break;
  case QEvent::KeyPress:
  case QEvent::ShortcutOverride: {
    auto *ke = static_cast<QKeyEvent *>(e);
    const bool ctrl = ke->modifiers() & Qt::ControlModifier;
    if (ctrl && (ke->key() == Qt::Key_A || ke->key() == Qt::Key_F || ke->key() == Qt::Key_N))
      return true;
    if (t == QEvent::KeyPress && m_comment && IsCommentKey(ke->key()) &&
        IsInside(watched, m_comment))
      return handOverToComment(watched, e);
    break;
  }
  case QEvent::KeyRelease: {
    auto *ke = static_cast<QKeyEvent *>(e);
    if (m_comment && IsCommentKey(ke->key()) && IsInside(watched, m_comment))
      return handOverToComment(watched, e);
    break;
  }
  default:
    break;
  }
  return false;
}

bool FrameFilter::handOverToComment(QObject *target, QEvent *e)
{
  // The key goes to the browser's own input widget (its focus proxy, where
  // the page receives keys) and stops there: the dialog around the browser
  // never sees it.  Failures are ignored; the key is then simply dropped.
  QWidget *browser = m_comment;
  QWidget *receiver =
      browser->focusProxy() ? browser->focusProxy() : qobject_cast<QWidget *>(target);
  if (!receiver)
    receiver = browser;
  auto *ke = static_cast<QKeyEvent *>(e);
  QKeyEvent copy(ke->type(), ke->key(), ke->modifiers(), ke->nativeScanCode(),
                 ke->nativeVirtualKey(), ke->nativeModifiers(), ke->text(), ke->isAutoRepeat(),
                 ke->count());
  m_forwarding = true;
  QCoreApplication::sendEvent(receiver, &copy);
  m_forwarding = false;
  return true;
}
