#pragma once
// The still pictures of the main window's frame (caption, edges, status bar,
// logo, the status-bar icons, the tray menu's icons and the program icon),
// taken from the skin images compiled into the program.
#include <QIcon>
#include <QPixmap>

class QWidget;
class tLxsimage;

enum class FramePiece {
  CaptionLeft,    // "FrameTl"     8 x 88
  CaptionMiddle,  // "FrameTc"     stretched, 88 high
  CaptionRight,   // "FrameTr"     8 x 88
  Logo,           // "Logo"        183 x 58
  BodyLeft,       // "FrameLeft"   8 wide, stretched
  BodyRight,      // "FrameRight"  8 wide, stretched
  Divider,        // "Fenge"       2 wide, stretched
  TabStrip,       // "TabStrip"    behind the left tabs, 200 x 41
  NameBar,        // "NameBar"     behind the name bar, 41 high
  StatusLeft,     // "FrameBottomLeft"   8 x 24
  StatusMiddle,   // "FrameBottom"       stretched, 24 high
  StatusRight,    // "FrameBottomRight"  8 x 24
  AdviceIcon,     // "IconAdvice"   16 x 16
  SettingIcon,    // "IconSettings" 16 x 16
};

// The picture of a frame piece (decoded once).
QPixmap FramePicture(FramePiece piece);
// Shows it in a picture control.
void ShowFramePicture(tLxsimage *img, FramePiece piece);
// Paints it as the (stretched) background of a plain panel.
void ShowFrameBackground(QWidget *panel, FramePiece piece);

// Icon number n (0..4) of the tray menu's image list: 0 the portal site,
// 1 settings, 2 about, 3 recommend to a friend, 4 feedback (skin names
// "IconWebsite", "IconSettings", "IconAbout", "IconFriends", "IconAdvice").
QIcon TrayMenuIcon(int n);
// The program's icon (skin name "AppIcon"): window and tray icon.
QIcon ProgramIcon();
