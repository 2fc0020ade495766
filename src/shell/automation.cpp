#include "shell/automation.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <QWindow>
#include <functional>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char kVariable[] = "KESTROVA_AUTOMATION";
// Longest wait for a web view's script or for the tray menu to show.
constexpr int kScriptTimeoutMs = 20000;
constexpr int kMenuTimeoutMs = 10000;
// Longest wait for a window to become the active one before a click.
constexpr int kActivateMs = 1000;
// An input still being delivered after this long waits in a modal box's loop.
constexpr int kNestedMs = 500;

QString WidgetText(const QWidget *w)
{
  if (const auto *b = qobject_cast<const QAbstractButton *>(w))
    return b->text();
  if (const auto *l = qobject_cast<const QLabel *>(w))
    return l->text();
  if (const auto *e = qobject_cast<const QLineEdit *>(w))
    return e->text();
  return w->windowTitle();
}

bool WindowMatches(const QWidget *top, const QString &window)
{
  return window.isEmpty() || top->objectName() == window || top->inherits(window.toLatin1()) ||
         top->windowTitle() == window;
}

// The widget a request names: the first visible match, else the first match.
QWidget *FindWidget(const QJsonObject &req, QString *error)
{
  const QString name = req.value(QStringLiteral("name")).toString();
  const QString cls = req.value(QStringLiteral("class")).toString();
  const QString text = req.value(QStringLiteral("text")).toString();
  const QString window = req.value(QStringLiteral("window")).toString();
  if (name.isEmpty() && cls.isEmpty()) {
    *error = QStringLiteral("no name or class given");
    return nullptr;
  }
  QWidget *hidden = nullptr;
  const QWidgetList tops = QApplication::topLevelWidgets();
  for (QWidget *top : tops) {
    if (!WindowMatches(top, window))
      continue;
    QList<QWidget *> all = top->findChildren<QWidget *>();
    all.prepend(top);
    for (QWidget *w : all) {
      if (!name.isEmpty() && w->objectName() != name)
        continue;
      if (!cls.isEmpty() && !w->inherits(cls.toLatin1()))
        continue;
      if (!text.isEmpty() && WidgetText(w) != text)
        continue;
      if (w->isVisible())
        return w;
      if (!hidden)
        hidden = w;
    }
  }
  if (!hidden)
    *error = QStringLiteral("no widget named '%1'").arg(name.isEmpty() ? cls : name);
  return hidden;
}

QJsonObject Rect(const QRect &r)
{
  return {{QStringLiteral("x"), r.x()},
          {QStringLiteral("y"), r.y()},
          {QStringLiteral("w"), r.width()},
          {QStringLiteral("h"), r.height()}};
}

QJsonObject Describe(QWidget *w)
{
  QJsonObject o = Rect(QRect(w->mapToGlobal(QPoint(0, 0)), w->size()));
  o.insert(QStringLiteral("ok"), true);
  o.insert(QStringLiteral("name"), w->objectName());
  o.insert(QStringLiteral("class"), QString::fromLatin1(w->metaObject()->className()));
  o.insert(QStringLiteral("visible"), w->isVisible());
  o.insert(QStringLiteral("enabled"), w->isEnabled());
  o.insert(QStringLiteral("text"), WidgetText(w));
  o.insert(QStringLiteral("window"), w->window()->objectName());
  o.insert(QStringLiteral("focus"), w->hasFocus());
  if (auto *view = qobject_cast<QWebEngineView *>(w))
    o.insert(QStringLiteral("url"), view->url().toString());
  return o;
}

QJsonObject Failure(const QString &error)
{
  return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), error}};
}

Qt::MouseButton ButtonOf(const QJsonObject &req)
{
  return req.value(QStringLiteral("button")).toString() == QLatin1String("right") ? Qt::RightButton
                                                                                  : Qt::LeftButton;
}

