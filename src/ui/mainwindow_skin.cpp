#include "ui/mainwindow_skin.h"

#include "ui/lxsimage.h"

#include <QEvent>
#include <QFont>
#include <QHash>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace {

// Colours of the frame: the skin's sky blue.
const QColor kSky(47, 155, 234);
const QColor kSkyDark(28, 116, 201);
const QColor kSkyDeep(22, 84, 150);
const QColor kSkyLight(143, 208, 255);
const QColor kSkyPale(221, 239, 255);
const QColor kSun(255, 201, 51);
const QColor kStatus(213, 220, 241);
const QColor kWhite(255, 255, 255);

QString SkinName(FramePiece piece)
{
  switch (piece) {
  case FramePiece::CaptionLeft: return QStringLiteral("FrameTl");
  case FramePiece::CaptionMiddle: return QStringLiteral("FrameTc");
  case FramePiece::CaptionRight: return QStringLiteral("FrameTr");
  case FramePiece::Logo: return QStringLiteral("Logo");
  case FramePiece::BodyLeft: return QStringLiteral("FrameLeft");
  case FramePiece::BodyRight: return QStringLiteral("FrameRight");
  case FramePiece::Divider: return QStringLiteral("Fenge");
  case FramePiece::TabStrip: return QStringLiteral("TabStrip");
  case FramePiece::NameBar: return QStringLiteral("NameBar");
  case FramePiece::StatusLeft: return QStringLiteral("FrameBottomLeft");
  case FramePiece::StatusMiddle: return QStringLiteral("FrameBottom");
  case FramePiece::StatusRight: return QStringLiteral("FrameBottomRight");
  case FramePiece::AdviceIcon: return QStringLiteral("IconAdvice");
  case FramePiece::SettingIcon: return QStringLiteral("IconSettings");
  }
  return {};
}

QPixmap NewPixmap(int w, int h)
{
  QPixmap pm(w, h);
  pm.fill(Qt::transparent);
  return pm;
}

QLinearGradient Vertical(int h, const QColor &top, const QColor &bottom)
{
  QLinearGradient g(0, 0, 0, h);
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  return g;
}

// The caption: sky gradient with a soft light band at the top.
QPixmap DrawCaption(int w, FramePiece piece)
{
  const int h = 88;
  QPixmap pm = NewPixmap(w, h);
  QPainter p(&pm);
  QLinearGradient g(0, 0, 0, h);
  g.setColorAt(0, kSkyLight);
  g.setColorAt(0.45, kSky);
  g.setColorAt(1, kSkyDark);
  p.fillRect(pm.rect(), g);
  p.fillRect(QRect(0, h - 2, w, 2), kSkyDeep);
  if (piece == FramePiece::CaptionLeft)
    p.fillRect(QRect(0, 0, 1, h), kSkyDeep);
  if (piece == FramePiece::CaptionRight)
    p.fillRect(QRect(w - 1, 0, 1, h), kSkyDeep);
  return pm;
}

QPixmap DrawLogo()
{
  QPixmap pm = NewPixmap(183, 58);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  // A sun with a smile: the program's mark.
  const QRectF sun(4, 7, 44, 44);
  p.setPen(QPen(kSun.darker(115), 2));
  p.setBrush(kSun);
  p.drawEllipse(sun);
  p.setPen(QPen(kSkyDeep, 2.2, Qt::SolidLine, Qt::RoundCap));
  p.drawPoint(QPointF(19, 24));
  p.drawPoint(QPointF(33, 24));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(16, 24, 20, 16), 200 * 16, 140 * 16);

  QFont f(QStringLiteral("WenQuanYi Zen Hei"));
  f.setPixelSize(24);
  f.setBold(true);
  QPainterPath text;
  text.addText(54, 38, f, QStringLiteral("Kestrova"));
  QFont g = f;
  g.setPixelSize(15);
  text.addText(58, 54, g, QStringLiteral("游戏"));
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 0, 0, 60));
  p.drawPath(text.translated(1, 2));
  p.setPen(QPen(kSkyDeep, 2));
  p.setBrush(kWhite);
  p.drawPath(text);
  p.setPen(Qt::NoPen);
  p.drawPath(text);
  return pm;
}

