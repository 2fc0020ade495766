#pragma once
// The skinned dialog template every secondary window is built on: a
// borderless window with its own title bar (drag target, caption, close
// button), edges, a white content panel and a grey outline with round
// corners.  A dialog is centred on the main window when shown and destroyed
// when it closes.
#include <QDialog>
#include <functional>

class QLabel;
class tLxsimage;
class SkinButton;

class TfrmWinTemplate : public QDialog {
  Q_OBJECT
public:
  // `clientSize` is the whole window's size (the template has no system
  // frame).  Without an owner the dialog belongs to the main window.
  explicit TfrmWinTemplate(QWidget *owner = nullptr, QSize clientSize = QSize(390, 300));
  ~TfrmWinTemplate() override;

  // The dialog's result: 0 when it opens; dialogs that ask set it to 1 when
  // confirmed.  Closing never sets it.
  int Tag = 0;

  void setCaption(const QString &caption);
  QString caption() const;

  // White content panel; each dialog places its controls in it, positions
  // relative to this panel.
  QWidget *pnlMain = nullptr;
  QLabel *lblWinCaptial = nullptr;
  tLxsimage *imgTop = nullptr;     // stretched middle of the title bar (drag)
  tLxsimage *limgClose = nullptr;  // skin "smallclose"

  // Template handlers.
  void imgTopMouseDown(Qt::MouseButton button);
  void limgCloseClick();

  // Shows the dialog modally (through the desktop, widgets/desktop.h) with
  // Tag 0, then destroys it; returns the Tag it
  // had when it closed.  `beforeDestroy`, when given, reads the closed
  // dialog's controls.  `dlg` is invalid afterwards.
  static int RunModal(TfrmWinTemplate *dlg,
                      const std::function<void(TfrmWinTemplate *)> &beforeDestroy = {});

  // The window dialogs are centred on and owned by when no owner is given.
  static void SetMainWindow(QWidget *mainWindow);
  static QWidget *MainWindow();

  // The dialog font: "宋体" (or the nearest installed Chinese face) at
  // `pixelSize` pixels.
  static QFont DialogFont(int pixelSize = 13, bool bold = false);
  // Grey of the dialog texts, RGB(157, 157, 157).
  static QColor TextColour();
  // Gives a label, check box or radio button the dialog font and grey.
  static void StyleText(QWidget *w);
  // A grey dialog text at `at` in `parent`, sized to its text.
  static QLabel *AddText(QWidget *parent, const QString &text, QPoint at);
  // A picture button with skin `skin` (state rule included) at `geometry`;
  // `onClick` runs when it is clicked.
  static tLxsimage *AddButton(QWidget *parent, const QString &skin, const QRect &geometry,
                              std::function<void()> onClick);

protected:
  void paintEvent(QPaintEvent *e) override;
  void resizeEvent(QResizeEvent *e) override;
  void showEvent(QShowEvent *e) override;
  void closeEvent(QCloseEvent *e) override;
  void keyPressEvent(QKeyEvent *e) override;

private:
  void layoutFrame();
  void centreOnMainWindow();

  tLxsimage *imgTopLeft = nullptr;
  tLxsimage *imgTopRight = nullptr;
  tLxsimage *imgLeft = nullptr;
  tLxsimage *imgRight = nullptr;
  tLxsimage *imgBottomLeft = nullptr;
  tLxsimage *imgBottom = nullptr;
  tLxsimage *imgBottomRight = nullptr;
  QWidget *outline = nullptr;
  SkinButton *closeSkin = nullptr;
  bool centred = false;
  bool m_systemMove = false;  // the window system is moving the dialog
};
