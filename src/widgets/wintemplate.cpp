#include "widgets/wintemplate.h"

#include "widgets/desktop.h"
#include "widgets/lxsimage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QWindow>

namespace {
QPointer<QWidget> g_mainWindow;

constexpr int kTitleHeight = 36;
constexpr int kBottomHeight = 17;
constexpr int kTitleEdge = 13;
constexpr int kSideWidth = 14;
const QColor kOutline(128, 128, 128);

// The grey outline with round corners, drawn above every child of the
// dialog; it lets the mouse through.
class Outline : public QWidget {
public:
  explicit Outline(QWidget *parent) : QWidget(parent)
  {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
  }

protected:
  void paintEvent(QPaintEvent *) override
  {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kOutline, 1));
    p.setBrush(Qt::NoBrush);
    // Round corners drawn with 21 x 21 ellipses.
    p.drawRoundedRect(QRectF(0.5, 0.5, width() - 1, height() - 1), 10.5, 10.5);
  }
};

tLxsimage *Piece(QWidget *parent, const QString &skin, bool stretch)
{
  auto *img = new tLxsimage(parent);
  img->setStretch(stretch);
  LoadSkinImage(img, skin);
  return img;
}

// Drags the dialog by hand where the window system cannot move it for us.
class CaptionDrag : public QObject {
public:
  CaptionDrag(TfrmWinTemplate *dlg, QWidget *handle) : QObject(handle), m_dlg(dlg)
  {
    handle->installEventFilter(this);
  }
  bool active = false;
  QPoint offset;

protected:
  bool eventFilter(QObject *, QEvent *e) override
  {
    if (e->type() == QEvent::MouseButtonPress || e->type() == QEvent::MouseButtonDblClick) {
      // Where the mouse holds the dialog; the press handler decides whether
      // the dialog follows it.
      active = false;
      offset = static_cast<QMouseEvent *>(e)->globalPosition().toPoint() - m_dlg->pos();
    } else if (e->type() == QEvent::MouseMove && active) {
      auto *me = static_cast<QMouseEvent *>(e);
      if (me->buttons() & Qt::LeftButton)
        m_dlg->move(me->globalPosition().toPoint() - offset);
      else
        active = false;
    } else if (e->type() == QEvent::MouseButtonRelease) {
      active = false;
    }
    return false;
  }

private:
  TfrmWinTemplate *m_dlg;
};
}  // namespace

TfrmWinTemplate::TfrmWinTemplate(QWidget *owner, QSize clientSize)
    : QDialog(owner ? owner : MainWindow(), Qt::Dialog | Qt::FramelessWindowHint)
{
  setAttribute(Qt::WA_DeleteOnClose);
  setFont(DialogFont());

  imgTopLeft = Piece(this, QStringLiteral("DlgTopLeft"), true);
  imgTop = Piece(this, QStringLiteral("DlgTop"), true);
  imgTopRight = Piece(this, QStringLiteral("DlgTopRight"), true);
  imgLeft = Piece(this, QStringLiteral("DlgLeft"), true);
  imgRight = Piece(this, QStringLiteral("DlgRight"), true);
  imgBottomLeft = Piece(this, QStringLiteral("DlgBottomLeft"), true);
  imgBottom = Piece(this, QStringLiteral("DlgBottom"), true);
  imgBottomRight = Piece(this, QStringLiteral("DlgBottomRight"), true);

  lblWinCaptial = new QLabel(this);
  lblWinCaptial->setFont(DialogFont(16, true));
  QPalette pal = lblWinCaptial->palette();
  pal.setColor(QPalette::WindowText, QColor(238, 249, 253));
  lblWinCaptial->setPalette(pal);
  lblWinCaptial->setAttribute(Qt::WA_TransparentForMouseEvents);  // the bar below drags

  limgClose = new tLxsimage(this);
  limgClose->resize(23, 17);
  limgClose->setToolTip(QStringLiteral("关闭"));
  closeSkin = new SkinButton(limgClose, QStringLiteral("smallclose"));
  connect(closeSkin, &SkinButton::clicked, this, &TfrmWinTemplate::limgCloseClick);

  pnlMain = new QWidget(this);
  pnlMain->setObjectName(QStringLiteral("pnlMain"));
  pnlMain->setAutoFillBackground(true);
  QPalette white = pnlMain->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::Base, Qt::white);
  pnlMain->setPalette(white);

  auto *drag = new CaptionDrag(this, imgTop);
  connect(imgTop, &tLxsimage::mouseDown, this, [this, drag](Qt::MouseButton b) {
    imgTopMouseDown(b);
    drag->active = b == Qt::LeftButton && !isMaximized() && !m_systemMove;
  });

  outline = new Outline(this);
  resize(clientSize);
  layoutFrame();
}

TfrmWinTemplate::~TfrmWinTemplate() = default;

void TfrmWinTemplate::setCaption(const QString &caption)
{
  lblWinCaptial->setText(caption);
  lblWinCaptial->adjustSize();
  setWindowTitle(caption);
}

QString TfrmWinTemplate::caption() const { return lblWinCaptial->text(); }

