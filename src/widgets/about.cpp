#include "widgets/about.h"

#include "base/routines.h"
#include "widgets/desktop.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QUrl>

namespace {

const QColor kLinkColour(35, 135, 208);
const QColor kLinkHover(0, 0, 255);

QLabel *Text(QWidget *parent, const QString &text, QPoint at, const QColor &colour)
{
  QLabel *l = TfrmWinTemplate::AddText(parent, text, at);
  QPalette pal = l->palette();
  pal.setColor(QPalette::WindowText, colour);
  l->setPalette(pal);
  return l;
}
}  // namespace

TfrmAbout::TfrmAbout(QWidget *owner) : TfrmWinTemplate(owner, QSize(308, 235))
{
  setCaption(QStringLiteral("关于"));
  ProgramIcon = new QLabel(pnlMain);
  ProgramIcon->setGeometry(23, 21, 65, 57);
  ProgramIcon->setPixmap(SkinPixmap(QStringLiteral("ProgramIcon")));
  ProductName = Text(pnlMain, QStringLiteral("Kestrova游戏"), QPoint(99, 19), QColor(60, 60, 60));
  QFont bold = ProductName->font();
  bold.setBold(true);
  ProductName->setFont(bold);
  ProductName->adjustSize();
  Version =
      Text(pnlMain, QStringLiteral("版本:") + GetOwnFileVersion(), QPoint(99, 48), TextColour());
  lblCompany = Text(pnlMain, QString::fromUtf8(KestrovaCompanyName), QPoint(99, 77), TextColour());
  Comments = Text(pnlMain, QStringLiteral("联系方式："), QPoint(24, 107), TextColour());
  lblContract =
      Text(pnlMain, QString::fromLatin1(KestrovaSupportMail), QPoint(99, 106), kLinkColour);
  lblContract->setCursor(Qt::PointingHandCursor);
  lblContract->setMouseTracking(true);
  lblContract->installEventFilter(this);

  limgOk = AddButton(pnlMain, QStringLiteral("ok"), QRect(100, 135, 80, 26), [this] { close(); });
}

void TfrmAbout::setContractHover(bool over)
{
  QFont f = lblContract->font();
  f.setUnderline(over);
  lblContract->setFont(f);
  QPalette pal = lblContract->palette();
  pal.setColor(QPalette::WindowText, over ? kLinkHover : kLinkColour);
  lblContract->setPalette(pal);
}

void TfrmAbout::lblContractClick()
{
  const QUrl url(QStringLiteral("mailto:") + QString::fromLatin1(KestrovaSupportMail));
  Desktop().OpenUrl(url);
}

bool TfrmAbout::eventFilter(QObject *watched, QEvent *e)
{
  if (watched == lblContract) {
    switch (e->type()) {
    case QEvent::Enter:
    case QEvent::MouseMove:
      setContractHover(true);
      break;
    case QEvent::Leave:
      setContractHover(false);
      break;
    case QEvent::MouseButtonRelease:
      if (static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton &&
          lblContract->rect().contains(static_cast<QMouseEvent *>(e)->position().toPoint()))
        lblContractClick();
      break;
    default:
      break;
    }
  }
  return TfrmWinTemplate::eventFilter(watched, e);
}

void ShowAbout(QWidget *owner) { TfrmWinTemplate::RunModal(new TfrmAbout(owner)); }
