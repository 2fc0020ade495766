#pragma once
// Picture buttons.  Every button of the client is a picture: `tLxsimage`
// shows one skin image at a time and reports the mouse; the state rule swaps
// its picture between the skin images named base name + one digit:
//   0 unavailable, 1 normal, 2 hover, 3 pressed (or selected in a group).
// The control's `Tag` holds the digit of the image it shows (0 at creation);
// it is compared before each load, so a picture is decoded only when the
// state really changes.
//
// Skin images are PNG files compiled into the executable as Qt resources
// (generated at build time by src/widgets/skin/skintool).  Names are looked up
// without regard to case: "ok1", "OK1" and "Ok1" are the same picture.
//
// Besides the state pictures of every button, the skin holds pictures that
// are not buttons (load them with SkinPixmap, or LoadSkinImage + stretch):
//   main window    FrameTl FrameTc FrameTr (88 high), FrameLeft FrameRight
//                  (8 wide), FrameBottomLeft FrameBottom FrameBottomRight
//                  (24 high), Fenge (2 wide), NameBar PlayBar TabStrip
//                  (41 high), Logo (183 x 58)
//   dialogs        DlgTopLeft DlgTop DlgTopRight (36 high), DlgLeft DlgRight
//                  (14 wide), DlgBottomLeft DlgBottom DlgBottomRight (17 high)
//   icons          AppIcon (64 x 64), ProgramIcon (65 x 57), and 16 x 16:
//                  IconAbout IconAdvice IconFriends IconSettings IconWebsite
//                  IconFolder IconExit IconRestore
//   search box     SearchGlass (20 x 19), the magnifier beside edtkey
//   list trees     TvBg TvBg2 (200 x 36), TreeMarker (16 x 16), ScrollTop
//                  ScrollMiddle ScrollBottom (track, 13 wide; caps 9 high),
//                  ScrollThumbTop ScrollThumbMiddle ScrollThumbBottom (caps 3
//                  high)
// Middles are meant to be stretched.
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QVector>
#include <functional>

class QMouseEvent;
class QEvent;

class tLxsimage : public QLabel {
  Q_OBJECT
public:
  explicit tLxsimage(QWidget *parent = nullptr);

  // Small state of the control: for a picture button, the digit of the image
  // it shows (0 at creation).
  int Tag = 0;

  // Stretch the picture to the control's size (off by default).
  void setStretch(bool on);
  bool stretch() const;

Q_SIGNALS:
  // Left button pressed and released over the control.
  void clicked();
  // Left button double-clicked on the control.
  void doubleClicked();
  // Any mouse button went down on the control.
  void mouseDown(Qt::MouseButton button);
  // The mouse moved over the control (or while it holds the mouse).
  void mouseMoved();
  // The mouse left the control.  Raised before the base control's own
  // handling of that moment.
  void OnMouseLeave(tLxsimage *sender);

protected:
  void mousePressEvent(QMouseEvent *e) override;
  void mouseReleaseEvent(QMouseEvent *e) override;
  void mouseDoubleClickEvent(QMouseEvent *e) override;
  void mouseMoveEvent(QMouseEvent *e) override;
  void leaveEvent(QEvent *e) override;

private:
  bool m_leftDown = false;
};

// Find the skin image `resourceName` (any letter case), decode it and make it
// the control's picture.  Returns false, leaving the picture as it was, when
// no such image exists or it cannot be decoded.
bool LoadSkinImage(tLxsimage *img, const QString &resourceName);

// The decoded skin image of that name (any letter case), or a null pixmap.
// For frame pieces, icons and other pictures that are not state buttons.
QPixmap SkinPixmap(const QString &resourceName);

// True when a skin image of that name exists (any letter case).
bool SkinImageExists(const QString &resourceName);

// The names (upper case, as stored) of every skin image compiled in.
QStringList SkinImageNames();

// How many skin images were decoded since the program started.  Lets tests
// check that a state change decodes exactly once.
int SkinDecodeCount();

// The state rule for one picture button with base name B:
//   mouse down  -> if Tag != 3: image B3, Tag 3 (then the owner's action)
//   mouse move  -> if Tag != 2: image B2, Tag 2
//   mouse leave -> if Tag != 1: image B1, Tag 1
// There is no mouse-up step: the pressed picture stays until the mouse moves
// again or leaves.  A button made unavailable shows B0 with Tag 0 and ignores
// the mouse until it is made available again (B1, Tag 1); only buttons built
// with `HasUnavailable` treat Tag 0 that way.
//
// A SkinButton is a child of its control and dies with it.  Failed loads are
// reported by the return values of the public calls; the mouse handlers keep
// the old picture when a load fails.
class SkinButton : public QObject {
  Q_OBJECT
public:
  enum Option { Plain = 0, HasUnavailable = 1 };

  // Binds `img` to base name `base` and shows base + `designDigit` as the
  // design-time picture, leaving Tag at 0.  Pass designDigit < 0 to keep the
  // control's current picture.
  SkinButton(tLxsimage *img, const QString &base, Option option = Plain, int designDigit = 1);

  tLxsimage *image() const { return m_img; }
  QString base() const { return m_base; }
  // Changes the base name (e.g. the channel tab follows the category).  The
  // picture is not reloaded until the next state change.
  void setBase(const QString &base) { m_base = base; }

  // Shows base + digit and sets Tag to digit, unless Tag already is digit.
  // False when the image could not be loaded (picture and Tag unchanged).
  bool showState(int digit);
  // Shows base + digit and sets Tag to `tag`, whatever Tag was (used when a
  // group releases a member: picture 1 with Tag 0).
  bool forceState(int digit, int tag);

  // Unavailable: image 0, Tag 0, the mouse is ignored.  Available: image 1,
  // Tag 1.  Only meaningful with HasUnavailable.
  bool setAvailable(bool available);
  bool isAvailable() const;

  // While this returns true, mouse move and leave do nothing (the selected
  // member of a selection group keeps its pressed look).
  void setSelectedTest(std::function<bool()> isSelected) { m_isSelected = std::move(isSelected); }

  // The three handlers of the state rule; wired to the control's signals.
  void MouseDown();
  void MouseMove();
  void MouseLeave();

Q_SIGNALS:
  // The mouse went down on an available button (after the pressed picture is
  // shown): the owner's action when it is bound to mouse-down.
  void pressed(Qt::MouseButton button);
  // A click on an available button.
  void clicked();

private:
  bool ignoresMouse() const;

  tLxsimage *m_img;
  QString m_base;
  Option m_option;
  std::function<bool()> m_isSelected;
};

// A selection group (the category bar, the left-panel tabs): the member whose
// number equals the group's key is the selected one; hover and leave do
// nothing on it, mouse down follows the plain rule on every member.  The key
// is read through `key` (usually a global such as ActiveCategory), so the
// owner changes the selection by changing that value.
class SkinGroup : public QObject {
  Q_OBJECT
public:
  explicit SkinGroup(std::function<int()> key, QObject *parent = nullptr);

  // Adds a member with its number (1, 2, 3 ...).
  void add(SkinButton *button, int number);
  SkinButton *member(int number) const;
  int selected() const { return m_key(); }

  // The previously selected member gets picture 1 and Tag 0 (called before
  // the key changes).
  void release(int number);
  // Every member other than the selected one whose Tag is not 1 gets
  // picture 1 and Tag 1.
  void resetOthers();

private:
  std::function<int()> m_key;
  QVector<QPair<QPointer<SkinButton>, int>> m_members;
};
