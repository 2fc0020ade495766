#pragma once
// The feedback dialog "我要反馈": problem type and sub-type, the description
// with its characters-left count, the contact, and the report sent through
// its own web service proxy.
#include "widgets/wintemplate.h"

#include <memory>

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTextEdit;
class IUserService;
struct UserServices;

// What the dialog reads of the main window when it sends.
struct AdviceWindowState {
  QString versionCaption;     // the version label's caption ("版本:...")
  bool onPlayerPage = false;  // the centre shows the play page
};

class TfrmAdvice : public TfrmWinTemplate {
  Q_OBJECT
public:
  TfrmAdvice(const UserServices *services, AdviceWindowState state, QWidget *owner = nullptr);
  ~TfrmAdvice() override;

  tLxsimage *Image1 = nullptr;
  QLabel *lblHint = nullptr;
  QRadioButton *RadioButton1 = nullptr;
  QRadioButton *RadioButton2 = nullptr;
  QRadioButton *RadioButton3 = nullptr;
  QLabel *Label2 = nullptr;
  QComboBox *cbbSubType = nullptr;
  QLabel *Label1 = nullptr;
  QTextEdit *edtContent = nullptr;
  QLabel *Label9 = nullptr;
  QLabel *lblCount = nullptr;
  QLabel *Label3 = nullptr;
  QLineEdit *edtEmail = nullptr;
  tLxsimage *limgOk = nullptr;
  QLabel *lblQQOnline = nullptr;
  tLxsimage *imgQQOnline = nullptr;

  void FillSubTypes();
  void edtContentChange();
  void edtEmailEnter();
  void edtEmailExit();
  void limgOkClick();
  void lblQQOnlineClick();

  // Opens the dialog modally over the main window and frees it afterwards.
  static void Open(const UserServices *services, AdviceWindowState state, QWidget *owner);

protected:
  bool eventFilter(QObject *watched, QEvent *event) override;

private:
  std::unique_ptr<IUserService> m_service;
  AdviceWindowState m_state;
  bool m_clipping = false;
};
