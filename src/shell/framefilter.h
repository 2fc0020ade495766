#pragma once
// The application-wide input filter of the main window, applied to every
// input event before it is delivered; an event marked handled is dropped.
//
//  1. Right mouse button pressed or released (and the context-menu request
//     that follows it) inside a registered browser or player widget is
//     dropped, so none of them shows a context menu (the portal browser
//     wbMain, the advertisement browser wbChat, the audio page wbMp3, the
//     Flash player, the system message browser).
//  2. Ctrl+A, Ctrl+F and Ctrl+N are dropped wherever they go (the browsers'
//     select-all, find and new-window shortcuts, and select-all in the text
//     boxes).
//  3. In the comment browser, Tab, Enter/Return, Backspace, Left, Right and
//     Delete go to the browser itself and no further: the dialog around it
//     never takes them (no focus move on Tab, no default button on Enter).
//     Failures of this hand-over are ignored.
#include <QObject>
#include <QPointer>
#include <QVector>

class QWidget;

class FrameFilter : public QObject {
  Q_OBJECT
public:
  explicit FrameFilter(QObject *parent = nullptr);
  ~FrameFilter() override;

  // Starts / stops filtering the application's events.
  void install();
  void uninstall();

  // Widgets inside which right clicks show no context menu.
  void addNoContextMenu(QWidget *w);
  void removeNoContextMenu(QWidget *w);
  // The comment window's browser (null when no comment window exists).
  void setCommentBrowser(QWidget *w);

  bool eventFilter(QObject *watched, QEvent *e) override;

private:
  bool insideNoContextMenu(const QObject *target) const;
  bool handOverToComment(QObject *target, QEvent *e);

  QVector<QPointer<QWidget>> m_noMenu;
  QPointer<QWidget> m_comment;
  bool m_forwarding = false;
  bool m_installed = false;
};
