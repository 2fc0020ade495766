#pragma once
// The HTTP side: every address the client builds, served on one loopback port.
#include "model.h"
#include "soap.h"
#include "store.h"

#include <QString>
#include <memory>

namespace kestrova::http {
class GuardedServer;
}

namespace portal {

class PortalServer {
public:
  PortalServer(const Model &model, Store &store);
  ~PortalServer();

  // Binds 127.0.0.1:port (0 = a free port); returns the port, or -1.
  int Bind(int port);
  void SetBaseAddress(const QString &base) { base_ = base; }
  void LogRequests();  // one line per request on standard error
  void Run();          // serves until Stop()
  void Stop();         // closes every connection too; repeat it if Run() may not have started yet

  // Builds the catalog files and the search database in the data folder
  // unless they were made from the same seed already.
  static bool PrepareData(const Model &model, const QString &dataDir, QString *error);

private:
  void Routes();

  const Model &model_;
  Store &store_;
  std::unique_ptr<UserService> service_;
  std::unique_ptr<kestrova::http::GuardedServer> http_;
  // The port bound; requests for another host name are refused.
  int port_ = -1;
  QString base_;
};

}  // namespace portal
