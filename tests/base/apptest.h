#pragma once
// Helpers of the configuration and routine tests: a fresh program folder per
// test, and small file helpers.
#include "base/globals.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray &b, std::ostream *os) { *os << '"' << b.toStdString() << '"'; }

inline QByteArray ReadBytes(const QString &path)
{
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteBytes(const QString &path, const QByteArray &bytes)
{
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile f(path);
  return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A temporary program folder (ending in '/') and globals at their initial
// values, for every test of the fixture.
class AppDirTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    ASSERT_TRUE(tmp_.isValid());
    ResetGlobals();
    dir_ = tmp_.path() + u'/';
  }
  void TearDown() override { ResetGlobals(); }

  QString Path(const QString &relative) const { return dir_ + relative; }

  QTemporaryDir tmp_;
  QString dir_;
};
