#pragma once
// Helpers of the skin and dialog tests: playing the mouse on a widget, and
// comparing the picture a control shows with a skin image.
#include "widgets/lxsimage.h"

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QString>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

inline void SendMouse(QWidget *w, QEvent::Type type, Qt::MouseButton button = Qt::LeftButton,
                      QPoint at = QPoint(-1, -1))
{
  if (at == QPoint(-1, -1))
    at = w->rect().center();
  const Qt::MouseButtons held =
      type == QEvent::MouseButtonRelease ? Qt::NoButton
      : type == QEvent::MouseMove ? Qt::MouseButtons(button == Qt::NoButton ? Qt::NoButton : button)
                                  : Qt::MouseButtons(button);
  QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
  QApplication::sendEvent(w, &e);
}

inline void Press(QWidget *w, Qt::MouseButton b = Qt::LeftButton)
{
  SendMouse(w, QEvent::MouseButtonPress, b);
}
inline void Release(QWidget *w, Qt::MouseButton b = Qt::LeftButton)
{
  SendMouse(w, QEvent::MouseButtonRelease, b);
}
inline void Move(QWidget *w) { SendMouse(w, QEvent::MouseMove, Qt::NoButton); }
inline void Click(QWidget *w)
{
  Press(w);
  Release(w);
}
inline void Leave(QWidget *w)
{
  QEvent e(QEvent::Leave);
  QApplication::sendEvent(w, &e);
}

// True when the control shows exactly the skin image `name`.
inline bool Shows(const tLxsimage *img, const QString &name)
{
  const QPixmap expected = SkinPixmap(name);
  return !expected.isNull() && !img->pixmap().isNull() &&
         img->pixmap().toImage().convertToFormat(QImage::Format_ARGB32) ==
             expected.toImage().convertToFormat(QImage::Format_ARGB32);
}
