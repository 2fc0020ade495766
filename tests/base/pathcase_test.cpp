#include "base/pathcase.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(PathCase, FindsExistingEntriesWhateverTheirCase)
{
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QString root = tmp.path() + u'/';
  ASSERT_TRUE(QDir().mkpath(root + "Resource/Xml"));
  QFile f(root + "Resource/Xml/100093.XML");
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.close();

  EXPECT_EQ(ResolveCase(root + "Resource/xml/100093.xml"), root + "Resource/Xml/100093.XML");
  EXPECT_EQ(ResolveCase(root + "resource/XML/"), root + "Resource/Xml/");
  // What does not exist keeps the spelling it was given from there on.
  EXPECT_EQ(ResolveCase(root + "resource/xml/Channel.xml"), root + "Resource/Xml/Channel.xml");
  EXPECT_EQ(ResolveCase(root + "Resource/Dat/pvlt_last.dat"), root + "Resource/Dat/pvlt_last.dat");
  EXPECT_EQ(ResolveCase(QString()), QString());
}

TEST(PathCase, ExactMatchWinsOverAnotherSpelling)
{
  QTemporaryDir tmp;
  const QString root = tmp.path() + u'/';
  ASSERT_TRUE(QDir().mkpath(root + "dat"));
  ASSERT_TRUE(QDir().mkpath(root + "Dat"));
  EXPECT_EQ(ResolveCase(root + "Dat/x"), root + "Dat/x");
  EXPECT_EQ(ResolveCase(root + "dat/x"), root + "dat/x");
}