// A mouse click that enters the program the way the window system's does:
// through the top-level window, which hands it to whatever is at that place
// (and refuses it while a modal box blocks the window).
void ClickAt(QWindow *window, const QPoint &global, Qt::MouseButton button, bool doubleClick)
{
  if (!window)
    return;
  const QPoint local = window->mapFromGlobal(global);
  QTest::mouseMove(window, local);
  if (doubleClick)
    QTest::mouseDClick(window, button, Qt::NoModifier, local);
  else
    QTest::mouseClick(window, button, Qt::NoModifier, local);
}

QWidget *WidgetOf(QWindow *window)
{
  for (QWidget *top : QApplication::topLevelWidgets())
    if (top->windowHandle() == window)
      return top;
  return nullptr;
}

bool IsActive(QWindow *window)
{
  const QWidget *active = QApplication::activeWindow();
  return QGuiApplication::focusWindow() == window || (active && active->windowHandle() == window);
}

void WriteAnswer(QLocalSocket *socket, const QJsonObject &answer)
{
  if (!socket || socket->state() != QLocalSocket::ConnectedState)
    return;
  socket->write(QJsonDocument(answer).toJson(QJsonDocument::Compact) + '\n');
  socket->flush();
}

QJsonArray Rows(QAbstractItemView *view)
{
  QJsonArray rows;
  QAbstractItemModel *model = view->model();
  if (!model)
    return rows;
  std::function<void(const QModelIndex &, int)> walk = [&](const QModelIndex &parent, int depth) {
    for (int r = 0; r < model->rowCount(parent); ++r) {
      const QModelIndex index = model->index(r, 0, parent);
      QJsonObject row = Rect(view->visualRect(index));
      row.insert(QStringLiteral("text"), index.data().toString());
      row.insert(QStringLiteral("depth"), depth);
      row.insert(QStringLiteral("selected"),
                 view->selectionModel() && view->selectionModel()->isSelected(index));
      rows.append(row);
      auto *tree = qobject_cast<QTreeView *>(view);
      if (!tree || tree->isExpanded(index))
        walk(index, depth + 1);
    }
  };
  walk(QModelIndex(), 0);
  return rows;
}

}  // namespace

