#pragma once
// Helpers of the service tests: a fresh program folder with local.ini, and a
// web service stand-in that records its calls.
#include "base/config.h"
#include "base/globals.h"
#include "base/ini.h"
#include "service/core/userservice.h"

#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }

// A program folder of its own (AppDir ends in '/'), globals reset, local.ini
// made with its defaults.
class FreshAppDir : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp_.isValid());
    ResetGlobals();
    dir_ = tmp_.path() + QLatin1Char('/');
    PreparePaths(dir_);
  }
  void TearDown() override { ResetGlobals(); }

  QString Ini(const QString &key) const
  {
    return ReadIniValue(LocalIniFile, QStringLiteral("Info"), key, QStringLiteral("<missing>"));
  }

  QTemporaryDir tmp_;
  QString dir_;
};

// Answers from functions a test sets; every call is recorded as one line.
class FakeUserService : public IUserService {
public:
  KsvUserCurPoint userLogin(const QString &userName, const QString &passwordMd5) override
  {
    calls.append(QStringLiteral("userLogin %1 %2").arg(userName, passwordMd5));
    if (failWith)
      throw UserServiceError(failWith);
    return login;
  }
  TChnlVersioninfo clientByVersion(const QString &versionText, int serviceNumber) override
  {
    calls.append(QStringLiteral("clientByVersion %1 %2").arg(versionText).arg(serviceNumber));
    if (failWith)
      throw UserServiceError(failWith);
    return version;
  }
  int saveUserAdvice(int userId, const QString &versionText, const QString &contact,
                     const QString &text) override
  {
    calls.append(
        QStringLiteral("saveUserAdvice %1|%2|%3|%4").arg(userId).arg(versionText, contact, text));
    if (failWith)
      throw UserServiceError(failWith);
    return adviceResult;
  }
  QString getSearchCntsClz(const QString &words) override
  {
    calls.append(QStringLiteral("getSearchCntsClz ") + words);
    return {};
  }

  QStringList calls;
  const char *failWith = nullptr;  // set: every call raises this
  KsvUserCurPoint login;
  TChnlVersioninfo version;
  int adviceResult = 1;
};
