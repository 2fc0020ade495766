#include "shell/mainwindow_skin.h"

#include "widgets/lxsimage.h"

#include <QEvent>
#include <QHash>
#include <QPainter>
#include <QWidget>

namespace {

QString SkinName(FramePiece piece)
{
  switch (piece) {
  case FramePiece::CaptionLeft:
    return QStringLiteral("FrameTl");
  case FramePiece::CaptionMiddle:
    return QStringLiteral("FrameTc");
  case FramePiece::CaptionRight:
    return QStringLiteral("FrameTr");
  case FramePiece::Logo:
    return QStringLiteral("Logo");
  case FramePiece::BodyLeft:
    return QStringLiteral("FrameLeft");
  case FramePiece::BodyRight:
    return QStringLiteral("FrameRight");
  case FramePiece::Divider:
    return QStringLiteral("Fenge");
  case FramePiece::TabStrip:
    return QStringLiteral("TabStrip");
  case FramePiece::NameBar:
    return QStringLiteral("NameBar");
  case FramePiece::StatusLeft:
    return QStringLiteral("FrameBottomLeft");
  case FramePiece::StatusMiddle:
    return QStringLiteral("FrameBottom");
  case FramePiece::StatusRight:
    return QStringLiteral("FrameBottomRight");
  case FramePiece::AdviceIcon:
    return QStringLiteral("IconAdvice");
  case FramePiece::SettingIcon:
    return QStringLiteral("IconSettings");
  }
  return {};
}

// Paints a picture stretched over a panel, under its children.
class BackgroundPainter : public QObject {
public:
  BackgroundPainter(QWidget *panel, QPixmap pm) : QObject(panel), m_pm(std::move(pm)) {}
  bool eventFilter(QObject *o, QEvent *e) override
  {
    if (e->type() == QEvent::Paint) {
      auto *w = static_cast<QWidget *>(o);
      QPainter p(w);
      p.drawPixmap(w->rect(), m_pm);
    }
    return false;
  }

private:
  QPixmap m_pm;
};

}  // namespace

QPixmap FramePicture(FramePiece piece)
{
  static QHash<int, QPixmap> cache;
  const int key = static_cast<int>(piece);
  auto it = cache.find(key);
  if (it == cache.end())
    it = cache.insert(key, SkinPixmap(SkinName(piece)));
  return *it;
}

void ShowFramePicture(tLxsimage *img, FramePiece piece) { img->setPixmap(FramePicture(piece)); }

void ShowFrameBackground(QWidget *panel, FramePiece piece)
{
  panel->installEventFilter(new BackgroundPainter(panel, FramePicture(piece)));
}

QIcon TrayMenuIcon(int n)
{
  static const char *const names[5] = {"IconWebsite", "IconSettings", "IconAbout", "IconFriends",
                                       "IconAdvice"};
  if (n < 0 || n > 4)
    return {};
  return QIcon(SkinPixmap(QString::fromLatin1(names[n])));
}

QIcon ProgramIcon() { return QIcon(SkinPixmap(QStringLiteral("AppIcon"))); }
