#pragma once
// The behaviour of the main window's frame: the caption that drags and
// maximises, the minimise / maximise / restore / close buttons, hiding to the
// tray and coming back, the layout rules run on every resize, the outline,
// the status-bar links and the one way the program ends.
#include <QObject>
#include <QPoint>
#include <QRect>
#include <functional>

class QPainter;
class QTreeWidget;
class TfrmMain;

// The portal's fixed home address (the tray's "推荐好友" and "官网地址").
inline constexpr const char *PortalHomeUrl = "http://www.kestrova.example/";

class MainFrame : public QObject {
  Q_OBJECT
public:
  explicit MainFrame(TfrmMain *form);

  // Caption middle image: a left press while not maximised moves the window
  // with the mouse (the window manager's move when it offers one, otherwise
  // the window follows the mouse until the button is released).
  void imgTcMouseDown(Qt::MouseButtons buttons, QPoint globalPos);
  void imgTcMouseMove(Qt::MouseButtons buttons, QPoint globalPos);
  void imgTcMouseUp();
  // Double-click on the caption middle: restore if maximised, else maximise.
  void imgTcDblClick();

  void limgMinClick();    // to the tray
  void limgMaxClick();    // maximise
  void limgNorClick();    // restore
  void limgCloseClick();  // close behaviour (CloseMode, StartCount)

  // The geometry of a maximised window: the available area of the window's
  // screen (the screen without panels and task bars).
  QRect MaximizedGeometry() const;

  // Layout rules of every size change: round-corner clipping, the page
  // control's placement, the channel tree's expansion rule (while tv1's Tag
  // is 1), and the trees' scroll bars.
  void FormResize();
  // The grey outline with round corners.
  void FormPaint(QPainter &p);
  // Places PageControl1 in its parent (filling it).
  void PlacePageControl();

  // Expansion rule of the channel tree (row height 36).
  static void ExpandChannelTree(QTreeWidget *tree, int treeHeight);

  // The application's minimise: hide the window; only the tray icon stays.
  // On a desktop without a tray the window is minimised instead.
  void HideToTray();
  // Back from the tray (also a left click on the tray icon): show the window
  // in the state it had, bring it to the front.
  void miRestoreClick();

  void lblSettingClick();
  void lblAdviceClick();

  // The one way the program ends (close button, tray menu, Timer1, end of
  // the desktop session): the message loop stops, the window is destroyed
  // and FormDestroy runs.  A quit of the application that did not come from
  // here (the session manager's at logout) runs it too, so that the window
  // neither refuses to close nor hides to the tray nor asks its question.
  void EndProgram();
  bool ending() const { return m_ending; }

  // The feedback dialog (意见反馈) is opened through this hook.
  std::function<void()> openFeedback;

Q_SIGNALS:
  // Emitted by EndProgram before the message loop is told to stop.
  void programEnding();

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  void SyncTreeScrollBars();
  void setMaximized(bool maximized);

  TfrmMain *m_form;
  bool m_dragging = false;
  QPoint m_dragStart;
  QPoint m_windowStart;
  bool m_ending = false;
};
