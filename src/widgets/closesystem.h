#pragma once
// The close confirmation asked by the main window's close button on the very
// first run: hide to the tray or end the program.
#include "widgets/wintemplate.h"

class QRadioButton;

class TfrmCloseSystem : public TfrmWinTemplate {
  Q_OBJECT
public:
  explicit TfrmCloseSystem(QWidget *owner = nullptr);

  QRadioButton *RadioButton1 = nullptr;  // "最小化到托盘(挂机可优先升级新游戏)"
  QRadioButton *RadioButton2 = nullptr;  // "关闭Kestrova游戏" (selected)
  tLxsimage *limgOk = nullptr;
  tLxsimage *limgCancel = nullptr;

  // OK: the tray choice stores CloseMode "0" (local.ini [Info] "8"); either
  // choice then sets Tag 1 and closes.
  void limgOkClick();
  void limgCancelClick();
};
