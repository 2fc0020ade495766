#include "widgets/closesystem.h"

#include "base/config.h"
#include "base/globals.h"
#include "base/ini.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"

#include <QLabel>
#include <QRadioButton>

TfrmCloseSystem::TfrmCloseSystem(QWidget *owner) : TfrmWinTemplate(owner, QSize(312, 220))
{
  setCaption(QStringLiteral("Kestrova提示"));
  AddText(pnlMain, QStringLiteral("您点击了关闭按钮，您是想："), QPoint(24, 23));
  RadioButton1 = new QRadioButton(QStringLiteral("最小化到托盘(挂机可优先升级新游戏)"), pnlMain);
  RadioButton2 = new QRadioButton(QStringLiteral("关闭Kestrova游戏"), pnlMain);
  for (QRadioButton *rb : {RadioButton1, RadioButton2}) {
    StyleText(rb);
    rb->adjustSize();
  }
  RadioButton1->move(36, 54);
  RadioButton2->move(36, 85);
  RadioButton2->setChecked(true);
  limgOk =
      AddButton(pnlMain, QStringLiteral("ok"), QRect(38, 120, 80, 26), [this] { limgOkClick(); });
  limgCancel = AddButton(pnlMain, QStringLiteral("cancel"), QRect(132, 120, 80, 26),
                         [this] { limgCancelClick(); });
}

void TfrmCloseSystem::limgOkClick()
{
  if (RadioButton1->isChecked()) {
    // A failed write (local.ini missing) keeps the choice for this run only.
    CloseMode = QStringLiteral("0");
    WriteIniValue(LocalIniFile, QString::fromLatin1(LocalIniSection), QStringLiteral("8"),
                  CloseMode);
  }
  Tag = 1;
  close();
}

void TfrmCloseSystem::limgCancelClick() { close(); }

CloseSystemChoice ShowCloseSystem(QWidget *owner)
{
  auto *dlg = new TfrmCloseSystem(owner);
  bool tray = false;
  const int tag = TfrmWinTemplate::RunModal(dlg, [&tray](TfrmWinTemplate *closed) {
    tray = static_cast<TfrmCloseSystem *>(closed)->RadioButton1->isChecked();
  });
  if (tag != 1)
    return CloseSystemChoice::Cancelled;
  return tray ? CloseSystemChoice::ToTray : CloseSystemChoice::Exit;
}
