#include "widgets/dialogs.h"

#include "widgets/dialogs_boxes.h"
#include "widgets/lxsimage.h"

#include <QLabel>

namespace {

constexpr int kTextMargin = 76;   // label width + this = the box's least width
constexpr int kPlainHeight = 40;  // a label up to this high leaves the height

// Messages spell a line break as "\n\r" (line feed, carriage return); the
// label shows each such pair, and any lone carriage return, as one break.
QString DisplayText(QString text)
{
  text.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return text;
}

}  // namespace

int HalfToEven(int difference)
{
  const int half = difference / 2;  // truncated toward zero
  if (difference % 2 == 0)
    return half;
  // An exact half: go to the even neighbour.
  const int other = difference > 0 ? half + 1 : half - 1;
  return (half % 2 == 0) ? half : other;
}

// --- TfrmHint ------------------------------------------------------------------

TfrmHint::TfrmHint(QWidget *owner) : TfrmWinTemplate(owner, QSize(250, 173))
{
  setCaption(QStringLiteral("Kestrova提示"));
  lblHint = AddText(pnlMain, QString(), QPoint(24, 23));
  lblHint->setObjectName(QStringLiteral("lblHint"));
  lblHint->setTextFormat(Qt::PlainText);
  limgOk =
      AddButton(pnlMain, QStringLiteral("ok"), QRect(71, 75, 80, 26), [this] { limgOkClick(); });
  limgOk->setObjectName(QStringLiteral("limgOk"));
  m_buttons = {limgOk};
}

void TfrmHint::setText(const QString &text)
{
  lblHint->setText(DisplayText(text));
  lblHint->adjustSize();
  FitText();
}

void TfrmHint::FitText()
{
  const int needed = lblHint->width() + kTextMargin;
  if (width() < needed) {
    const int shift = HalfToEven(needed - width());
    for (tLxsimage *b : m_buttons)
      b->move(b->x() + shift, b->y());
    resize(needed, height());
  }
  if (lblHint->height() > kPlainHeight) {
    // The buttons keep their distance to the bottom.
    const int grow = lblHint->height() - kPlainHeight;
    resize(width(), height() + grow);
    for (tLxsimage *b : m_buttons)
      b->move(b->x(), b->y() + grow);
  }
}

void TfrmHint::limgOkClick() { close(); }

// --- TfrmMessageBox ------------------------------------------------------------

TfrmMessageBox::TfrmMessageBox(QWidget *owner) : TfrmHint(owner)
{
  limgOk->move(24, 75);
  limgCancel = AddButton(pnlMain, QStringLiteral("cancel"), QRect(118, 75, 80, 26),
                         [this] { limgCancelClick(); });
  limgCancel->setObjectName(QStringLiteral("limgCancel"));
  m_buttons = {limgOk, limgCancel};
}

void TfrmMessageBox::limgOkClick()
{
  Tag = 1;
  close();
}

void TfrmMessageBox::limgCancelClick() { close(); }

// --- the shared routines -----------------------------------------------------------

void ShowInfoBox(const QString &text, QWidget *owner) { Desktop().InfoBox(text, owner); }

bool AskYesNo(const QString &text, QWidget *owner) { return Desktop().YesNoBox(text, owner); }

void SystemDesktop::InfoBox(const QString &text, QWidget *owner)
{
  auto *box = new TfrmHint(owner);
  box->setText(text);
  TfrmWinTemplate::RunModal(box);
}

bool SystemDesktop::YesNoBox(const QString &text, QWidget *owner)
{
  auto *box = new TfrmMessageBox(owner);
  box->setText(text);
  return TfrmWinTemplate::RunModal(box) == 1;
}
