// The automation interface listens only when asked, and only in a folder
// nobody else can enter; the variable never reaches a child process.
#include "shell/automation.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace {

constexpr char kVariable[] = "KESTROVA_AUTOMATION";

}  // namespace

TEST(AutomationGuard, ListensOnlyInAPrivateFolderWhenTheEnvironmentAsks)
{
  QTemporaryDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
  struct Case {
    const char *what;
    bool set;
    QFileDevice::Permissions folderMode;
    bool listens;
  };
  const Case cases[] = {
      {"no variable", false, owner, false},
      {"a folder others may enter", true, owner | QFileDevice::ReadOther | QFileDevice::ExeOther,
       false},
      {"a folder the group may write", true, owner | QFileDevice::WriteGroup, false},
      {"a private folder", true, owner, true},
  };
  int n = 0;
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    const QString folder = tmp.path() + QStringLiteral("/f%1").arg(n++);
    ASSERT_TRUE(QDir().mkpath(folder));
    ASSERT_TRUE(QFile::setPermissions(folder, c.folderMode));
    const QString socket = folder + QStringLiteral("/socket");
    if (c.set)
      qputenv(kVariable, QFile::encodeName(socket));
    else
      qunsetenv(kVariable);
    QObject parent;
    const TAutomation *automation = TAutomation::StartFromEnvironment(&parent);
    EXPECT_EQ(automation != nullptr, c.listens);
    EXPECT_EQ(QFileInfo::exists(socket), c.listens);
    EXPECT_FALSE(qEnvironmentVariableIsSet(kVariable)) << "a child process would inherit it";
    if (c.listens) {
      QLocalSocket client;
      client.connectToServer(socket);
      EXPECT_TRUE(client.waitForConnected(5000));
      // Only this user may connect to the socket itself.
      EXPECT_EQ(QFileInfo(socket).permissions() &
                    (QFileDevice::ReadOther | QFileDevice::WriteOther),
                QFileDevice::Permissions());
    }
  }
  // A folder that does not exist is refused.
  qputenv(kVariable, QFile::encodeName(tmp.path() + QStringLiteral("/missing/socket")));
  QObject parent;
  EXPECT_EQ(TAutomation::StartFromEnvironment(&parent), nullptr);
}

int main(int argc, char **argv)
{
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
