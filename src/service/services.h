#pragma once
// What the account areas share: the user web service proxies, opening an
// address with the desktop's own program, and calls that must not hold up
// the user-interface thread.
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QThread>
#include <functional>
#include <memory>
#include <mutex>

class IUserService;

// The web service proxies.  `shared` is the one proxy of the program (sign-in,
// update request); the feedback dialog makes its own with `makeAdviceProxy`
// (the same service with the utf-8 Content-Type).  Either may be unset: the
// calls then fail as without a connection.
struct UserServices {
  IUserService *shared = nullptr;
  std::function<std::unique_ptr<IUserService>()> makeAdviceProxy;
  // Held around every call of `shared`: the calls come from several worker
  // threads, the proxy serves one at a time.
  std::mutex sharedLock;
};

// Asks the desktop to open `address` with its default program (a web page in
// the browser).  False when nothing could be asked.
bool OpenInDesktop(const QString &address);


// Blocking calls (the network) run on worker threads; their results come
// back on the owner's thread.  The owner waits for calls still running when
// it is destroyed, so nothing a call uses goes away under it.
class BackgroundCalls : public QObject {
  Q_OBJECT
public:
  using QObject::QObject;
  ~BackgroundCalls() override;

  template <typename T>
  void run(std::function<T()> work, std::function<void(T)> done)
  {
    QPointer<BackgroundCalls> self(this);
    QThread *worker = QThread::create([self, work = std::move(work), done = std::move(done)] {
      T result = work();
      if (self)
        QMetaObject::invokeMethod(
            self.data(),
            [self, done, result] {
              if (self)
                done(result);
            },
            Qt::QueuedConnection);
    });
    track(worker);
  }
  // Waits until no call runs, serving the owner's events meanwhile (tests).
  bool waitIdle(int timeoutMs);
  int running() const;

private:
  void track(QThread *worker);
  QList<QPointer<QThread>> m_workers;
};
