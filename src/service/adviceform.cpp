#include "service/adviceform.h"

#include "base/globals.h"
#include "player/core/ksvplay.h"
#include "service/core/advice.h"
#include "service/core/userservice.h"
#include "service/services.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTextEdit>

namespace {
const QColor kLinkColour(35, 135, 208);

void SetColour(QLabel *label, const QColor &colour)
{
  label->setStyleSheet(QStringLiteral("color: %1; background: transparent;").arg(colour.name()));
}
}  // namespace

TfrmAdvice::TfrmAdvice(const UserServices *services, AdviceWindowState state, QWidget *owner)
    : TfrmWinTemplate(owner, QSize(465, 415)), m_state(std::move(state))
{
  setObjectName(QStringLiteral("frmAdvice"));
  setCaption(QStringLiteral("我要反馈"));

  Image1 = new tLxsimage(pnlMain);
  Image1->setObjectName(QStringLiteral("Image1"));
  Image1->setGeometry(14, 8, 48, 48);
  Image1->setStretch(true);
  Image1->setPixmap(SkinPixmap(QStringLiteral("IconAdvice")));
  auto *banner = AddText(pnlMain, QStringLiteral("您的意见是我们进步的动力！"), QPoint(72, 24));
  banner->setObjectName(QStringLiteral("lblBanner"));

  lblHint = AddText(pnlMain, QStringLiteral("问题类型："), QPoint(20, 70));
  lblHint->setObjectName(QStringLiteral("lblHint"));
  RadioButton1 = new QRadioButton(AdviceTypeCaption(AdviceType::Game), pnlMain);
  RadioButton2 = new QRadioButton(AdviceTypeCaption(AdviceType::Software), pnlMain);
  RadioButton3 = new QRadioButton(AdviceTypeCaption(AdviceType::Complaint), pnlMain);
  int x = 100;
  for (QRadioButton *r : {RadioButton1, RadioButton2, RadioButton3}) {
    StyleText(r);
    r->move(x, 67);
    r->adjustSize();
    x += 100;
    connect(r, &QRadioButton::clicked, this, &TfrmAdvice::FillSubTypes);
  }
  RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
  RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
  RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
  RadioButton1->setChecked(true);

  Label2 = AddText(pnlMain, QStringLiteral("问题分类："), QPoint(20, 104));
  Label2->setObjectName(QStringLiteral("Label2"));
  cbbSubType = new QComboBox(pnlMain);
  cbbSubType->setObjectName(QStringLiteral("cbbSubType"));
  cbbSubType->setEditable(false);
  cbbSubType->setGeometry(100, 100, 180, 22);

  Label1 = AddText(pnlMain, QStringLiteral("问题描述："), QPoint(20, 138));
  Label1->setObjectName(QStringLiteral("Label1"));
  edtContent = new QTextEdit(pnlMain);
  edtContent->setObjectName(QStringLiteral("edtContent"));
  edtContent->setAcceptRichText(false);
  edtContent->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  edtContent->setGeometry(100, 136, 330, 120);
  connect(edtContent, &QTextEdit::textChanged, this, &TfrmAdvice::edtContentChange);

  Label9 = AddText(pnlMain, QStringLiteral("还剩    字"), QPoint(360, 262));
  Label9->setObjectName(QStringLiteral("Label9"));
  lblCount = new QLabel(QStringLiteral("200"), pnlMain);
  lblCount->setObjectName(QStringLiteral("lblCount"));
  lblCount->setFont(DialogFont());
  SetColour(lblCount, Qt::red);
  lblCount->setAlignment(Qt::AlignCenter);
  {
    // In the gap of "还剩    字", however wide the installed face draws it.
    const QFontMetrics fm(Label9->font());
    const int gap = fm.horizontalAdvance(QStringLiteral("    "));
    const int width = qMax(gap, QFontMetrics(lblCount->font()).horizontalAdvance("200") + 2);
    const int left = fm.horizontalAdvance(QStringLiteral("还剩"));
    Label9->setText(QStringLiteral("还剩"));
    Label9->adjustSize();
    lblCount->setGeometry(Label9->x() + left, 262, width, Label9->height());
    auto *unit =
        AddText(pnlMain, QStringLiteral("字"), QPoint(lblCount->geometry().right() + 1, 262));
    unit->setObjectName(QStringLiteral("lblCountUnit"));
  }

  Label3 = AddText(pnlMain, QStringLiteral("联系方式："), QPoint(20, 292));
  Label3->setObjectName(QStringLiteral("Label3"));
  edtEmail = new QLineEdit(AdviceContactPrompt, pnlMain);
  edtEmail->setObjectName(QStringLiteral("edtEmail"));
  edtEmail->setGeometry(100, 288, 220, 22);
  edtEmail->setMaxLength(100);
  edtEmail->installEventFilter(this);

  limgOk = AddButton(pnlMain, QStringLiteral("submit"), QRect(190, 326, 80, 26),
                     [this] { limgOkClick(); });
  limgOk->setObjectName(QStringLiteral("limgOk"));

  imgQQOnline = new tLxsimage(pnlMain);
  imgQQOnline->setObjectName(QStringLiteral("imgQQOnline"));
  imgQQOnline->setGeometry(330, 332, 16, 16);
  imgQQOnline->setStretch(true);
  imgQQOnline->setPixmap(SkinPixmap(QStringLiteral("IconWebsite")));
  imgQQOnline->setCursor(Qt::PointingHandCursor);
  connect(imgQQOnline, &tLxsimage::clicked, this, &TfrmAdvice::lblQQOnlineClick);
  lblQQOnline = new QLabel(QStringLiteral("在线服务支持"), pnlMain);
  lblQQOnline->setObjectName(QStringLiteral("lblQQOnline"));
  lblQQOnline->setFont(DialogFont());
  SetColour(lblQQOnline, kLinkColour);
  lblQQOnline->move(350, 332);
  lblQQOnline->adjustSize();
  lblQQOnline->setCursor(Qt::PointingHandCursor);
  lblQQOnline->installEventFilter(this);

  // 1. The sub-types of the selected type.  2. The dialog's own proxy; a
  // failure to make it only makes the sending fail later.
  FillSubTypes();
  try {
    if (services && services->makeAdviceProxy)
      m_service = services->makeAdviceProxy();
  } catch (...) {
  }
}