QPixmap DrawBodyEdge(FramePiece piece)
{
  QPixmap pm = NewPixmap(8, 64);
  QPainter p(&pm);
  QLinearGradient g(0, 0, 8, 0);
  const bool left = piece == FramePiece::BodyLeft;
  g.setColorAt(0, left ? kSkyDark : kSky);
  g.setColorAt(1, left ? kSky : kSkyDark);
  p.fillRect(pm.rect(), g);
  p.fillRect(QRect(left ? 0 : 7, 0, 1, 64), kSkyDeep);
  return pm;
}

QPixmap DrawDivider()
{
  QPixmap pm = NewPixmap(2, 64);
  QPainter p(&pm);
  p.fillRect(QRect(0, 0, 1, 64), kSkyLight);
  p.fillRect(QRect(1, 0, 1, 64), kSky);
  return pm;
}

QPixmap DrawBand(int w, int h, const QColor &top, const QColor &bottom, const QColor &line)
{
  QPixmap pm = NewPixmap(w, h);
  QPainter p(&pm);
  p.fillRect(pm.rect(), Vertical(h, top, bottom));
  p.fillRect(QRect(0, h - 1, w, 1), line);
  return pm;
}

QPixmap DrawStatus(FramePiece piece)
{
  const int w = piece == FramePiece::StatusMiddle ? 32 : 8;
  QPixmap pm = NewPixmap(w, 24);
  QPainter p(&pm);
  p.fillRect(pm.rect(), Vertical(24, kStatus.lighter(106), kStatus.darker(104)));
  p.fillRect(QRect(0, 0, w, 1), kSkyLight);
  p.fillRect(QRect(0, 23, w, 1), kSkyDark);
  if (piece == FramePiece::StatusLeft)
    p.fillRect(QRect(0, 0, 1, 24), kSkyDark);
  if (piece == FramePiece::StatusRight)
    p.fillRect(QRect(7, 0, 1, 24), kSkyDark);
  return pm;
}

// Little 16 x 16 pictures.
enum class Glyph { Globe, Gear, Info, Friends, Bubble };

QPixmap DrawGlyph(Glyph glyph, int size = 16)
{
  QPixmap pm = NewPixmap(size, size);
  QPainter p(&pm);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 16.0, size / 16.0);
  const QPen ink(kSkyDeep, 1.2);
  switch (glyph) {
  case Glyph::Globe:
    p.setPen(ink);
    p.setBrush(kSkyLight);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(5, 1.5, 6, 13));
    p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
    break;
  case Glyph::Gear: {
    p.setPen(Qt::NoPen);
    p.setBrush(kSkyDark);
    for (int i = 0; i < 8; ++i) {
      p.save();
      p.translate(8, 8);
      p.rotate(45.0 * i);
      p.drawRect(QRectF(-1.6, -7.5, 3.2, 4));
      p.restore();
    }
    p.drawEllipse(QRectF(3, 3, 10, 10));
    p.setBrush(kWhite);
    p.drawEllipse(QRectF(6, 6, 4, 4));
    break;
  }
  case Glyph::Info: {
    p.setPen(Qt::NoPen);
    p.setBrush(kSky);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    p.setBrush(kWhite);
    p.drawEllipse(QRectF(7, 3.5, 2.2, 2.2));
    p.drawRoundedRect(QRectF(7, 6.8, 2.2, 6), 1, 1);
    break;
  }
  case Glyph::Friends:
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 138, 61));
    p.drawEllipse(QRectF(2, 2.5, 5, 5));
    p.drawPie(QRectF(0.5, 8, 8, 10), 0, 180 * 16);
    p.setBrush(QColor(92, 196, 90));
    p.drawEllipse(QRectF(9, 2.5, 5, 5));
    p.drawPie(QRectF(7.5, 8, 8, 10), 0, 180 * 16);
    break;
  case Glyph::Bubble: {
    p.setPen(ink);
    p.setBrush(kWhite);
    QPainterPath b;
    b.addRoundedRect(QRectF(1.5, 2, 13, 9), 3, 3);
    b.moveTo(4, 10.5);
    b.lineTo(4, 14.5);
    b.lineTo(8, 10.5);
    p.drawPath(b.simplified());
    p.setPen(QPen(kSkyDark, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(4.5, 5.5), QPointF(11.5, 5.5));
    p.drawLine(QPointF(4.5, 8), QPointF(9.5, 8));
    break;
  }
  }
  return pm;
}

