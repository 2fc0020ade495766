// The skin tool: draws every picture of the client's skin and writes them as
// PNG files plus a Qt resource list, at build time.
//
//   skintool <output folder>
//
// writes <output folder>/<Name>.png for every picture and
// <output folder>/skin.qrc, which lists each file under the prefix "/skin"
// with its name in upper case as alias (the client looks names up in upper
// case, so lookups ignore letter case).
//
// The file is longer than our others on purpose: it is one flat list of
// every picture the skin has, in the order of the window's parts, so that a
// picture's drawing is found next to its name; the drawing primitives live
// in painting.cpp.
//
// State pictures come in sets: base name + "1" normal, "2" hover, "3"
// pressed (or selected), and for the two page buttons "0" unavailable.
#include "painting.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPainterPath>
#include <QSaveFile>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <map>

using namespace skin;
namespace c = skin::colour;

namespace {

std::map<QString, QImage> g_pictures;  // ordered by name: a stable .qrc

void Add(const QString &name, const QImage &img)
{
  if (g_pictures.count(name)) {
    std::fprintf(stderr, "skintool: picture %s drawn twice\n", qPrintable(name));
    std::exit(2);
  }
  g_pictures[name] = img;
}

using Painter = std::function<void(QPainter &, int state)>;

// Draws one picture per state digit in `states`.
void AddStates(const QString &base, QSize size, std::initializer_list<int> states,
               const Painter &paint)
{
  for (int s : states) {
    QImage img = NewImage(size.width(), size.height());
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    paint(p, s);
    p.end();
    Add(base + QString::number(s), img);
  }
}

void AddPicture(const QString &name, QSize size, const std::function<void(QPainter &)> &paint)
{
  QImage img = NewImage(size.width(), size.height());
  QPainter p(&img);
  p.setRenderHint(QPainter::Antialiasing);
  p.setRenderHint(QPainter::TextAntialiasing);
  paint(p);
  p.end();
  Add(name, img);
}

// ---------------------------------------------------------------------------
// Category bar: nine 76 x 70 buttons on the sky-blue caption area.  Each has
// its own accent colour and a round white badge with the icon; the caption
// sits below.  Hover adds a soft glow, pressed/selected turns the button
// into a white card framed in the accent colour.
struct Category {
  const char *base;
  const char *small;
  const char *caption;
  Icon icon;
  QColor accent;
};

const Category kCategories[] = {
    {"Homepage", "Tuijian", "首页", Icon::House, c::Orange},
    {"Minjie", "SmallMinjie", "敏捷", Icon::Bolt, QColor(255, 176, 0)},
    {"Celue", "SmallCelue", "策略", Icon::Castle, c::Purple},
    {"Tiyu", "SmallTiyu", "体育", Icon::Ball, c::Grass},
    {"Xiuxian", "SmallXiuxian", "休闲", Icon::Sun, QColor(255, 150, 40)},
    {"Yizhi", "SmallYizhi", "益智", Icon::Bulb, c::Teal},
    {"Zhanzheng", "SmallZhanzheng", "战争", Icon::Shield, c::Red},
    {"Zhuanji", "SmallZhuanji", "专辑", Icon::Disc, c::Pink},
    {"Zhezhi", "SmallZhezhi", "折纸", Icon::Plane, QColor(64, 160, 255)},
};

void CategoryButton(QPainter &p, int state, const Category &cat)
{
  const QRectF card(2, 1, 72, 68);
  if (state == 2) {
    p.setPen(QPen(QColor(255, 255, 255, 150), 1));
    p.setBrush(QColor(255, 255, 255, 64));
    p.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
  } else if (state == 3) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 40, 90, 50));  // soft shadow under the card
    p.drawRoundedRect(card.translated(0, 1.5), 12, 12);
    Pill(p, card, 12, c::White, Tint(cat.accent, 82), Shade(cat.accent, 8));
  }
  // The badge: white with the coloured icon, or coloured with a white icon
  // when selected.
  const QRectF badge(17, state == 3 ? 6 : 5, 42, 42);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 40, 90, state == 3 ? 0 : 45));
  p.drawEllipse(badge.translated(0, 1.5));
  const QColor face = state == 3 ? cat.accent : c::White;
  const QColor ink = state == 3 ? c::White : cat.accent;
  p.setBrush(face);
  p.setPen(QPen(state == 3 ? Shade(cat.accent, 10) : QColor(255, 255, 255), 1));
  p.drawEllipse(badge.adjusted(0.5, 0.5, -0.5, -0.5));
  DrawIcon(p, cat.icon, badge.adjusted(9, 9, -9, -9), ink, face);
  const QRectF text(0, 49, 76, 19);
  if (state == 3)
    Caption(p, text, QString::fromUtf8(cat.caption), 14, Shade(cat.accent, 30));
  else
    Caption(p, text, QString::fromUtf8(cat.caption), 14, c::White, true, QColor(10, 60, 120, 150));
}

