#pragma once
// Drawing helpers of the skin tool: the palette, the caption font, button
// bodies and the little vector icons every picture is made of.  All shapes
// are drawn with anti-aliasing onto transparent ARGB images at 1:1 pixels.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QRectF>
#include <QString>

namespace skin {

// One palette for the whole client: sky blue for the frame, bright accent
// colours for the categories, soft greys for disabled pictures.
namespace colour {
inline const QColor Sky(47, 155, 234);
inline const QColor SkyDark(28, 116, 201);
inline const QColor SkyDeep(22, 84, 150);
inline const QColor SkyLight(143, 208, 255);
inline const QColor SkyPale(221, 239, 255);
inline const QColor SkyMist(238, 247, 255);
inline const QColor Sun(255, 201, 51);
inline const QColor Orange(255, 138, 61);
inline const QColor Grass(92, 196, 90);
inline const QColor GrassDark(58, 150, 62);
inline const QColor Pink(255, 111, 163);
inline const QColor Purple(155, 107, 234);
inline const QColor Red(242, 85, 85);
inline const QColor Teal(46, 196, 182);
inline const QColor Ink(27, 79, 138);
inline const QColor Grey(157, 157, 157);
inline const QColor GreyLight(214, 219, 226);
inline const QColor White(255, 255, 255);
inline const QColor Status(213, 220, 241);
}  // namespace colour

// The Chinese caption face (WenQuanYi Zen Hei); set once by the tool.
void SetCaptionFamily(const QString &family);
QFont CaptionFont(int pixelSize, bool bold = true);

QImage NewImage(int w, int h);

// Lighter / darker variant of a colour (factor in percent as in QColor).
QColor Tint(const QColor &c, int percentLighter);
QColor Shade(const QColor &c, int percentDarker);

// A rounded rectangle filled with a vertical gradient and a 1-pixel border.
void Pill(QPainter &p, const QRectF &r, qreal radius, const QColor &top, const QColor &bottom,
          const QColor &border);

// Text centred in `r`, optionally with a soft 1-pixel shadow below it.
void Caption(QPainter &p, const QRectF &r, const QString &text, int pixelSize, const QColor &colour,
             bool bold = true, const QColor &shadow = QColor());

// Vector icons drawn into `r` (kept square, centred).  `ink` is the main
// colour; `paper` the colour of details drawn on top of it.
enum class Icon {
  House,
  Bolt,
  Castle,
  Ball,
  Sun,
  Bulb,
  Shield,
  Disc,
  Plane,
  Star,
  Joystick,
  Heart,
  HeartPlus,
  Bubble,
  Pencil,
  Download,
  Expand,
  Shrink,
  ArrowLeft,
  ArrowRight,
  ArrowUp,
  ArrowDown,
  Cross,
  Floppy,
  Folder,
  Tidy,
  Gear,
  Info,
  Globe,
  Friends,
  Minus,
  Square,
  TwoSquares,
  Check
};
void DrawIcon(QPainter &p, Icon icon, const QRectF &r, const QColor &ink,
              const QColor &paper = colour::White);

}  // namespace skin
