#pragma once
// The category bar: nine picture buttons, the home button first.  Each
// button's number is the value of ActiveCategory while it is selected.
#include <QString>
#include <array>

struct CategoryButtonInfo {
  int number;           // ActiveCategory, 1..9
  const char *control;  // control name
  const char *base;     // picture base name (base + 1, 2, 3)
  const char *tabBase;  // channel tab picture base name of imgTuijian
  const char *code;     // catalog category code; empty for the home button
};

// In bar order (position 0..8).  Two buttons share "0703"; the last two load
// "0708" and "0707" in that order; no button loads "0701".
inline constexpr std::array<CategoryButtonInfo, 9> CategoryBar = {{
    {1, "sbtnMain", "Homepage", "Tuijian", ""},
    {2, "sbtnMjGame", "Minjie", "SmallMinjie", "0702"},
    {3, "sbtnClGame", "Celue", "SmallCelue", "0703"},
    {4, "sbtnTyGame", "Tiyu", "SmallTiyu", "0703"},
    {5, "sbtnXxGame", "Xiuxian", "SmallXiuxian", "0704"},
    {6, "sbtnYzGame", "Yizhi", "SmallYizhi", "0705"},
    {7, "sbtnZzGame", "Zhanzheng", "SmallZhanzheng", "0706"},
    {8, "sbtnZjGame", "Zhuanji", "SmallZhuanji", "0708"},
    {9, "sbtnZhezGame", "Zhezhi", "SmallZhezhi", "0707"},
}};

// The category code of button `number` (1..9); empty for the home button
// and for numbers outside the bar.
QString CategoryCode(int number);
// The channel tab picture of category `number` in state `state` (1 normal,
// 2 hover, 3 selected), e.g. "SmallZhezhi3"; empty outside the bar.
QString ChannelTabPicture(int number, int state);