TfrmAdvice::~TfrmAdvice() = default;

void TfrmAdvice::FillSubTypes()
{
  AdviceType type = AdviceType::Game;
  if (RadioButton1->isChecked())
    type = AdviceType::Game;
  else if (RadioButton2->isChecked())
    type = AdviceType::Software;
  else if (RadioButton3->isChecked())
    type = AdviceType::Complaint;
  cbbSubType->clear();
  cbbSubType->addItems(AdviceSubTypes(type));
  cbbSubType->setCurrentIndex(-1);
}

void TfrmAdvice::edtContentChange()
{
  if (m_clipping)
    return;
  // At most 400 GBK bytes: what goes beyond is cut off at once, as a box with
  // a length limit refuses it.
  const QString text = edtContent->toPlainText();
  const QString clipped = ClipToGbkBytes(text, AdviceMaxBytes);
  if (clipped != text) {
    m_clipping = true;
    edtContent->setPlainText(clipped);
    edtContent->moveCursor(QTextCursor::End);
    m_clipping = false;
  }
  lblCount->setText(QString::number(AdviceCharactersLeft(clipped)));
}

void TfrmAdvice::edtEmailEnter()
{
  if (edtEmail->text() == AdviceContactPrompt)
    edtEmail->clear();
}

void TfrmAdvice::edtEmailExit()
{
  if (edtEmail->text().trimmed().isEmpty())
    edtEmail->setText(AdviceContactPrompt);
}

void TfrmAdvice::limgOkClick()
{
  const QString description = edtContent->toPlainText();
  if (IsBlankDescription(description)) {
    ShowInfoBox(MsgAdviceEmpty, this);
    edtContent->setFocus();
    return;
  }
  const QString contact = AdviceContact(edtEmail->text());
  const QString version = AdviceVersion(m_state.versionCaption);
  AdviceType type = AdviceType::Game;
  if (RadioButton2->isChecked() && !RadioButton1->isChecked())
    type = AdviceType::Software;
  else if (RadioButton3->isChecked() && !RadioButton1->isChecked())
    type = AdviceType::Complaint;
  QString itemId;
  if (m_state.onPlayerPage && CurrentItem)
    itemId = CurrentItem->id;
  const QString text = AdviceText(type, cbbSubType->currentText(), itemId, description);

  int result = 0;
  try {
    if (!m_service)
      throw UserServiceError("no web service proxy");
    result = m_service->saveUserAdvice(UserId, version, contact, text);
  } catch (...) {
    // The dialog stays open with everything the user typed.
    ShowInfoBox(AdviceServiceErrorMessage(), this);
    return;
  }
  if (result == 1) {
    ShowInfoBox(MsgAdviceThanks, this);
    close();
    return;
  }
  ShowInfoBox(AdviceFailedMessage(), this);
}

void TfrmAdvice::lblQQOnlineClick() { OpenInDesktop(SupportUrl); }

bool TfrmAdvice::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == edtEmail) {
    if (event->type() == QEvent::FocusIn)
      edtEmailEnter();
    else if (event->type() == QEvent::FocusOut)
      edtEmailExit();
  } else if (watched == lblQQOnline) {
    switch (event->type()) {
    case QEvent::Enter:
      SetColour(lblQQOnline, QColor(0, 0, 255));
      break;
    case QEvent::Leave:
      SetColour(lblQQOnline, kLinkColour);
      break;
    case QEvent::MouseButtonRelease:
      lblQQOnlineClick();
      return true;
    default:
      break;
    }
  }
  return TfrmWinTemplate::eventFilter(watched, event);
}

void TfrmAdvice::Open(const UserServices *services, AdviceWindowState state, QWidget *owner)
{
  RunModal(new TfrmAdvice(services, std::move(state), owner));
}