// Left-panel tabs, 67 x 41: rounded tops, flat bottoms, a small icon and a
// two-character caption.
void Tab(QPainter &p, int state, const QString &caption, Icon icon, const QColor &accent)
{
  QPainterPath shape;
  const QRectF r(0.5, 4.5, 66, 36.5);
  const qreal rad = 9;
  shape.moveTo(r.left(), r.bottom());
  shape.lineTo(r.left(), r.top() + rad);
  shape.arcTo(QRectF(r.left(), r.top(), 2 * rad, 2 * rad), 180, -90);
  shape.lineTo(r.right() - rad, r.top());
  shape.arcTo(QRectF(r.right() - 2 * rad, r.top(), 2 * rad, 2 * rad), 90, -90);
  shape.lineTo(r.right(), r.bottom());
  QLinearGradient g(r.topLeft(), r.bottomLeft());
  if (state == 3) {
    g.setColorAt(0, c::White);
    g.setColorAt(1, c::White);
  } else if (state == 2) {
    g.setColorAt(0, c::SkyMist);
    g.setColorAt(1, Tint(c::SkyPale, 30));
  } else {
    g.setColorAt(0, c::SkyPale);
    g.setColorAt(1, QColor(196, 225, 250));
  }
  p.setBrush(g);
  p.setPen(QPen(state == 3 ? c::Sky : QColor(156, 203, 242), 1));
  p.drawPath(shape);
  if (state == 3) {
    // An accent strip along the top edge marks the selected tab.
    QPainterPath strip;
    strip.addRoundedRect(QRectF(4, 4.5, 59, 4), 2, 2);
    p.setPen(Qt::NoPen);
    p.setBrush(accent);
    p.drawPath(strip);
  }
  const QColor ink = state == 3 ? accent : state == 2 ? c::SkyDark : QColor(70, 140, 205);
  DrawIcon(p, icon, QRectF(6, 13, 18, 18), ink, state == 3 ? c::White : c::SkyPale);
  Caption(p, QRectF(24, 8, 41, 30), caption, 14, state == 3 ? Shade(accent, 28) : c::Ink,
          state == 3);
}

// A rounded push button with a caption (and optionally an icon before it).
struct ButtonLook {
  QColor base;     // body colour at rest
  QColor text;     // caption colour
  bool lightBody;  // pale body with coloured text instead of a solid body
};

