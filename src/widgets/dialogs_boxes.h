#pragma once
// The two shared message boxes behind ShowInfoBox and AskYesNo.  Both size
// themselves to their text when it is set (FitText).
#include "widgets/wintemplate.h"

class QLabel;

// Half of `difference`, rounded to the nearest integer with halves going to
// the even neighbour (125 -> 62, 127 -> 64).
int HalfToEven(int difference);

// Information box "Kestrova提示": text and an OK button.
class TfrmHint : public TfrmWinTemplate {
  Q_OBJECT
public:
  explicit TfrmHint(QWidget *owner = nullptr);

  QLabel *lblHint = nullptr;
  tLxsimage *limgOk = nullptr;

  // Puts the text into lblHint (the label grows with it) and fits the box.
  void setText(const QString &text);
  // The fitting rule: the box is at least the label's width + 76 wide (the
  // buttons move right by half of what it grows) and grows in height by
  // what the label is higher than 40 pixels.
  void FitText();

  virtual void limgOkClick();

protected:
  QList<tLxsimage *> m_buttons;  // moved by the fitting rule
};

// Yes/no box "Kestrova提示": OK sets Tag 1 and closes, cancel closes.
class TfrmMessageBox : public TfrmHint {
  Q_OBJECT
public:
  explicit TfrmMessageBox(QWidget *owner = nullptr);

  tLxsimage *limgCancel = nullptr;

  void limgOkClick() override;
  void limgCancelClick();
};