bool TAutomation::IsPrivateFolder(const QString &folder)
{
  struct stat st {};
  if (::stat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
    return false;
  return st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

TAutomation *TAutomation::StartFromEnvironment(QObject *parent)
{
  if (!qEnvironmentVariableIsSet(kVariable))
    return nullptr;
  const QString path = qEnvironmentVariable(kVariable);
  qunsetenv(kVariable);  // nothing the client starts inherits it
  const QString folder = QFileInfo(path).absolutePath();
  if (path.isEmpty() || !IsPrivateFolder(folder)) {
    fprintf(stderr, "kestrova: automation refused: %s is not a private folder of this user\n",
            qPrintable(folder));
    return nullptr;
  }
  auto *server = new QLocalServer;
  server->setSocketOptions(QLocalServer::UserAccessOption);
  QLocalServer::removeServer(path);
  if (!server->listen(path)) {
    fprintf(stderr, "kestrova: automation cannot listen at %s: %s\n", qPrintable(path),
            qPrintable(server->errorString()));
    delete server;
    return nullptr;
  }
  return new TAutomation(server, parent);
}

void TAutomation::queueInput(QWindow *window, bool activate, std::function<void()> deliver)
{
  m_inputs.push_back({window, activate, std::move(deliver)});
  // Never from within the request's own handler: input that opens a modal
  // box would hold up the socket it came from.
  if (!m_inputRunning) {
    m_inputRunning = true;
    QTimer::singleShot(0, this, [this] { startNextInput(); });
  }
}

void TAutomation::startNextInput()
{
  if (m_inputs.empty()) {
    m_inputRunning = false;
    return;
  }
  m_inputRunning = true;
  Input input = std::move(m_inputs.front());
  m_inputs.pop_front();
  if (input.activate && input.window)
    input.window->requestActivate();
  stepInput(std::move(input), 0);
}

void TAutomation::stepInput(Input input, int waitedMs)
{
  // A window of its own becomes the active one before its input, as a real
  // click makes it; a menu or the tray's icon is not activated.  Where the
  // window system does not follow (no window manager re-activates a window
  // after a box above it closed), the application makes it active.
  if (input.activate && input.window && !IsActive(input.window)) {
    if (waitedMs < kActivateMs) {
      QTimer::singleShot(20, this, [this, input, waitedMs] { stepInput(input, waitedMs + 20); });
      return;
    }
    if (QWidget *top = WidgetOf(input.window))
      QApplication::setActiveWindow(top);
  }
  // The next input starts when this one is delivered; when this one opens a
  // modal box and so does not return, the next starts inside the box's loop
  // (and may answer it).
  const quint64 token = ++m_lastToken;
  m_delivering = token;
  QTimer::singleShot(kNestedMs, this, [this, token] {
    if (m_delivering == token) {
      m_delivering = 0;
      startNextInput();
    }
  });
  if (input.window && input.deliver)
    input.deliver();
  if (m_delivering == token) {
    m_delivering = 0;
    QTimer::singleShot(0, this, [this] { startNextInput(); });
  }
}

TAutomation::TAutomation(QLocalServer *server, QObject *parent) : QObject(parent), m_server(server)
{
  m_server->setParent(this);
  connect(m_server, &QLocalServer::newConnection, this, &TAutomation::onConnection);
}

void TAutomation::onConnection()
{
  while (QLocalSocket *socket = m_server->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
  }
}

void TAutomation::onReadyRead(QLocalSocket *socket)
{
  while (socket->canReadLine())
    handle(socket, socket->readLine().trimmed());
}

void TAutomation::handle(QLocalSocket *socket, const QByteArray &line)
{
  QJsonParseError parseError{};
  const QJsonObject req = QJsonDocument::fromJson(line, &parseError).object();
  const QString op = req.value(QStringLiteral("op")).toString();
  if (parseError.error != QJsonParseError::NoError || op.isEmpty()) {
    WriteAnswer(socket, Failure(QStringLiteral("not a request: ") + QString::fromUtf8(line)));
    return;
  }

  if (op == QLatin1String("windows")) {
    QJsonArray list;
    for (QWidget *top : QApplication::topLevelWidgets()) {
      if (!top->isVisible())
        continue;
      QJsonObject o = Rect(top->frameGeometry());
      o.insert(QStringLiteral("name"), top->objectName());
      o.insert(QStringLiteral("class"), QString::fromLatin1(top->metaObject()->className()));
      o.insert(QStringLiteral("title"), top->windowTitle());
      o.insert(QStringLiteral("modal"), top->isModal());
      list.append(o);
    }
    QWidget *focus = QApplication::focusWidget();
    WriteAnswer(socket, {{QStringLiteral("ok"), true},
                         {QStringLiteral("windows"), list},
                         {QStringLiteral("focus"), focus ? focus->objectName() : QString()}});
    return;
  }

  if (op == QLatin1String("tray")) {
    const QString text = req.value(QStringLiteral("text")).toString();
    QWidget *icon = nullptr;
    QMenu *menu = nullptr;
    for (QWidget *top : QApplication::topLevelWidgets()) {
      if (top->inherits("QSystemTrayIconSys") && top->isVisible())
        icon = top;
      if (!menu && top->objectName() == QLatin1String("pm_tray"))
        menu = qobject_cast<QMenu *>(top);
      if (!menu)
        menu = top->findChild<QMenu *>(QStringLiteral("pm_tray"));
    }
    if (!icon || !menu) {
      WriteAnswer(socket, Failure(icon ? QStringLiteral("no tray menu")
                                       : QStringLiteral("no tray icon shows on this desktop")));
      return;
    }
    QAction *action = nullptr;
    for (QAction *a : menu->actions())
      if (a->text() == text)
        action = a;
    if (!action) {
      WriteAnswer(socket, Failure(QStringLiteral("the tray menu has no item '%1'").arg(text)));
      return;
    }
    // The right click on the icon opens the menu; once it shows, the item
    // is clicked (after the answer: the item may open a modal box).
    const QPoint iconCentre = icon->mapToGlobal(icon->rect().center());
    queueInput(icon->windowHandle(), false, [icon = QPointer<QWidget>(icon), iconCentre] {
      if (icon)
        ClickAt(icon->windowHandle(), iconCentre, Qt::RightButton, false);
    });
    auto waited = std::make_shared<int>(0);
    QPointer<QLocalSocket> client(socket);
    QPointer<QMenu> guardedMenu(menu);
    QPointer<QAction> guardedAction(action);
    // The pending timer holds the poll; the poll itself holds it weakly.
    auto poll = std::make_shared<std::function<void()>>();
    std::weak_ptr<std::function<void()>> weakPoll = poll;
    *poll = [=, this] {
      if (!guardedMenu || !guardedAction)
        return WriteAnswer(client, Failure(QStringLiteral("the tray menu went away")));
      QWindow *w = guardedMenu->windowHandle();
      if (!guardedMenu->isVisible() || !w || !w->isExposed()) {
        *waited += 50;
        if (*waited > kMenuTimeoutMs)
          return WriteAnswer(
              client, Failure(QStringLiteral("the tray menu did not open on a right click")));
        QTimer::singleShot(50, this, [again = weakPoll.lock()] {
          if (again)
            (*again)();
        });
        return;
      }
      const QRect r = guardedMenu->actionGeometry(guardedAction);
      QJsonObject answer = Rect(QRect(guardedMenu->mapToGlobal(r.topLeft()), r.size()));
      answer.insert(QStringLiteral("ok"), true);
      WriteAnswer(client, answer);
      const QPoint global = guardedMenu->mapToGlobal(r.center());
      queueInput(w, false, [guardedMenu, global] {
        if (guardedMenu)
          ClickAt(guardedMenu->windowHandle(), global, Qt::LeftButton, false);
      });
    };
    QTimer::singleShot(50, this, [poll] { (*poll)(); });
    return;
  }

  QString error;
  QWidget *w = FindWidget(req, &error);
  if (!w) {
    WriteAnswer(socket, Failure(error));
    return;
  }

  if (op == QLatin1String("find")) {
    WriteAnswer(socket, Describe(w));
    return;
  }

  if (op == QLatin1String("items")) {
    auto *view = qobject_cast<QAbstractItemView *>(w);
    if (!view) {
      WriteAnswer(socket, Failure(w->objectName() + QStringLiteral(" is not a list")));
      return;
    }
    QJsonObject answer = Describe(w);
    answer.insert(QStringLiteral("rows"), Rows(view));
    WriteAnswer(socket, answer);
    return;
  }

  if (op == QLatin1String("click")) {
    const QString part = req.value(QStringLiteral("part")).toString();
    QWidget *target = w;
    QPoint pos = w->rect().center();
    const bool at = req.contains(QStringLiteral("x")) && req.contains(QStringLiteral("y"));
    const QPointF given(req.value(QStringLiteral("x")).toDouble(),
                        req.value(QStringLiteral("y")).toDouble());
    if (part == QLatin1String("viewport")) {
      auto *area = qobject_cast<QAbstractScrollArea *>(w);
      if (!area) {
        WriteAnswer(socket, Failure(w->objectName() + QStringLiteral(" has no viewport")));
        return;
      }
      target = area->viewport();
      pos = at ? given.toPoint() : target->rect().center();
    } else if (part == QLatin1String("page")) {
      auto *view = qobject_cast<QWebEngineView *>(w);
      if (!view || !at) {
        WriteAnswer(socket, Failure(QStringLiteral("a page click needs a web view and x, y")));
        return;
      }
      pos = (given * view->zoomFactor()).toPoint();
    } else if (at) {
      pos = given.toPoint();
    }
    if (!target->rect().contains(pos)) {
      WriteAnswer(socket, Failure(QStringLiteral("(%1, %2) is outside %3")
                                      .arg(pos.x())
                                      .arg(pos.y())
                                      .arg(w->objectName())));
      return;
    }
    const QPoint global = target->mapToGlobal(pos);
    QJsonObject answer = Describe(w);
    QWidget *hit = QApplication::widgetAt(global);
    answer.insert(QStringLiteral("hit"), hit ? QString::fromLatin1(hit->metaObject()->className()) +
                                                   u' ' + hit->objectName()
                                             : QString());
    WriteAnswer(socket, answer);
    const Qt::MouseButton button = ButtonOf(req);
    const bool doubleClick = req.value(QStringLiteral("double")).toBool();
    QPointer<QWidget> top(target->window());
    queueInput(target->window()->windowHandle(), true, [top, global, button, doubleClick] {
      if (top)
        ClickAt(top->windowHandle(), global, button, doubleClick);
    });
    return;
  }

  if (op == QLatin1String("type") || op == QLatin1String("key")) {
    QList<QPair<Qt::Key, QString>> strokes;
    if (op == QLatin1String("type")) {
      for (const QChar c : req.value(QStringLiteral("keys")).toString())
        strokes.append({Qt::Key_unknown, QString(c)});
    } else {
      const QKeySequence seq =
          QKeySequence::fromString(req.value(QStringLiteral("key")).toString());
      if (seq.isEmpty()) {
        WriteAnswer(socket, Failure(QStringLiteral("no such key")));
        return;
      }
      strokes.append({seq[0].key(), QString()});
    }
    WriteAnswer(socket, Describe(w));
    QPointer<QWidget> target(w);
    queueInput(w->window()->windowHandle(), true, [target, strokes] {
      if (!target)
        return;
      // Keys go where the window system sends them: to the widget that has
      // the keyboard focus in the named widget's window.
      QWidget *focus = target->window()->focusWidget();
      QPointer<QWidget> receiver(focus ? focus : target.data());
      for (const auto &[key, text] : strokes) {
        if (!receiver)
          return;
        if (key == Qt::Key_unknown && text.front().unicode() > 0x7e) {
          // Chinese text comes from an input method, as its commit.
          QInputMethodEvent commit;
          commit.setCommitString(text);
          QCoreApplication::sendEvent(receiver.data(), &commit);
          continue;
        }
        QTest::sendKeyEvent(QTest::Press, receiver.data(), key, text, Qt::NoModifier);
        if (receiver)
          QTest::sendKeyEvent(QTest::Release, receiver.data(), key, text, Qt::NoModifier);
      }
    });
    return;
  }

  if (op == QLatin1String("js")) {
    auto *view = qobject_cast<QWebEngineView *>(w);
    if (!view) {
      WriteAnswer(socket, Failure(w->objectName() + QStringLiteral(" is not a web view")));
      return;
    }
    auto done = std::make_shared<bool>(false);
    QPointer<QLocalSocket> client(socket);
    QTimer::singleShot(kScriptTimeoutMs, this, [client, done] {
      if (*done)
        return;
      *done = true;
      WriteAnswer(client, Failure(QStringLiteral("the page did not answer the script")));
    });
    view->page()->runJavaScript(
        req.value(QStringLiteral("script")).toString(), [client, done](const QVariant &value) {
          if (*done)
            return;
          *done = true;
          WriteAnswer(client, {{QStringLiteral("ok"), true},
                               {QStringLiteral("result"), QJsonValue::fromVariant(value)}});
        });
    return;
  }

  if (op == QLatin1String("grab")) {
    // What the screen shows at the widget's place (a web view's pixels are
    // drawn by its own render widget).
    const QPoint origin = w->mapToGlobal(QPoint(0, 0));
    QScreen *screen = w->screen() ? w->screen() : QGuiApplication::primaryScreen();
    QPixmap pixels =
        screen ? screen->grabWindow(0, origin.x(), origin.y(), w->width(), w->height()) : QPixmap();
    if (pixels.isNull())
      pixels = w->grab();
    const QString path = req.value(QStringLiteral("path")).toString();
    if (path.isEmpty() || !pixels.save(path, "PNG")) {
      WriteAnswer(socket, Failure(QStringLiteral("cannot save the picture to ") + path));
      return;
    }
    WriteAnswer(socket, Describe(w));
    return;
  }

  WriteAnswer(socket, Failure(QStringLiteral("unknown op ") + op));
}