void TfrmWinTemplate::imgTopMouseDown(Qt::MouseButton button)
{
  m_systemMove = false;
  if (button != Qt::LeftButton || isMaximized())
    return;
  // Let the window system move the window with the mouse, as a caption drag
  // does; when it cannot, the dialog follows the mouse itself.
  if (QWindow *w = windowHandle())
    m_systemMove =
        QGuiApplication::platformName() != QLatin1String("offscreen") && w->startSystemMove();
}

void TfrmWinTemplate::limgCloseClick() { close(); }

void TfrmWinTemplate::layoutFrame()
{
  const int w = width(), h = height();
  const int middle = qMax(0, h - kTitleHeight - kBottomHeight);
  imgTopLeft->setGeometry(0, 0, kTitleEdge, kTitleHeight);
  imgTop->setGeometry(kTitleEdge, 0, qMax(0, w - 2 * kTitleEdge), kTitleHeight);
  imgTopRight->setGeometry(w - kTitleEdge, 0, kTitleEdge, kTitleHeight);
  lblWinCaptial->move(14, 10);
  limgClose->move(w - 31, 8);
  imgLeft->setGeometry(0, kTitleHeight, kSideWidth, middle);
  imgRight->setGeometry(w - kSideWidth, kTitleHeight, kSideWidth, middle);
  pnlMain->setGeometry(kSideWidth, kTitleHeight, qMax(0, w - 2 * kSideWidth), middle);
  imgBottomLeft->setGeometry(0, h - kBottomHeight, kTitleEdge, kBottomHeight);
  imgBottom->setGeometry(kTitleEdge, h - kBottomHeight, qMax(0, w - 2 * kTitleEdge), kBottomHeight);
  imgBottomRight->setGeometry(w - kTitleEdge, h - kBottomHeight, kTitleEdge, kBottomHeight);
  outline->setGeometry(0, 0, w, h);
  outline->raise();
  lblWinCaptial->raise();
  limgClose->raise();
  outline->raise();
  // Cut the corners off so the window's shape follows the outline.
  QPainterPath shape;
  shape.addRoundedRect(QRectF(0, 0, w, h), 10.5, 10.5);
  setMask(QRegion(shape.toFillPolygon().toPolygon()));
}

void TfrmWinTemplate::resizeEvent(QResizeEvent *e)
{
  QDialog::resizeEvent(e);
  layoutFrame();
}

void TfrmWinTemplate::paintEvent(QPaintEvent *e)
{
  QDialog::paintEvent(e);
  QPainter p(this);
  p.fillRect(rect(), Qt::white);
}

void TfrmWinTemplate::showEvent(QShowEvent *e)
{
  if (!centred) {
    centred = true;
    centreOnMainWindow();
  }
  QDialog::showEvent(e);
}

void TfrmWinTemplate::centreOnMainWindow()
{
  QWidget *main = parentWidget() ? parentWidget()->window() : nullptr;
  if (!main || !main->isVisible())
    main = MainWindow();
  QRect area;
  if (main && main->isVisible() && !main->isMinimized()) {
    area = main->frameGeometry();
  } else {
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
      return;
    area = screen->availableGeometry();
  }
  move(area.center() - QPoint(width() / 2, height() / 2));
}

void TfrmWinTemplate::closeEvent(QCloseEvent *e)
{
  // Closing never sets the result.
  QDialog::closeEvent(e);
}

void TfrmWinTemplate::keyPressEvent(QKeyEvent *e)
{
  if (e->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QDialog::keyPressEvent(e);
}

int TfrmWinTemplate::RunModal(TfrmWinTemplate *dlg,
                              const std::function<void(TfrmWinTemplate *)> &beforeDestroy)
{
  dlg->setAttribute(Qt::WA_DeleteOnClose, false);
  dlg->Tag = 0;
  Desktop().RunDialog(dlg);
  const int tag = dlg->Tag;
  if (beforeDestroy)
    beforeDestroy(dlg);
  delete dlg;
  return tag;
}

void TfrmWinTemplate::SetMainWindow(QWidget *mainWindow) { g_mainWindow = mainWindow; }
QWidget *TfrmWinTemplate::MainWindow() { return g_mainWindow.data(); }

QFont TfrmWinTemplate::DialogFont(int pixelSize, bool bold)
{
  // "宋体" where it exists; the WenQuanYi face is the installed stand-in.
  QFont f;
  f.setFamilies(
      {QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("WenQuanYi Zen Hei")});
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  return f;
}

QColor TfrmWinTemplate::TextColour() { return QColor(157, 157, 157); }

void TfrmWinTemplate::StyleText(QWidget *w)
{
  w->setFont(DialogFont());
  QPalette pal = w->palette();
  pal.setColor(QPalette::WindowText, TextColour());
  pal.setColor(QPalette::ButtonText, TextColour());
  w->setPalette(pal);
}

QLabel *TfrmWinTemplate::AddText(QWidget *parent, const QString &text, QPoint at)
{
  auto *l = new QLabel(text, parent);
  StyleText(l);
  l->move(at);
  l->adjustSize();
  return l;
}

tLxsimage *TfrmWinTemplate::AddButton(QWidget *parent, const QString &skin, const QRect &geometry,
                                      std::function<void()> onClick)
{
  auto *img = new tLxsimage(parent);
  img->setGeometry(geometry);
  img->setCursor(Qt::PointingHandCursor);
  auto *button = new SkinButton(img, skin);
  QObject::connect(button, &SkinButton::clicked, img, std::move(onClick));
  return img;
}