void PushButton(QPainter &p, int state, QSize size, const QString &caption, const ButtonLook &look,
                int pixelSize, Icon icon = Icon::Check, bool withIcon = false)
{
  const QRectF body(0, 0, size.width(), size.height() - 1);
  const qreal radius = qMin<qreal>(body.height() / 2, 9);
  QColor top, bottom, border, text = look.text;
  if (state == 0) {
    top = QColor(240, 242, 245);
    bottom = QColor(222, 226, 232);
    border = QColor(200, 205, 212);
    text = QColor(170, 176, 184);
  } else if (look.lightBody) {
    top = state == 2 ? c::White : Tint(look.base, 88);
    bottom = state == 3 ? Tint(look.base, 55) : Tint(look.base, state == 2 ? 78 : 70);
    border = state == 1 ? Tint(look.base, 40) : look.base;
  } else {
    const QColor mid = state == 2   ? Tint(look.base, 18)
                       : state == 3 ? Shade(look.base, 14)
                                    : look.base;
    top = Tint(mid, 30);
    bottom = mid;
    border = Shade(mid, 22);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0, 30, 70, state == 3 ? 0 : 35));
  p.drawRoundedRect(body.translated(0, 1), radius, radius);
  const QRectF face = state == 3 ? body.translated(0, 1) : body;
  Pill(p, face, radius, top, bottom, border);
  QRectF textRect = face;
  if (withIcon) {
    const qreal side = qMin<qreal>(face.height() - 8, 18);
    const QFont f = CaptionFont(pixelSize);
    const qreal textWidth = QFontMetricsF(f).horizontalAdvance(caption);
    const qreal total = side + 4 + textWidth;
    const qreal x = face.left() + (face.width() - total) / 2;
    DrawIcon(p, icon, QRectF(x, face.center().y() - side / 2, side, side),
             look.lightBody || state == 0 ? text : c::White, look.lightBody ? c::White : look.base);
    textRect = QRectF(x + side + 4, face.top(), textWidth + 2, face.height());
  }
  Caption(p, textRect, caption, pixelSize, text, true,
          look.lightBody || state == 0 ? QColor() : QColor(0, 40, 80, 90));
}

// Title-bar buttons of the main window (23 x 16) and of the dialogs
// (23 x 17): a white glyph on the blue bar; hover lights a rounded plate,
// red for close.
void CaptionButton(QPainter &p, int state, QSize size, Icon glyph, bool isClose)
{
  const QRectF r(0.5, 0.5, size.width() - 1, size.height() - 1);
  if (state >= 2) {
    const QColor plate =
        isClose ? (state == 3 ? QColor(200, 50, 50) : c::Red)
                : (state == 3 ? QColor(255, 255, 255, 70) : QColor(255, 255, 255, 110));
    p.setPen(Qt::NoPen);
    p.setBrush(plate);
    p.drawRoundedRect(r, 4, 4);
  }
  const qreal side = size.height() - 3;
  DrawIcon(p, glyph,
           QRectF((size.width() - side) / 2, (size.height() - side) / 2 + (state == 3 ? 0.5 : 0),
                  side, side),
           c::White, c::Sky);
}