QPixmap Drawn(FramePiece piece)
{
  switch (piece) {
  case FramePiece::CaptionLeft:
  case FramePiece::CaptionRight: return DrawCaption(8, piece);
  case FramePiece::CaptionMiddle: return DrawCaption(64, piece);
  case FramePiece::Logo: return DrawLogo();
  case FramePiece::BodyLeft:
  case FramePiece::BodyRight: return DrawBodyEdge(piece);
  case FramePiece::Divider: return DrawDivider();
  case FramePiece::TabStrip: return DrawBand(200, 41, kSkyPale, kWhite, kSkyLight);
  case FramePiece::NameBar: return DrawBand(64, 41, kWhite, kSkyPale, kSkyLight);
  case FramePiece::StatusLeft:
  case FramePiece::StatusMiddle:
  case FramePiece::StatusRight: return DrawStatus(piece);
  case FramePiece::AdviceIcon: return DrawGlyph(Glyph::Bubble);
  case FramePiece::SettingIcon: return DrawGlyph(Glyph::Gear);
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
  if (it != cache.end())
    return *it;
  QPixmap pm = SkinPixmap(SkinName(piece));
  if (pm.isNull())
    pm = Drawn(piece);
  cache.insert(key, pm);
  return pm;
}

void ShowFramePicture(tLxsimage *img, FramePiece piece)
{
  img->setPixmap(FramePicture(piece));
}

void ShowFrameBackground(QWidget *panel, FramePiece piece)
{
  panel->installEventFilter(new BackgroundPainter(panel, FramePicture(piece)));
}

QIcon TrayMenuIcon(int n)
{
  static const char *const names[5] = {"IconWebsite", "IconSettings", "IconAbout", "IconFriends", "IconAdvice"};
  static const Glyph glyphs[5] = {Glyph::Globe, Glyph::Gear, Glyph::Info, Glyph::Friends, Glyph::Bubble};
  if (n < 0 || n > 4)
    return {};
  const QPixmap skin = SkinPixmap(QString::fromLatin1(names[n]));
  if (!skin.isNull())
    return QIcon(skin);
  return QIcon(DrawGlyph(glyphs[n]));
}

QIcon ProgramIcon()
{
  const QPixmap skin = SkinPixmap(QStringLiteral("AppIcon"));
  if (!skin.isNull())
    return QIcon(skin);
  QIcon icon;
  for (int size : {16, 22, 24, 32, 48, 64}) {
    QPixmap pm = NewPixmap(size, size);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(QPen(kSkyDeep, 1.5));
    p.setBrush(QBrush(Vertical(32, kSkyLight, kSkyDark)));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 7, 7);
    p.setPen(QPen(kSun.darker(115), 1.2));
    p.setBrush(kSun);
    p.drawEllipse(QRectF(7, 7, 18, 18));
    p.setPen(QPen(kSkyDeep, 1.8, Qt::SolidLine, Qt::RoundCap));
    p.drawPoint(QPointF(13, 14));
    p.drawPoint(QPointF(19, 14));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(11.5, 13.5, 9, 7.5), 200 * 16, 140 * 16);
    icon.addPixmap(pm);
  }
  return icon;
}
