#pragma once
// The about box "关于": program icon, name, version, company and the support
// address, which opens the mail program when clicked.
#include "widgets/wintemplate.h"

class QLabel;

class TfrmAbout : public TfrmWinTemplate {
  Q_OBJECT
public:
  explicit TfrmAbout(QWidget *owner = nullptr);

  QLabel *ProgramIcon = nullptr;
  QLabel *ProductName = nullptr;
  QLabel *Version = nullptr;  // "版本:" + the program's version
  QLabel *lblCompany = nullptr;
  QLabel *Comments = nullptr;     // "联系方式："
  QLabel *lblContract = nullptr;  // the support address
  tLxsimage *limgOk = nullptr;

  // Hover look of the support address: underlined pure blue while the mouse
  // is over it, RGB(35, 135, 208) otherwise.
  void setContractHover(bool over);
  // Opens "mailto:" + the support address with the mail program.
  void lblContractClick();

protected:
  bool eventFilter(QObject *watched, QEvent *e) override;
};
