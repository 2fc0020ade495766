// ClientLoginIn against a stand-in portal: the sign-in and version answers,
// and what the client hears when the portal is away or talks nonsense.
#include <regex>
#include <thread>

#include "enginetest.h"
#include "testserver.h"

namespace {

using namespace std::chrono_literals;

class SignInTest : public EngineTest {
protected:
  TestServer server_;
};

const char *const kSignIn = "/portal/engine/signin";
const char *const kVersion = "/portal/engine/version";

TEST_F(SignInTest, ReportsWhatThePortalAnswers)
{
  const std::string good = "action=2\ncatalog=2046\nservice=7\nupdater=1005\n";
  struct Case {
    const char *name;
    int signInStatus;
    std::string signIn;
    int versionStatus;
    std::string version;
    std::vector<int> expectSignIn;   // result, user, points, level
    std::vector<int> expectVersion;  // empty: no version report
  } cases[] = {
      {"signed in",
       200,
       "result=0\nuser=7\npoints=120\nlevel=3\n",
       200,
       good,
       {0, 7, 120, 3},
       {2, 2046, 7, 1005}},
      {"no account bound",
       200,
       "result=1\nuser=0\npoints=0\nlevel=0\n",
       200,
       good,
       {1, 0, 0, 0},
       {2, 2046, 7, 1005}},
      {"refused",
       200,
       "result=-1005\r\nuser=0\r\npoints=0\r\nlevel=0\r\n",
       200,
       good,
       {-1005, 0, 0, 0},
       {2, 2046, 7, 1005}},
      {"blanks and order",
       200,
       "\n level = 4 \npoints=9\nuser=12\nresult=0\nextra=anything\n",
       200,
       "updater=3\nservice=0\ncatalog=1\naction=1460\n",
       {0, 12, 9, 4},
       {1460, 1, 0, 3}},
      {"html page", 200, "<html><body>maintenance</body></html>", 200, good, {-1, 0, 0, 0}, {}},
      {"result not a number", 200, "result=ok\n", 200, good, {-1, 0, 0, 0}, {}},
      {"result too big", 200, "result=4294967296\n", 200, good, {-1, 0, 0, 0}, {}},
      {"no result", 200, "user=1\n", 200, good, {-1, 0, 0, 0}, {}},
      {"server error", 500, "result=0\n", 200, good, {-1, 0, 0, 0}, {}},
      {"version garbled",
       200,
       "result=0\nuser=1\npoints=2\nlevel=3\n",
       200,
       "action=1\n",
       {0, 1, 2, 3},
       {}},
      {"version refused", 200, "result=-1004\n", 404, good, {-1004, 0, 0, 0}, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    Recorder::Get().reset();
    server_.setAnswer(kSignIn, c.signInStatus, c.signIn);
    server_.setAnswer(kVersion, c.versionStatus, c.version);
    EXPECT_EQ(ClientLoginIn(16783119, server_.url("/portal").c_str()), c.expectSignIn[0] != -1);
    // Both reports are made before ClientLoginIn returns, sign-in first.
    std::vector<Event> es = Recorder::Get().events();
    ASSERT_EQ(es.size(), c.expectVersion.empty() ? 1u : 2u);
    EXPECT_EQ(es[0].kind, 'S');
    EXPECT_EQ((std::vector<int>{es[0].a, es[0].b, es[0].c, es[0].d}), c.expectSignIn);
    if (!c.expectVersion.empty()) {
      EXPECT_EQ(es[1].kind, 'V');
      EXPECT_EQ((std::vector<int>{es[1].a, es[1].b, es[1].c, es[1].d}), c.expectVersion);
    }
  }
}

TEST_F(SignInTest, SendsVersionAndAStableMachineId)
{
  server_.setAnswer(kSignIn, 200, "result=0\nuser=1\npoints=1\nlevel=1\n");
  server_.setAnswer(kVersion, 200, "action=0\ncatalog=1\nservice=1\nupdater=1\n");
  ASSERT_TRUE(
      ClientLoginIn(16783119, (server_.url("/portal") + "/").c_str()));  // trailing '/' is fine
  ASSERT_TRUE(ClientLoginIn(-5, server_.url("/portal").c_str()));
  auto signIns = server_.queries(kSignIn);
  auto versions = server_.queries(kVersion);
  ASSERT_EQ(signIns.size(), 2u);
  ASSERT_EQ(versions.size(), 2u);
  std::smatch m;
  ASSERT_TRUE(
      std::regex_match(signIns[0], m, std::regex("machine=([0-9a-f]{32})&version=16783119")));
  const std::string machine = m[1];
  EXPECT_EQ(signIns[1], "machine=" + machine + "&version=-5");
  EXPECT_EQ(versions[0], "version=16783119");
  EXPECT_EQ(ReadAll(dir_ + "data/kestrova-engine/machine-id"), machine + "\n");
}

TEST_F(SignInTest, UnreachableOrMalformedPortalFailsAtOnce)
{
  const char *sites[] = {"http://127.0.0.1:9",     nullptr, "", "not a site", "ftp://127.0.0.1/",
                         "http://127.0.0.1:9/?a=b"};
  for (const char *site : sites) {
    SCOPED_TRACE(site ? site : "(null)");
    Recorder::Get().reset();
    EXPECT_FALSE(ClientLoginIn(16783119, site));
    auto es = Recorder::Get().events();
    ASSERT_EQ(es.size(), 1u);
    EXPECT_EQ(es[0].kind, 'S');
    EXPECT_EQ(es[0].a, -1);
  }
}

TEST_F(SignInTest, ShutdownEndsAHangingSignInWithoutReport)
{
  // No answers set: the portal accepts and never answers.
  std::thread login([&] { EXPECT_FALSE(ClientLoginIn(1, server_.url("/portal").c_str())); });
  while (server_.requests(kSignIn) == 0)
    std::this_thread::sleep_for(5ms);
  UnInitkestrova();
  login.join();
  EXPECT_TRUE(Recorder::Get().events().empty());
}

}  // namespace