void DrawAll()
{
  // --- category bar and the channel tab pictures ---------------------------
  for (const Category &cat : kCategories) {
    AddStates(cat.base, QSize(76, 70), {1, 2, 3},
              [&](QPainter &p, int s) { CategoryButton(p, s, cat); });
    // The home button's tab is the recommended channels ("推荐").
    const bool home = QLatin1String(cat.small) == QLatin1String("Tuijian");
    const QString caption = QString::fromUtf8(home ? "推荐" : cat.caption);
    const Icon icon = home ? Icon::Star : cat.icon;
    const QColor accent = home ? c::Orange : cat.accent;
    AddStates(cat.small, QSize(67, 41), {1, 2, 3},
              [&](QPainter &p, int s) { Tab(p, s, caption, icon, accent); });
  }
  AddStates("Selfsel", QSize(67, 41), {1, 2, 3},
            [](QPainter &p, int s) { Tab(p, s, "自选", Icon::Joystick, c::Sky); });
  AddStates("Favorite", QSize(67, 41), {1, 2, 3},
            [](QPainter &p, int s) { Tab(p, s, "收藏", Icon::Heart, c::Pink); });

  // --- window buttons -------------------------------------------------------
  AddStates("Min", QSize(23, 16), {1, 2, 3}, [](QPainter &p, int s) {
    CaptionButton(p, s, {23, 16}, Icon::Minus, false);
  });
  AddStates("Max", QSize(23, 16), {1, 2, 3}, [](QPainter &p, int s) {
    CaptionButton(p, s, {23, 16}, Icon::Square, false);
  });
  AddStates("Nor", QSize(23, 16), {1, 2, 3}, [](QPainter &p, int s) {
    CaptionButton(p, s, {23, 16}, Icon::TwoSquares, false);
  });
  AddStates("Close", QSize(23, 16), {1, 2, 3}, [](QPainter &p, int s) {
    CaptionButton(p, s, {23, 16}, Icon::Cross, true);
  });
  AddStates("smallclose", QSize(23, 17), {1, 2, 3}, [](QPainter &p, int s) {
    CaptionButton(p, s, {23, 17}, Icon::Cross, true);
  });

  // --- page / play buttons (with the unavailable picture 0) ---------------
  const ButtonLook pageLook{c::Sky, c::SkyDark, true};
  AddStates("Back", QSize(64, 28), {0, 1, 2, 3}, [&](QPainter &p, int s) {
    PushButton(p, s, {64, 28}, "网页", pageLook, 13, Icon::ArrowLeft, true);
  });
  AddStates("Forward", QSize(64, 28), {0, 1, 2, 3}, [&](QPainter &p, int s) {
    PushButton(p, s, {64, 28}, "游戏", pageLook, 13, Icon::ArrowRight, true);
  });

  // --- player tool bar ------------------------------------------------------
  struct Tool {
    const char *base;
    const char *caption;
    Icon icon;
    QColor colour;
  };
  const Tool tools[] = {
      {"Pinglun", "评论", Icon::Bubble, c::Sky},      {"Fankui", "反馈", Icon::Pencil, c::Teal},
      {"Shoucang", "收藏", Icon::HeartPlus, c::Pink}, {"Xiazai", "下载", Icon::Download, c::Grass},
      {"Quanping", "全屏", Icon::Expand, c::Orange},
  };
  for (const Tool &t : tools) {
    const ButtonLook look{t.colour, Shade(t.colour, 35), true};
    AddStates(t.base, QSize(70, 28), {1, 2, 3}, [&](QPainter &p, int s) {
      PushButton(p, s, {70, 28}, QString::fromUtf8(t.caption), look, 13, t.icon, true);
    });
  }
  AddStates("Tuichuquanping", QSize(40, 30), {1, 2, 3}, [](QPainter &p, int s) {
    const QRectF r(1, 1, 38, 28);
    const QColor body = s == 2 ? Tint(c::Orange, 15) : s == 3 ? Shade(c::Orange, 12) : c::Orange;
    Pill(p, s == 3 ? r.translated(0, 0.5) : r, 8, Tint(body, 30), body, Shade(body, 20));
    DrawIcon(p, Icon::Shrink, QRectF(10, 5, 20, 20), c::White, body);
  });

  // --- list organiser buttons -----------------------------------------------
  const ButtonLook listLook{c::Sky, c::SkyDark, true};
  AddStates("managerlist", QSize(80, 24), {1, 2, 3}, [&](QPainter &p, int s) {
    PushButton(p, s, {80, 24}, "整理", listLook, 13, Icon::Tidy, true);
  });
  struct Small {
    const char *base;
    const char *caption;
    Icon icon;
    QColor colour;
  };
  const Small smalls[] = {
      {"managerlistdel", "删除", Icon::Cross, c::Red},
      {"managerlistup", "上移", Icon::ArrowUp, c::Sky},
      {"managerlistdown", "下移", Icon::ArrowDown, c::Sky},
      {"managerlistsave", "保存", Icon::Floppy, c::Grass},
  };
  for (const Small &b : smalls) {
    const ButtonLook look{b.colour, Shade(b.colour, 35), true};
    AddStates(b.base, QSize(55, 21), {1, 2, 3}, [&](QPainter &p, int s) {
      PushButton(p, s, {55, 21}, QString::fromUtf8(b.caption), look, 12, b.icon, true);
    });
  }

  // --- dialog buttons -------------------------------------------------------
  AddStates("ok", QSize(80, 26), {1, 2, 3}, [](QPainter &p, int s) {
    PushButton(p, s, {80, 26}, "确定", {c::Grass, c::White, false}, 14);
  });
  AddStates("cancel", QSize(80, 26), {1, 2, 3}, [](QPainter &p, int s) {
    PushButton(p, s, {80, 26}, "取消", {QColor(120, 140, 165), QColor(80, 96, 118), true}, 14);
  });
  AddStates("submit", QSize(80, 26), {1, 2, 3}, [](QPainter &p, int s) {
    PushButton(p, s, {80, 26}, "提交", {c::Orange, c::White, false}, 14);
  });
  AddStates("browse", QSize(42, 21), {1, 2, 3}, [](QPainter &p, int s) {
    PushButton(p, s, {42, 21}, "浏览", {c::Sky, c::White, false}, 12);
  });

  // --- frame pieces of the main window (stretched where noted) --------------
  auto captionGradient = [](QPainter &p, QRectF r) {
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, QColor(98, 194, 255));
    g.setColorAt(0.55, QColor(58, 163, 240));
    g.setColorAt(1, QColor(40, 138, 226));
    p.fillRect(r, g);
    p.fillRect(QRectF(r.left(), r.bottom() - 2, r.width(), 2), QColor(26, 110, 196));
  };
  AddPicture("FrameTc", {16, 88}, [&](QPainter &p) { captionGradient(p, QRectF(0, 0, 16, 88)); });
  AddPicture("FrameTl", {8, 88}, [&](QPainter &p) { captionGradient(p, QRectF(0, 0, 8, 88)); });
  AddPicture("FrameTr", {8, 88}, [&](QPainter &p) { captionGradient(p, QRectF(0, 0, 8, 88)); });
  auto border = [](QPainter &p, int w, bool left) {
    QLinearGradient g(QPointF(0, 0), QPointF(w, 0));
    g.setColorAt(left ? 0 : 1, QColor(40, 138, 226));
    g.setColorAt(left ? 1 : 0, QColor(120, 190, 240));
    p.fillRect(QRectF(0, 0, w, 16), g);
  };
  AddPicture("FrameLeft", {8, 16}, [&](QPainter &p) { border(p, 8, true); });
  AddPicture("FrameRight", {8, 16}, [&](QPainter &p) { border(p, 8, false); });
  auto status = [](QPainter &p, int w) {
    QLinearGradient g(QPointF(0, 0), QPointF(0, 24));
    g.setColorAt(0, Tint(c::Status, 40));
    g.setColorAt(1, c::Status);
    p.fillRect(QRectF(0, 0, w, 24), g);
    p.fillRect(QRectF(0, 0, w, 1), QColor(176, 190, 226));
  };
  AddPicture("FrameBottom", {16, 24}, [&](QPainter &p) { status(p, 16); });
  AddPicture("FrameBottomLeft", {8, 24}, [&](QPainter &p) { status(p, 8); });
  AddPicture("FrameBottomRight", {8, 24}, [&](QPainter &p) { status(p, 8); });
  AddPicture("Fenge", {2, 16}, [](QPainter &p) {
    p.fillRect(QRectF(0, 0, 1, 16), QColor(176, 214, 244));
    p.fillRect(QRectF(1, 0, 1, 16), c::White);
  });
  // The bar above the page view and below the player.
  auto bar = [](QPainter &p) {
    QLinearGradient g(QPointF(0, 0), QPointF(0, 41));
    g.setColorAt(0, c::White);
    g.setColorAt(1, c::SkyPale);
    p.fillRect(QRectF(0, 0, 16, 41), g);
    p.fillRect(QRectF(0, 40, 16, 1), QColor(176, 214, 244));
  };
  AddPicture("NameBar", {16, 41}, bar);
  AddPicture("PlayBar", {16, 41}, bar);
  // Behind the three left-panel tabs; its bottom line meets the tabs' border.
  AddPicture("TabStrip", {200, 41}, [](QPainter &p) {
    QLinearGradient g(QPointF(0, 0), QPointF(0, 41));
    g.setColorAt(0, c::White);
    g.setColorAt(1, c::SkyMist);
    p.fillRect(QRectF(0, 0, 200, 41), g);
    p.fillRect(QRectF(0, 40, 200, 1), QColor(156, 203, 242));
  });

  // --- list trees: row backgrounds, selection marker, picture scroll bar -----
  AddPicture("TvBg", {200, 36}, [](QPainter &p) {
    p.fillRect(QRectF(0, 0, 200, 36), QColor(254, 254, 254));
    // A dotted divider at the bottom of every row.
    for (int x = 8; x < 192; x += 4)
      p.fillRect(QRectF(x, 35, 2, 1), QColor(214, 232, 248));
  });
  AddPicture("TvBg2", {200, 36},
             [](QPainter &p) { p.fillRect(QRectF(0, 0, 200, 36), QColor(254, 254, 254)); });
  AddPicture("TreeMarker", {16, 16}, [](QPainter &p) {
    p.setPen(Qt::NoPen);
    p.setBrush(c::Orange);
    p.drawEllipse(QRectF(1, 1, 14, 14));
    DrawIcon(p, Icon::ArrowRight, QRectF(4, 4, 8, 8), c::White);
  });
  auto track = [](QPainter &p, QRectF r, bool top, bool bottom) {
    const qreal rad = 6;
    QPainterPath path;
    path.addRoundedRect(QRectF(r.left() + 2.5, r.top() + (top ? 0.5 : -rad - 1), 8,
                               r.height() + (top ? 0 : rad + 1) + (bottom ? -1 : rad + 1)),
                        4, 4);
    p.setClipRect(r);
    p.setPen(QPen(QColor(196, 222, 245), 1));
    p.setBrush(c::SkyMist);
    p.drawPath(path);
  };
  AddPicture("ScrollTop", {13, 9},
             [&](QPainter &p) { track(p, QRectF(0, 0, 13, 9), true, false); });
  AddPicture("ScrollMiddle", {13, 16},
             [&](QPainter &p) { track(p, QRectF(0, 0, 13, 16), false, false); });
  AddPicture("ScrollBottom", {13, 9},
             [&](QPainter &p) { track(p, QRectF(0, 0, 13, 9), false, true); });
  auto thumb = [](QPainter &p, QRectF r, bool top, bool bottom) {
    QPainterPath path;
    path.addRoundedRect(QRectF(r.left() + 3, r.top() + (top ? 0 : -6), 7,
                               r.height() + (top ? 0 : 6) + (bottom ? 0 : 6)),
                        3.5, 3.5);
    p.setClipRect(r);
    p.setPen(Qt::NoPen);
    p.setBrush(c::Sky);
    p.drawPath(path);
  };
  AddPicture("ScrollThumbTop", {13, 3},
             [&](QPainter &p) { thumb(p, QRectF(0, 0, 13, 3), true, false); });
  AddPicture("ScrollThumbMiddle", {13, 16},
             [&](QPainter &p) { thumb(p, QRectF(0, 0, 13, 16), false, false); });
  AddPicture("ScrollThumbBottom", {13, 3},
             [&](QPainter &p) { thumb(p, QRectF(0, 0, 13, 3), false, true); });

  // --- dialog template pieces ----------------------------------------------
  auto dlgTitle = [](QPainter &p, int w) {
    QLinearGradient g(QPointF(0, 0), QPointF(0, 36));
    g.setColorAt(0, QColor(92, 190, 252));
    g.setColorAt(1, QColor(42, 140, 226));
    p.fillRect(QRectF(0, 0, w, 36), g);
    p.fillRect(QRectF(0, 35, w, 1), QColor(30, 112, 196));
  };
  AddPicture("DlgTop", {16, 36}, [&](QPainter &p) { dlgTitle(p, 16); });
  AddPicture("DlgTopLeft", {13, 36}, [&](QPainter &p) { dlgTitle(p, 13); });
  AddPicture("DlgTopRight", {13, 36}, [&](QPainter &p) { dlgTitle(p, 13); });
  auto dlgSide = [](QPainter &p, int w, bool left) {
    p.fillRect(QRectF(0, 0, w, 16), QColor(206, 232, 251));
    p.fillRect(QRectF(left ? w - 1 : 0, 0, 1, 16), QColor(168, 208, 240));
  };
  AddPicture("DlgLeft", {14, 16}, [&](QPainter &p) { dlgSide(p, 14, true); });
  AddPicture("DlgRight", {14, 16}, [&](QPainter &p) { dlgSide(p, 14, false); });
  auto dlgBottom = [](QPainter &p, int w) {
    p.fillRect(QRectF(0, 0, w, 17), QColor(206, 232, 251));
    p.fillRect(QRectF(0, 0, w, 1), QColor(168, 208, 240));
  };
  AddPicture("DlgBottom", {16, 17}, [&](QPainter &p) { dlgBottom(p, 16); });
  AddPicture("DlgBottomLeft", {13, 17}, [&](QPainter &p) {
    dlgBottom(p, 13);
    p.fillRect(QRectF(12, 0, 1, 1), QColor(206, 232, 251));
  });
  AddPicture("DlgBottomRight", {13, 17}, [&](QPainter &p) {
    dlgBottom(p, 13);
    p.fillRect(QRectF(0, 0, 1, 1), QColor(206, 232, 251));
  });

  // --- logo, program icon, small icons ---------------------------------------
  auto mascot = [](QPainter &p, QRectF r) {
    // A round star badge: the program's mark.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 40, 90, 50));
    p.drawEllipse(r.translated(0, r.height() * 0.04));
    QRadialGradient g(r.center() - QPointF(r.width() * 0.15, r.height() * 0.2), r.width() * 0.7);
    g.setColorAt(0, QColor(255, 226, 110));
    g.setColorAt(1, c::Orange);
    p.setBrush(g);
    p.setPen(QPen(c::White, qMax<qreal>(1.5, r.width() / 22)));
    p.drawEllipse(r.adjusted(1, 1, -1, -1));
    const qreal pad = r.width() * 0.2;
    DrawIcon(p, Icon::Star, r.adjusted(pad, pad, -pad, -pad), c::White, c::Orange);
  };
  AddPicture("Logo", {183, 58}, [&](QPainter &p) {
    mascot(p, QRectF(2, 5, 48, 48));
    QFont f = CaptionFont(26, true);
    p.setFont(f);
    QPainterPath word;
    word.addText(QPointF(56, 31), f, "Kestrova");
    p.setPen(QPen(QColor(20, 90, 170), 4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(word);
    p.setPen(Qt::NoPen);
    p.setBrush(c::White);
    p.drawPath(word);
    QFont g = CaptionFont(18, true);
    QPainterPath games;
    games.addText(QPointF(58, 53), g, "游戏");
    p.setPen(QPen(QColor(20, 90, 170), 3.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(games);
    p.setPen(Qt::NoPen);
    p.setBrush(c::Sun);
    p.drawPath(games);
    // Three bouncing dots after the word.
    const QColor dots[] = {c::Pink, c::Grass, c::Sun};
    for (int i = 0; i < 3; ++i) {
      p.setBrush(dots[i]);
      p.setPen(QPen(c::White, 1.5));
      p.drawEllipse(QRectF(104 + i * 14, 40 - (i % 2) * 4, 10, 10));
    }
  });
  AddPicture("AppIcon", {64, 64}, [&](QPainter &p) { mascot(p, QRectF(2, 2, 60, 60)); });
  AddPicture("ProgramIcon", {65, 57}, [&](QPainter &p) { mascot(p, QRectF(6.5, 1, 52, 52)); });

  struct SmallIcon {
    const char *name;
    Icon icon;
    QColor colour;
  };
  const SmallIcon icons[] = {
      {"IconAbout", Icon::Info, c::Sky},       {"IconAdvice", Icon::Pencil, c::Teal},
      {"IconFriends", Icon::Friends, c::Pink}, {"IconSettings", Icon::Gear, QColor(110, 126, 150)},
      {"IconWebsite", Icon::Globe, c::Grass},  {"IconFolder", Icon::Folder, c::Sun},
      {"IconExit", Icon::Cross, c::Red},       {"IconRestore", Icon::Star, c::Orange},
  };
  for (const SmallIcon &i : icons)
    AddPicture(i.name, {16, 16},
               [&](QPainter &p) { DrawIcon(p, i.icon, QRectF(0.5, 0.5, 15, 15), i.colour); });

  // The magnifier beside the search box (20 x 19): a blue lens with a white
  // glint and a dark handle.
  AddPicture("SearchGlass", {20, 19}, [&](QPainter &p) {
    p.setPen(QPen(QColor(70, 86, 110), 3.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(12.5, 12), QPointF(17.5, 17));
    p.setPen(QPen(QColor(40, 120, 200), 2));
    p.setBrush(QColor(225, 242, 255));
    p.drawEllipse(QPointF(8, 7.5), 5.8, 5.8);
    p.setPen(QPen(Qt::white, 1.4, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(4.6, 4.1, 6.8, 6.8), 100 * 16, 70 * 16);
  });
}

bool WriteAll(const QString &dir)
{
  if (!QDir().mkpath(dir)) {
    std::fprintf(stderr, "skintool: cannot create %s\n", qPrintable(dir));
    return false;
  }
  QString qrc;
  QTextStream out(&qrc);
  out << "<!DOCTYPE RCC>\n<RCC version=\"1.0\">\n<qresource prefix=\"/skin\">\n";
  for (const auto &[name, img] : g_pictures) {
    const QString file = name + QStringLiteral(".png");
    if (!img.save(dir + QLatin1Char('/') + file, "PNG")) {
      std::fprintf(stderr, "skintool: cannot write %s\n", qPrintable(file));
      return false;
    }
    out << "  <file alias=\"" << name.toUpper() << "\">" << file << "</file>\n";
  }
  out << "</qresource>\n</RCC>\n";
  out.flush();
  QSaveFile f(dir + QStringLiteral("/skin.qrc"));
  if (!f.open(QIODevice::WriteOnly) || f.write(qrc.toUtf8()) < 0 || !f.commit()) {
    std::fprintf(stderr, "skintool: cannot write skin.qrc\n");
    return false;
  }
  return true;
}

bool ChooseCaptionFont()
{
  const QString wanted = QStringLiteral("WenQuanYi Zen Hei");
  if (!QFontDatabase::families().contains(wanted)) {
    // Not known to the font configuration: load the file Debian installs.
    QFontDatabase::addApplicationFont(
        QStringLiteral("/usr/share/fonts/truetype/wqy/wqy-zenhei.ttc"));
  }
  if (!QFontDatabase::families().contains(wanted)) {
    std::fprintf(stderr, "skintool: the font \"WenQuanYi Zen Hei\" (Debian package "
                         "fonts-wqy-zenhei) is needed to draw the captions\n");
    return false;
  }
  SetCaptionFamily(wanted);
  return true;
}

}  // namespace

int main(int argc, char **argv)
{
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: skintool <output folder>\n");
    return 2;
  }
  if (!ChooseCaptionFont())
    return 1;
  DrawAll();
  return WriteAll(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
