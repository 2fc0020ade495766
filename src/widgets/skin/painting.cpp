#include "painting.h"

#include <QLinearGradient>
#include <QPainterPath>
#include <QtMath>

namespace skin {

namespace {
QString g_family = QStringLiteral("WenQuanYi Zen Hei");

// Every icon is drawn in a 100 x 100 design box; this maps it into `r`.
class DesignBox {
public:
  DesignBox(QPainter &p, const QRectF &r) : m_p(p)
  {
    const qreal side = qMin(r.width(), r.height());
    m_p.save();
    m_p.translate(r.center().x() - side / 2, r.center().y() - side / 2);
    m_p.scale(side / 100.0, side / 100.0);
  }
  ~DesignBox() { m_p.restore(); }

private:
  QPainter &m_p;
};

QPen RoundPen(const QColor &c, qreal w)
{
  return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QPainterPath StarPath(QPointF c, qreal outer, qreal inner, int points = 5)
{
  QPainterPath path;
  for (int i = 0; i < points * 2; ++i) {
    const qreal radius = (i % 2) ? inner : outer;
    const qreal a = -M_PI / 2 + i * M_PI / points;
    const QPointF pt(c.x() + radius * qCos(a), c.y() + radius * qSin(a));
    if (i == 0)
      path.moveTo(pt);
    else
      path.lineTo(pt);
  }
  path.closeSubpath();
  return path;
}

QPainterPath HeartPath(QPointF c, qreal size)
{
  // A heart of width `size` centred on c.
  const qreal s = size / 100.0;
  QPainterPath path;
  auto P = [&](qreal x, qreal y) { return QPointF(c.x() + (x - 50) * s, c.y() + (y - 50) * s); };
  path.moveTo(P(50, 88));
  path.cubicTo(P(12, 62), P(2, 40), P(12, 24));
  path.cubicTo(P(22, 8), P(44, 10), P(50, 28));
  path.cubicTo(P(56, 10), P(78, 8), P(88, 24));
  path.cubicTo(P(98, 40), P(88, 62), P(50, 88));
  path.closeSubpath();
  return path;
}

}  // namespace

void SetCaptionFamily(const QString &family) { g_family = family; }

QFont CaptionFont(int pixelSize, bool bold)
{
  QFont f(g_family);
  f.setPixelSize(pixelSize);
  f.setBold(bold);
  f.setHintingPreference(QFont::PreferFullHinting);
  f.setStyleStrategy(QFont::PreferAntialias);
  return f;
}

QImage NewImage(int w, int h)
{
  QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::transparent);
  return img;
}

QColor Tint(const QColor &c, int percentLighter)
{
  const int f = 100 - qBound(0, percentLighter, 100);
  return QColor(255 - (255 - c.red()) * f / 100, 255 - (255 - c.green()) * f / 100,
                255 - (255 - c.blue()) * f / 100, c.alpha());
}

QColor Shade(const QColor &c, int percentDarker)
{
  const int f = 100 - qBound(0, percentDarker, 100);
  return QColor(c.red() * f / 100, c.green() * f / 100, c.blue() * f / 100, c.alpha());
}

void Pill(QPainter &p, const QRectF &r, qreal radius, const QColor &top, const QColor &bottom,
          const QColor &border)
{
  p.save();
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  g.setColorAt(0, top);
  g.setColorAt(1, bottom);
  const QRectF inner = r.adjusted(0.5, 0.5, -0.5, -0.5);
  p.setPen(border.isValid() ? QPen(border, 1) : Qt::NoPen);
  p.setBrush(g);
  p.drawRoundedRect(inner, radius, radius);
  // A glossy highlight along the upper half makes the body look pressable.
  QLinearGradient gloss(r.topLeft(), QPointF(r.left(), r.center().y()));
  gloss.setColorAt(0, QColor(255, 255, 255, 110));
  gloss.setColorAt(1, QColor(255, 255, 255, 0));
  p.setPen(Qt::NoPen);
  p.setBrush(gloss);
  const QRectF upper(inner.left() + 1.5, inner.top() + 1, inner.width() - 3, inner.height() / 2);
  p.drawRoundedRect(upper, qMax<qreal>(0, radius - 1.5), qMax<qreal>(0, radius - 1.5));
  p.restore();
}

void Caption(QPainter &p, const QRectF &r, const QString &text, int pixelSize, const QColor &colour,
             bool bold, const QColor &shadow)
{
  p.save();
  p.setFont(CaptionFont(pixelSize, bold));
  if (shadow.isValid()) {
    p.setPen(shadow);
    p.drawText(r.translated(0, 1), Qt::AlignCenter, text);
  }
  p.setPen(colour);
  p.drawText(r, Qt::AlignCenter, text);
  p.restore();
}

void DrawIcon(QPainter &p, Icon icon, const QRectF &r, const QColor &ink, const QColor &paper)
{
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  DesignBox box(p, r);
  p.setPen(Qt::NoPen);
  p.setBrush(ink);
  switch (icon) {
  case Icon::House: {
    QPainterPath roof;
    roof.moveTo(50, 8);
    roof.lineTo(94, 48);
    roof.lineTo(80, 48);
    roof.lineTo(80, 90);
    roof.lineTo(20, 90);
    roof.lineTo(20, 48);
    roof.lineTo(6, 48);
    roof.closeSubpath();
    p.setPen(RoundPen(ink, 6));
    p.drawPath(roof);
    p.setPen(Qt::NoPen);
    p.setBrush(paper);
    p.drawRoundedRect(QRectF(40, 60, 20, 30), 5, 5);
    p.drawEllipse(QRectF(44, 30, 12, 12));
    break;
  }
  case Icon::Bolt: {
    QPainterPath bolt;
    bolt.moveTo(60, 4);
    bolt.lineTo(20, 56);
    bolt.lineTo(46, 56);
    bolt.lineTo(38, 96);
    bolt.lineTo(82, 40);
    bolt.lineTo(55, 40);
    bolt.closeSubpath();
    p.setPen(RoundPen(ink, 5));
    p.drawPath(bolt);
    break;
  }
  case Icon::Castle: {
    QPainterPath tower;
    tower.moveTo(18, 94);
    tower.lineTo(18, 14);
    tower.lineTo(32, 14);
    tower.lineTo(32, 26);
    tower.lineTo(43, 26);
    tower.lineTo(43, 14);
    tower.lineTo(57, 14);
    tower.lineTo(57, 26);
    tower.lineTo(68, 26);
    tower.lineTo(68, 14);
    tower.lineTo(82, 14);
    tower.lineTo(82, 94);
    tower.closeSubpath();
    p.setPen(RoundPen(ink, 5));
    p.drawPath(tower);
    p.setPen(Qt::NoPen);
    p.setBrush(paper);
    QPainterPath door;
    door.moveTo(38, 94);
    door.lineTo(38, 70);
    door.arcTo(QRectF(38, 58, 24, 24), 180, -180);
    door.lineTo(62, 94);
    door.closeSubpath();
    p.drawPath(door);
    p.drawRoundedRect(QRectF(44, 38, 12, 14), 4, 4);
    break;
  }
  case Icon::Ball: {
    p.drawEllipse(QRectF(6, 6, 88, 88));
    p.setBrush(paper);
    p.drawEllipse(QRectF(13, 13, 74, 74));
    p.setBrush(ink);
    p.drawPath(StarPath(QPointF(50, 50), 20, 13, 5));
    p.setPen(RoundPen(ink, 5));
    for (int i = 0; i < 5; ++i) {
      const qreal a = -M_PI / 2 + i * 2 * M_PI / 5;
      p.drawLine(QPointF(50 + 20 * qCos(a), 50 + 20 * qSin(a)),
                 QPointF(50 + 37 * qCos(a), 50 + 37 * qSin(a)));
    }
    break;
  }
  case Icon::Sun: {
    p.setPen(RoundPen(ink, 8));
    for (int i = 0; i < 8; ++i) {
      const qreal a = i * M_PI / 4;
      p.drawLine(QPointF(50 + 33 * qCos(a), 50 + 33 * qSin(a)),
                 QPointF(50 + 45 * qCos(a), 50 + 45 * qSin(a)));
    }
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(22, 22, 56, 56));
    p.setBrush(paper);
    p.drawEllipse(QRectF(36, 40, 8, 9));
    p.drawEllipse(QRectF(56, 40, 8, 9));
    p.setPen(RoundPen(paper, 5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(36, 42, 28, 22), 200 * 16, 140 * 16);
    break;
  }
  case Icon::Bulb: {
    QPainterPath bulb;
    bulb.moveTo(36, 70);
    bulb.cubicTo(36, 58, 16, 50, 16, 34);
    bulb.cubicTo(16, 15, 32, 4, 50, 4);
    bulb.cubicTo(68, 4, 84, 15, 84, 34);
    bulb.cubicTo(84, 50, 64, 58, 64, 70);
    bulb.closeSubpath();
    p.drawPath(bulb);
    p.drawRoundedRect(QRectF(36, 74, 28, 8), 3, 3);
    p.drawRoundedRect(QRectF(40, 86, 20, 8), 3, 3);
    p.setPen(RoundPen(paper, 5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(28, 16, 30, 30), 100 * 16, 70 * 16);
    break;
  }
  case Icon::Shield: {
    QPainterPath shield;
    shield.moveTo(50, 4);
    shield.lineTo(88, 18);
    shield.cubicTo(88, 60, 72, 82, 50, 96);
    shield.cubicTo(28, 82, 12, 60, 12, 18);
    shield.closeSubpath();
    p.drawPath(shield);
    p.setBrush(paper);
    p.drawPath(StarPath(QPointF(50, 46), 24, 10, 5));
    break;
  }
  case Icon::Disc: {
    p.drawEllipse(QRectF(6, 6, 88, 88));
    p.setBrush(paper);
    p.drawEllipse(QRectF(36, 36, 28, 28));
    p.setBrush(ink);
    p.drawEllipse(QRectF(45, 45, 10, 10));
    p.setPen(RoundPen(Tint(ink, 45), 5));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(16, 16, 68, 68), 100 * 16, 60 * 16);
    p.drawArc(QRectF(16, 16, 68, 68), 280 * 16, 60 * 16);
    break;
  }
  case Icon::Plane: {
    QPainterPath wing;
    wing.moveTo(96, 8);
    wing.lineTo(4, 46);
    wing.lineTo(38, 58);
    wing.closeSubpath();
    p.drawPath(wing);
    QPainterPath under;
    under.moveTo(96, 8);
    under.lineTo(38, 58);
    under.lineTo(44, 92);
    under.lineTo(58, 68);
    under.lineTo(82, 80);
    under.closeSubpath();
    p.setBrush(Shade(ink, 18));
    p.drawPath(under);
    p.setPen(RoundPen(paper, 3));
    p.drawLine(QPointF(96, 8), QPointF(44, 92));
    break;
  }
  case Icon::Star:
    p.drawPath(StarPath(QPointF(50, 53), 48, 21, 5));
    break;
  case Icon::Joystick: {
    p.drawRoundedRect(QRectF(8, 30, 84, 48), 24, 24);
    p.setBrush(paper);
    p.drawRect(QRectF(22, 49, 22, 8));
    p.drawRect(QRectF(29, 42, 8, 22));
    p.drawEllipse(QRectF(60, 40, 11, 11));
    p.drawEllipse(QRectF(70, 54, 11, 11));
    break;
  }
  case Icon::Heart:
    p.drawPath(HeartPath(QPointF(50, 50), 100));
    break;
  case Icon::HeartPlus: {
    p.drawPath(HeartPath(QPointF(44, 48), 86));
    p.setBrush(paper);
    p.drawEllipse(QRectF(58, 58, 40, 40));
    p.setPen(RoundPen(ink, 7));
    p.drawLine(QPointF(78, 67), QPointF(78, 89));
    p.drawLine(QPointF(67, 78), QPointF(89, 78));
    break;
  }
  case Icon::Bubble: {
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(6, 10, 88, 62), 18, 18);
    QPainterPath tail;
    tail.moveTo(24, 66);
    tail.lineTo(20, 94);
    tail.lineTo(48, 70);
    tail.closeSubpath();
    p.drawPath(bubble.united(tail));
    p.setBrush(paper);
    p.drawEllipse(QRectF(24, 35, 12, 12));
    p.drawEllipse(QRectF(44, 35, 12, 12));
    p.drawEllipse(QRectF(64, 35, 12, 12));
    break;
  }
  case Icon::Pencil: {
    p.save();
    p.translate(50, 50);
    p.rotate(45);
    p.drawRoundedRect(QRectF(-13, -46, 26, 62), 4, 4);
    QPainterPath tip;
    tip.moveTo(-13, 20);
    tip.lineTo(13, 20);
    tip.lineTo(0, 46);
    tip.closeSubpath();
    p.setBrush(Tint(ink, 55));
    p.drawPath(tip);
    p.setBrush(ink);
    p.drawEllipse(QRectF(-4, 38, 8, 8));
    p.setBrush(paper);
    p.drawRect(QRectF(-13, -32, 26, 5));
    p.restore();
    break;
  }
  case Icon::Download: {
    p.drawRoundedRect(QRectF(38, 6, 24, 44), 5, 5);
    QPainterPath head;
    head.moveTo(16, 44);
    head.lineTo(84, 44);
    head.lineTo(50, 76);
    head.closeSubpath();
    p.setPen(RoundPen(ink, 6));
    p.drawPath(head);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(QRectF(8, 84, 84, 12), 6, 6);
    break;
  }
  case Icon::Expand:
  case Icon::Shrink: {
    p.setPen(RoundPen(ink, 10));
    p.setBrush(Qt::NoBrush);
    const bool out = icon == Icon::Expand;
    // Four corner brackets, pointing outwards (expand) or inwards (shrink).
    for (int i = 0; i < 4; ++i) {
      p.save();
      p.translate(50, 50);
      p.rotate(90 * i);
      if (out) {
        p.drawLine(QPointF(-42, -42), QPointF(-42, -16));
        p.drawLine(QPointF(-42, -42), QPointF(-16, -42));
        p.drawLine(QPointF(-40, -40), QPointF(-20, -20));
      } else {
        p.drawLine(QPointF(-14, -14), QPointF(-14, -38));
        p.drawLine(QPointF(-14, -14), QPointF(-38, -14));
        p.drawLine(QPointF(-18, -18), QPointF(-42, -42));
      }
      p.restore();
    }
    break;
  }
  case Icon::ArrowLeft:
  case Icon::ArrowRight:
  case Icon::ArrowUp:
  case Icon::ArrowDown: {
    p.save();
    p.translate(50, 50);
    const int turn = icon == Icon::ArrowRight  ? 0
                     : icon == Icon::ArrowDown ? 90
                     : icon == Icon::ArrowLeft ? 180
                                               : 270;
    p.rotate(turn);
    QPainterPath a;
    a.moveTo(44, 0);
    a.lineTo(4, -38);
    a.lineTo(4, -16);
    a.lineTo(-42, -16);
    a.lineTo(-42, 16);
    a.lineTo(4, 16);
    a.lineTo(4, 38);
    a.closeSubpath();
    p.setPen(RoundPen(ink, 6));
    p.drawPath(a);
    p.restore();
    break;
  }
  case Icon::Cross:
    p.setPen(RoundPen(ink, 16));
    p.drawLine(QPointF(22, 22), QPointF(78, 78));
    p.drawLine(QPointF(78, 22), QPointF(22, 78));
    break;
  case Icon::Floppy: {
    QPainterPath body;
    body.moveTo(10, 10);
    body.lineTo(76, 10);
    body.lineTo(90, 24);
    body.lineTo(90, 90);
    body.lineTo(10, 90);
    body.closeSubpath();
    p.setPen(RoundPen(ink, 6));
    p.drawPath(body);
    p.setPen(Qt::NoPen);
    p.setBrush(paper);
    p.drawRect(QRectF(26, 14, 40, 24));
    p.drawRoundedRect(QRectF(24, 54, 52, 32), 4, 4);
    p.setBrush(ink);
    p.drawRect(QRectF(52, 18, 9, 16));
    break;
  }
  case Icon::Folder: {
    QPainterPath f;
    f.moveTo(6, 22);
    f.lineTo(38, 22);
    f.lineTo(46, 32);
    f.lineTo(94, 32);
    f.lineTo(94, 86);
    f.lineTo(6, 86);
    f.closeSubpath();
    p.setPen(RoundPen(ink, 6));
    p.drawPath(f);
    p.setPen(Qt::NoPen);
    p.setBrush(Tint(ink, 35));
    p.drawRoundedRect(QRectF(6, 44, 88, 42), 4, 4);
    break;
  }
  case Icon::Tidy: {
    for (int i = 0; i < 3; ++i) {
      p.setBrush(ink);
      p.drawEllipse(QRectF(6, 14 + i * 28, 16, 16));
      p.drawRoundedRect(QRectF(30, 16 + i * 28, 64 - i * 14, 12), 6, 6);
    }
    break;
  }
  case Icon::Gear: {
    for (int i = 0; i < 8; ++i) {
      p.save();
      p.translate(50, 50);
      p.rotate(i * 45);
      p.drawRoundedRect(QRectF(-10, -48, 20, 24), 4, 4);
      p.restore();
    }
    p.drawEllipse(QRectF(16, 16, 68, 68));
    p.setBrush(paper);
    p.drawEllipse(QRectF(36, 36, 28, 28));
    break;
  }
  case Icon::Info: {
    p.drawEllipse(QRectF(4, 4, 92, 92));
    p.setBrush(paper);
    p.drawEllipse(QRectF(42, 18, 16, 16));
    p.drawRoundedRect(QRectF(42, 40, 16, 42), 6, 6);
    break;
  }
  case Icon::Globe: {
    p.drawEllipse(QRectF(4, 4, 92, 92));
    p.setPen(RoundPen(paper, 5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QRectF(30, 6, 40, 88));
    p.drawLine(QPointF(50, 6), QPointF(50, 94));
    p.drawLine(QPointF(6, 50), QPointF(94, 50));
    p.drawArc(QRectF(10, -20, 80, 50), 200 * 16, 140 * 16);
    p.drawArc(QRectF(10, 70, 80, 50), 20 * 16, 140 * 16);
    break;
  }
  case Icon::Friends: {
    p.setBrush(Tint(ink, 35));
    p.drawEllipse(QRectF(54, 14, 30, 30));
    p.drawRoundedRect(QRectF(46, 48, 48, 40), 18, 18);
    p.setBrush(ink);
    p.drawEllipse(QRectF(16, 20, 32, 32));
    p.drawRoundedRect(QRectF(6, 56, 52, 38), 18, 18);
    break;
  }
  case Icon::Minus:
    p.setPen(RoundPen(ink, 14));
    p.drawLine(QPointF(22, 70), QPointF(78, 70));
    break;
  case Icon::Square:
    p.setPen(RoundPen(ink, 10));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(20, 20, 60, 60), 6, 6);
    p.setPen(RoundPen(ink, 14));
    p.drawLine(QPointF(20, 26), QPointF(80, 26));
    break;
  case Icon::TwoSquares:
    p.setPen(RoundPen(ink, 9));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(34, 14, 52, 46), 5, 5);
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(QRectF(14, 38, 52, 46), 5, 5);
    break;
  case Icon::Check:
    p.setPen(RoundPen(ink, 14));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({QPointF(16, 52), QPointF(40, 76), QPointF(84, 26)}));
    break;
  }
  p.restore();
}

}  // namespace skin
