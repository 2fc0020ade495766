#pragma once
// Runs the real kestrova-portal on a free loopback port with a seed and a
// data folder of its own, and talks to it with libcurl.
#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <ostream>

inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray &b, std::ostream *os) { *os << '"' << b.toStdString() << '"'; }

struct FixtureItem {
  int id;
  const char *type;
  const char *channel;
  const char *name;
};

// Items of the test seed (the real channel table, these items, and media
// files whose bytes MediaBytes() gives).
const QList<FixtureItem> &FixtureItems();
QByteArray MediaBytes(int id);

struct HttpReply {
  long status = 0;  // 0: no answer
  QByteArray body;
  QByteArray headers;
  QByteArray header(const QByteArray &name) const;
};

struct HttpRequest {
  QByteArray method = "GET";
  QByteArray body;
  QList<QByteArray> headers;
  QByteArray range;        // "100-199"
  long timeoutMs = 20000;  // the whole exchange
};

HttpReply Http(const QString &url, const HttpRequest &request = {});

class Portal {
public:
  // `seed` empty: the test seed made in `root`.  Extra arguments go last.
  explicit Portal(const QString &root, const QStringList &extra = {});
  ~Portal();
  bool Start();
  // Sends the signal; true when the process then ended with exit code 0.
  bool Stop(int signal = 15);
  QString base() const { return base_; }
  QString dataDir() const { return data_; }
  QString seedDir() const { return seed_; }
  QString iniFile() const { return ini_; }
  QByteArray stderrText() const { return err_; }
  HttpReply Get(const QString &path, const HttpRequest &r = {}) const
  {
    return Http(base_ + path, r);
  }

  // Runs kestrova-portal once with these arguments and waits for its end.
  static int RunOnce(const QStringList &args, QByteArray *output = nullptr);
  static bool WriteSeed(const QString &seedDir);

private:
  QString root_, seed_, data_, ini_, base_;
  QStringList extra_;
  std::unique_ptr<QProcess> proc_;
  QByteArray err_;
};

// The service's two credential texts.
QString UserCredential();
QString PasswordCredential();
// A SOAP 1.1 request for `operation` with parameters in0, in1, …
QByteArray Envelope(const QString &operation, const QStringList &params,
                    const QString &ns = QStringLiteral("http://service.user.kestrova.net"));
HttpReply Soap(const Portal &p, const QByteArray &envelope);
// Text of the first element with this local name in an XML answer.
QString XmlValue(const QByteArray &xml, const QString &localName);

// A portal per test case of a fixture, with a fresh seed and data folder.
class PortalTest : public ::testing::Test {
protected:
  void SetUp() override;
  void TearDown() override;
  QTemporaryDir tmp_;
  std::unique_ptr<Portal> portal_;
};
