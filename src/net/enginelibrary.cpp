#include "net/enginelibrary.h"

#include <QFile>
#include <QMetaObject>
#include <atomic>
#include <dlfcn.h>

#include "kestrova.h"

struct EngineLibrary::Api {
  decltype(&::Initkestrova) init = nullptr;
  decltype(&::UnInitkestrova) uninit = nullptr;
  decltype(&::NewDownload) newDownload = nullptr;
  decltype(&::StopDownload) stopDownload = nullptr;
  decltype(&::GetProgInfo) progress = nullptr;
  decltype(&::SetProgramInfo) programInfo = nullptr;
  decltype(&::SetPcRun) pcRun = nullptr;
  decltype(&::ClientLoginIn) login = nullptr;
};

namespace {

// The engine's callbacks carry no context: they reach the one started
// binding through this.  Cleared only after UnInitkestrova has returned, when
// the engine makes no more calls.
std::atomic<EngineLibrary *> s_started{nullptr};

template <typename Fn>
bool Resolve(void *handle, const char *name, Fn &out, QString &error)
{
  out = reinterpret_cast<Fn>(dlsym(handle, name));
  if (out == nullptr && error.isEmpty())
    error = QStringLiteral("missing function %1").arg(QLatin1String(name));
  return out != nullptr;
}

template <typename Emit>
void Deliver(Emit emit)
{
  EngineLibrary *self = s_started.load();
  if (self == nullptr)
    return;
  // Queued even when the engine calls from the object's own thread, so a
  // handler never runs inside an engine call.
  QMetaObject::invokeMethod(
      self, [self, emit] { emit(self); }, Qt::QueuedConnection);
}

}  // namespace

EngineLibrary::EngineLibrary(const QString &libraryPath, QObject *parent) : IEngine(parent)
{
  // Never unloaded: nothing of the library may run once it is gone, and it is
  // loaded once per process anyway.
  if (libraryPath.isEmpty()) {
    error_ = QStringLiteral("no engine library path given");
    return;
  }
  void *handle =
      dlopen(QFile::encodeName(libraryPath).constData(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char *why = dlerror();
    error_ = why != nullptr ? QString::fromLocal8Bit(why)
                            : QStringLiteral("cannot load %1").arg(libraryPath);
    return;
  }
  auto api = std::make_unique<Api>();
  bool ok = Resolve(handle, "Initkestrova", api->init, error_) &
            Resolve(handle, "UnInitkestrova", api->uninit, error_) &
            Resolve(handle, "NewDownload", api->newDownload, error_) &
            Resolve(handle, "StopDownload", api->stopDownload, error_) &
            Resolve(handle, "GetProgInfo", api->progress, error_) &
            Resolve(handle, "SetProgramInfo", api->programInfo, error_) &
            Resolve(handle, "SetPcRun", api->pcRun, error_) &
            Resolve(handle, "ClientLoginIn", api->login, error_);
  dlclose(handle);  // RTLD_NODELETE keeps it mapped
  if (ok)
    api_ = std::move(api);
}

EngineLibrary::~EngineLibrary() { UnInitkestrova(); }

void EngineLibrary::OnVersion(std::int32_t action, std::int32_t catalog, std::int32_t service,
                              std::int32_t updater)
{
  Deliver([=](EngineLibrary *e) { Q_EMIT e->versionInfo(action, catalog, service, updater); });
}

void EngineLibrary::OnSignIn(std::int32_t result, std::int32_t user, std::int32_t points,
                             std::int32_t level)
{
  Deliver([=](EngineLibrary *e) { Q_EMIT e->signInResult(result, user, points, level); });
}

void EngineLibrary::OnSpare(std::int32_t, std::int32_t) {}

void EngineLibrary::OnTaskEnd(std::int32_t id, std::int32_t percent)
{
  Deliver([=](EngineLibrary *e) { Q_EMIT e->taskEnded(id, percent); });
}

bool EngineLibrary::Initkestrova(std::int32_t clientVersion)
{
  if (!api_ || started_)
    return false;
  EngineLibrary *none = nullptr;
  if (!s_started.compare_exchange_strong(none, this))
    return false;  // the engine is one per process
  started_ = api_->init(clientVersion, &OnVersion, &OnSignIn, &OnSpare, &OnTaskEnd);
  if (!started_)
    s_started.store(nullptr);
  return started_;
}

void EngineLibrary::UnInitkestrova()
{
  if (!api_ || !started_)
    return;
  api_->uninit();
  started_ = false;
  s_started.store(nullptr);
}

bool EngineLibrary::NewDownload(std::int32_t id, const QString &url, const QString &path)
{
  return api_ &&
         api_->newDownload(id, url.toUtf8().constData(), QFile::encodeName(path).constData());
}

bool EngineLibrary::StopDownload(std::int32_t id) { return api_ && api_->stopDownload(id); }

bool EngineLibrary::GetProgInfo(std::int32_t id, std::int32_t *percent, std::int32_t *spare,
                                std::int32_t *total)
{
  return api_ && api_->progress(id, percent, spare, total);
}

bool EngineLibrary::SetProgramInfo(const QString &url, std::int32_t id, std::int32_t a,
                                   std::int32_t b, char *buffer)
{
  return api_ && api_->programInfo(url.toUtf8().constData(), id, a, b, buffer);
}

bool EngineLibrary::SetPcRun(std::int32_t run) { return api_ && api_->pcRun(run); }

bool EngineLibrary::ClientLoginIn(std::int32_t clientVersion, const QString &siteUrl)
{
  return api_ && api_->login(clientVersion, siteUrl.toUtf8().constData());
}
