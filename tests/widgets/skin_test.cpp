// The picture control, the skin images and the state rule.
#include "skintest.h"

#include <QSignalSpy>
#include <vector>

namespace {

struct SkinSet {
  const char *base;
  int width, height;  // fixed by the window layouts; 0 where they are free
  bool withUnavailable;
};

// Every skinned control of the client with its base name.
const std::vector<SkinSet> kUiSkins = {
    {"Min", 23, 16, false},
    {"Max", 23, 16, false},
    {"Nor", 23, 16, false},
    {"Close", 23, 16, false},
    {"Homepage", 76, 70, false},
    {"Minjie", 76, 70, false},
    {"Celue", 76, 70, false},
    {"Tiyu", 76, 70, false},
    {"Xiuxian", 76, 70, false},
    {"Yizhi", 76, 70, false},
    {"Zhanzheng", 76, 70, false},
    {"Zhuanji", 76, 70, false},
    {"Zhezhi", 76, 70, false},
    {"Tuijian", 67, 41, false},
    {"SmallMinjie", 67, 41, false},
    {"SmallCelue", 67, 41, false},
    {"SmallTiyu", 67, 41, false},
    {"SmallXiuxian", 67, 41, false},
    {"SmallYizhi", 67, 41, false},
    {"SmallZhanzheng", 67, 41, false},
    {"SmallZhuanji", 67, 41, false},
    {"SmallZhezhi", 67, 41, false},
    {"Selfsel", 67, 41, false},
    {"Favorite", 67, 41, false},
    {"Back", 0, 0, true},
    {"Forward", 0, 0, true},
    {"Pinglun", 0, 0, false},
    {"Fankui", 0, 0, false},
    {"Shoucang", 0, 0, false},
    {"Xiazai", 0, 0, false},
    {"Quanping", 0, 0, false},
    {"Tuichuquanping", 40, 30, false},
    {"managerlist", 0, 0, false},
    {"smallclose", 23, 17, false},
    {"ok", 80, 26, false},
    {"cancel", 80, 26, false},
    {"submit", 0, 0, false},
    {"browse", 42, 21, false},
    {"managerlistup", 55, 21, false},
    {"managerlistdown", 55, 21, false},
    {"managerlistdel", 55, 21, false},
    {"managerlistsave", 55, 21, false},
};

TEST(SkinImages, EveryControlHasItsStatePictures)
{
  for (const SkinSet &s : kUiSkins) {
    for (int digit = s.withUnavailable ? 0 : 1; digit <= 3; ++digit) {
      const QString name = QString::fromLatin1(s.base) + QString::number(digit);
      SCOPED_TRACE(name.toStdString());
      const QPixmap pm = SkinPixmap(name);
      ASSERT_FALSE(pm.isNull());
      if (s.width) {
        EXPECT_EQ(pm.width(), s.width);
        EXPECT_EQ(pm.height(), s.height);
      }
      // The states of one button share its size.
      EXPECT_EQ(pm.size(), SkinPixmap(QString::fromLatin1(s.base) + QStringLiteral("1")).size());
    }
    // The four states are four different pictures.
    const QImage normal = SkinPixmap(QString::fromLatin1(s.base) + "1").toImage();
    EXPECT_NE(normal, SkinPixmap(QString::fromLatin1(s.base) + "2").toImage()) << s.base;
    EXPECT_NE(normal, SkinPixmap(QString::fromLatin1(s.base) + "3").toImage()) << s.base;
  }
}

TEST(SkinImages, FrameAndIconPicturesHaveTheirSizes)
{
  struct Picture {
    const char *name;
    int width, height;
  };
  const Picture pictures[] = {
      {"FrameTl", 8, 88},
      {"FrameTc", 16, 88},
      {"FrameTr", 8, 88},
      {"FrameLeft", 8, 16},
      {"FrameRight", 8, 16},
      {"FrameBottomLeft", 8, 24},
      {"FrameBottom", 16, 24},
      {"FrameBottomRight", 8, 24},
      {"Fenge", 2, 16},
      {"NameBar", 16, 41},
      {"PlayBar", 16, 41},
      {"TabStrip", 200, 41},
      {"Logo", 183, 58},
      {"DlgTopLeft", 13, 36},
      {"DlgTop", 16, 36},
      {"DlgTopRight", 13, 36},
      {"DlgLeft", 14, 16},
      {"DlgRight", 14, 16},
      {"DlgBottomLeft", 13, 17},
      {"DlgBottom", 16, 17},
      {"DlgBottomRight", 13, 17},
      {"AppIcon", 64, 64},
      {"ProgramIcon", 65, 57},
      {"IconAbout", 16, 16},
      {"IconAdvice", 16, 16},
      {"IconFriends", 16, 16},
      {"IconSettings", 16, 16},
      {"IconWebsite", 16, 16},
      {"IconFolder", 16, 16},
      {"IconExit", 16, 16},
      {"IconRestore", 16, 16},
      {"TvBg", 200, 36},
      {"TvBg2", 200, 36},
      {"TreeMarker", 16, 16},
      {"ScrollTop", 13, 9},
      {"ScrollMiddle", 13, 16},
      {"ScrollBottom", 13, 9},
      {"ScrollThumbTop", 13, 3},
      {"ScrollThumbMiddle", 13, 16},
      {"ScrollThumbBottom", 13, 3},
  };
  for (const Picture &p : pictures) {
    const QPixmap pm = SkinPixmap(p.name);
    ASSERT_FALSE(pm.isNull()) << p.name;
    EXPECT_EQ(pm.size(), QSize(p.width, p.height)) << p.name;
  }
}

TEST(SkinImages, NamesAreStoredInUpperCaseAndFoundInAnyCase)
{
  const QStringList stored = SkinImageNames();
  ASSERT_TRUE(stored.contains("HOMEPAGE1"));
  for (const QString &n : stored)
    EXPECT_EQ(n, n.toUpper());

  tLxsimage img;
  ASSERT_TRUE(LoadSkinImage(&img, "OK1"));
  const QImage reference = img.pixmap().toImage();
  for (const char *spelling : {"ok1", "Ok1", "oK1", "OK1"}) {
    SCOPED_TRACE(spelling);
    EXPECT_TRUE(SkinImageExists(spelling));
    tLxsimage other;
    ASSERT_TRUE(LoadSkinImage(&other, spelling));
    EXPECT_EQ(other.pixmap().toImage(), reference);
  }
}

TEST(SkinImages, MissingNameFailsAndKeepsThePicture)
{
  tLxsimage img;
  ASSERT_TRUE(LoadSkinImage(&img, "cancel1"));
  const QImage before = img.pixmap().toImage();
  for (const char *name : {"nosuch1", "", "cancel9", "cancel", "../cancel1"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(SkinImageExists(name));
    EXPECT_FALSE(LoadSkinImage(&img, name));
    EXPECT_EQ(img.pixmap().toImage(), before);
  }
  EXPECT_FALSE(LoadSkinImage(nullptr, "ok1"));
}

TEST(PictureControl, ReportsTheMouse)
{
  tLxsimage img;
  img.resize(40, 20);
  QSignalSpy down(&img, &tLxsimage::mouseDown);
  QSignalSpy moved(&img, &tLxsimage::mouseMoved);
  QSignalSpy left(&img, &tLxsimage::OnMouseLeave);
  QSignalSpy clicked(&img, &tLxsimage::clicked);

  Move(&img);
  Click(&img);
  Press(&img, Qt::RightButton);
  Release(&img, Qt::RightButton);
  // Pressed inside, released outside: no click.
  Press(&img);
  SendMouse(&img, QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(100, 100));
  Leave(&img);

  EXPECT_EQ(moved.count(), 1);
  ASSERT_EQ(down.count(), 3);
  EXPECT_EQ(down.at(1).at(0).value<Qt::MouseButton>(), Qt::RightButton);
  EXPECT_EQ(clicked.count(), 1);
  ASSERT_EQ(left.count(), 1);
  EXPECT_EQ(left.at(0).at(0).value<tLxsimage *>(), &img);
  EXPECT_EQ(img.Tag, 0);  // the bare control keeps no state of its own
}

TEST(StateRule, EachStateChangeDecodesOnce)
{
  tLxsimage img;
  img.resize(80, 26);
  auto *button = new SkinButton(&img, "ok");
  QSignalSpy clicked(button, &SkinButton::clicked);
  EXPECT_EQ(img.Tag, 0);
  EXPECT_TRUE(Shows(&img, "ok1"));  // the design-time picture

  struct Step {
    const char *what;
    std::function<void()> act;
    int decodes;
    int tag;
    const char *shows;
  };
  const Step steps[] = {
      {"first move", [&] { Move(&img); }, 1, 2, "ok2"},
      {"more moves",
       [&] {
         for (int i = 0; i < 25; ++i)
           Move(&img);
       },
       0, 2, "ok2"},
      {"press", [&] { Press(&img); }, 1, 3, "ok3"},
      {"release: no mouse-up step", [&] { Release(&img); }, 0, 3, "ok3"},
      {"press again",
       [&] {
         Press(&img);
         Release(&img);
       },
       0, 3, "ok3"},
      {"move after the press",
       [&] {
         Move(&img);
         Move(&img);
       },
       1, 2, "ok2"},
      {"leave", [&] { Leave(&img); }, 1, 1, "ok1"},
      {"leave again", [&] { Leave(&img); }, 0, 1, "ok1"},
  };
  for (const Step &s : steps) {
    SCOPED_TRACE(s.what);
    const int before = SkinDecodeCount();
    s.act();
    EXPECT_EQ(SkinDecodeCount() - before, s.decodes);
    EXPECT_EQ(img.Tag, s.tag);
    EXPECT_TRUE(Shows(&img, s.shows));
  }
  EXPECT_EQ(clicked.count(), 2);
}

TEST(StateRule, UnavailableButtonIgnoresTheMouse)
{
  tLxsimage img;
  img.resize(64, 28);
  auto *back = new SkinButton(&img, "Back", SkinButton::HasUnavailable, 0);
  QSignalSpy pressed(back, &SkinButton::pressed);
  QSignalSpy clicked(back, &SkinButton::clicked);
  ASSERT_TRUE(Shows(&img, "Back0"));
  EXPECT_FALSE(back->isAvailable());

  const int before = SkinDecodeCount();
  Move(&img);
  Click(&img);
  Leave(&img);
  EXPECT_EQ(SkinDecodeCount(), before);
  EXPECT_EQ(img.Tag, 0);
  EXPECT_TRUE(Shows(&img, "Back0"));
  EXPECT_EQ(pressed.count(), 0);
  EXPECT_EQ(clicked.count(), 0);

  ASSERT_TRUE(back->setAvailable(true));
  EXPECT_EQ(img.Tag, 1);
  EXPECT_TRUE(Shows(&img, "Back1"));
  Move(&img);
  EXPECT_TRUE(Shows(&img, "Back2"));
  Click(&img);
  EXPECT_TRUE(Shows(&img, "Back3"));
  EXPECT_EQ(pressed.count(), 1);
  EXPECT_EQ(clicked.count(), 1);

  ASSERT_TRUE(back->setAvailable(false));
  EXPECT_EQ(img.Tag, 0);
  EXPECT_TRUE(Shows(&img, "Back0"));
  Click(&img);
  EXPECT_TRUE(Shows(&img, "Back0"));
  EXPECT_EQ(clicked.count(), 1);
}

TEST(StateRule, SelectionGroupKeepsTheSelectedLook)
{
  int key = 1;  // plays ActiveListTab
  SkinGroup group([&] { return key; });
  tLxsimage tab[3];
  const char *bases[] = {"Tuijian", "Selfsel", "Favorite"};
  SkinButton *button[3];
  for (int i = 0; i < 3; ++i) {
    tab[i].resize(67, 41);
    button[i] = new SkinButton(&tab[i], bases[i]);
    group.add(button[i], i + 1);
  }
  // What the owner does on a press: release the old member, change the key,
  // reset the others.
  auto select = [&](int number) {
    if (key != number) {
      group.release(key);
      key = number;
    }
    group.resetOthers();
  };
  for (int i = 0; i < 3; ++i)
    QObject::connect(button[i], &SkinButton::pressed, [&, i] { select(i + 1); });

  Press(&tab[0]);
  EXPECT_TRUE(Shows(&tab[0], "Tuijian3"));
  int before = SkinDecodeCount();
  Move(&tab[0]);
  Leave(&tab[0]);
  EXPECT_EQ(SkinDecodeCount(), before) << "hover over the selected tab changes nothing";
  EXPECT_EQ(tab[0].Tag, 3);

  Move(&tab[1]);
  EXPECT_TRUE(Shows(&tab[1], "Selfsel2"));
  Leave(&tab[1]);
  EXPECT_TRUE(Shows(&tab[1], "Selfsel1"));

  Press(&tab[1]);
  EXPECT_EQ(key, 2);
  EXPECT_TRUE(Shows(&tab[1], "Selfsel3"));
  EXPECT_TRUE(Shows(&tab[0], "Tuijian1"));
  EXPECT_EQ(tab[0].Tag, 1);  // released (0), then reset to 1
  EXPECT_EQ(tab[2].Tag, 1);
  EXPECT_TRUE(Shows(&tab[2], "Favorite1"));

  before = SkinDecodeCount();
  Move(&tab[1]);
  Leave(&tab[1]);
  EXPECT_EQ(SkinDecodeCount(), before);
  EXPECT_TRUE(Shows(&tab[1], "Selfsel3"));

  // A released member (Tag 0) takes the next mouse event.
  group.release(2);
  EXPECT_EQ(tab[1].Tag, 0);
  EXPECT_TRUE(Shows(&tab[1], "Selfsel1"));
  key = 3;
  Move(&tab[1]);
  EXPECT_EQ(tab[1].Tag, 2);
  EXPECT_TRUE(Shows(&tab[1], "Selfsel2"));
}

TEST(StateRule, BaseNameCanFollowTheCategory)
{
  tLxsimage img;
  auto *tabImage = new SkinButton(&img, "Tuijian");
  ASSERT_TRUE(tabImage->showState(3));
  tabImage->setBase("SmallZhezhi");
  EXPECT_TRUE(tabImage->showState(3)) << "same digit: nothing to load";
  EXPECT_TRUE(Shows(&img, "Tuijian3"));
  ASSERT_TRUE(tabImage->forceState(3, 3));
  EXPECT_TRUE(Shows(&img, "SmallZhezhi3"));
  // A base without pictures fails and keeps the old picture and Tag.
  tabImage->setBase("SmallNothing");
  EXPECT_FALSE(tabImage->showState(1));
  EXPECT_EQ(img.Tag, 3);
  EXPECT_TRUE(Shows(&img, "SmallZhezhi3"));
}

}  // namespace
