// SetPcRun: the XDG autostart entry that starts the client with "-start".
#include <dlfcn.h>

#include <QFile>

#include "enginetest.h"

namespace {

std::string Line(const std::string &text, const std::string &key)
{
  auto at = text.find("\n" + key + "=");
  if (at == std::string::npos)
    return "<none>";
  at += key.size() + 2;
  return text.substr(at, text.find('\n', at) - at);
}

std::string LibraryFolder()
{
  char resolved[PATH_MAX];
  if (realpath(KESTROVA_ENGINE_LIB, resolved) == nullptr)
    return "";
  std::string s = resolved;
  return s.substr(0, s.rfind('/'));
}

TEST_F(EngineTest, SetPcRunWritesAndRemovesTheAutostartEntry)
{
  const std::string entry = dir_ + "config/autostart/kestrova.desktop";
  ASSERT_TRUE(SetPcRun(1));
  const std::string text = ReadAll(entry);
  EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u);
  EXPECT_EQ(Line(text, "Type"), "Application");
  EXPECT_EQ(Line(text, "Name"), "Kestrova游戏");
  EXPECT_EQ(Line(text, "Exec"), "\"" + LibraryFolder() + "/kestrova\" -start");
  EXPECT_EQ(Line(text, "TryExec"), LibraryFolder() + "/kestrova");
  ASSERT_TRUE(SetPcRun(1));  // again: the same entry, nothing else in the folder
  EXPECT_EQ(ReadAll(entry), text);
  EXPECT_EQ(Entries(dir_ + "config/autostart"), std::vector<std::string>{"kestrova.desktop"});
  ASSERT_TRUE(SetPcRun(0));
  EXPECT_FALSE(Exists(entry));
  EXPECT_TRUE(SetPcRun(0));  // nothing to remove is no failure
}

TEST_F(EngineTest, AutostartEntryQuotesAnAwkwardFolder)
{
  // A copy of the library in a folder whose name needs quoting in Exec.
  const std::string folder = dir_ + "my games $HOME \"100%\" back\\slash";
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(folder)));
  ASSERT_TRUE(QFile::copy(QString::fromUtf8(KESTROVA_ENGINE_LIB),
                          QString::fromStdString(folder + "/libkestrova.so")));
  void *copy = dlopen((folder + "/libkestrova.so").c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(copy, nullptr) << dlerror();
  auto setPcRun = reinterpret_cast<decltype(&SetPcRun)>(dlsym(copy, "SetPcRun"));
  ASSERT_NE(setPcRun, nullptr);
  ASSERT_TRUE(setPcRun(1));
  const std::string text = ReadAll(dir_ + "config/autostart/kestrova.desktop");
  // Inside the quotes '$', '"' and '\' are escaped and '%' doubled; then every
  // backslash is doubled once more as the file's own escape.
  EXPECT_EQ(Line(text, "Exec"),
            "\"" + dir_ +
                "my games \\\\$HOME \\\\\"100%%\\\\\" back\\\\\\\\slash/kestrova\" -start");
  EXPECT_EQ(Line(text, "TryExec"), dir_ + "my games $HOME \"100%\" back\\\\slash/kestrova");
  dlclose(copy);
}

TEST(EngineAutostart, WorksWithoutStartingTheEngine)
{
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  setenv("XDG_CONFIG_HOME", tmp.path().toUtf8().constData(), 1);
  ASSERT_TRUE(SetPcRun(1));
  EXPECT_TRUE(Exists(tmp.path().toStdString() + "/autostart/kestrova.desktop"));
  ASSERT_TRUE(SetPcRun(0));
  EXPECT_FALSE(Exists(tmp.path().toStdString() + "/autostart/kestrova.desktop"));
}

}  // namespace
