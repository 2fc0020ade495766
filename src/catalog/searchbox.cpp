#include "catalog/searchbox.h"

#include "base/globals.h"
#include "catalog/core/localsearch.h"
#include "player/pagebrowser.h"
#include "service/core/soapuserservice.h"
#include "widgets/dialogs.h"
#include "widgets/lxsimage.h"
#include "widgets/mainwindowport.h"

#include <QBoxLayout>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QThread>
#include <QWebEngineView>

namespace {

const QString kAskForWords = QStringLiteral("请输入查询内容。");
const QString kCannotSearch = QStringLiteral("未能正常查询,请稍后再试。");

QString NothingFound(const QString &keyword)
{
  return QStringLiteral("很抱歉,没有找到与 “") + keyword + QStringLiteral("” 相关的内容。");
}

bool IsAscii(const QString &text)
{
  for (QChar c : text)
    if (c.unicode() > 0x7f)
      return false;
  return true;
}

}  // namespace

TSearchBox::TSearchBox(QWidget *slot, IMainWindow *window, QWebEngineView *wbMain,
                       IUserService *service)
    : QObject(slot), m_window(window), m_wbMain(wbMain),
      m_service(service ? service : &SharedUserService())
{
  edtkey = new QLineEdit(slot);
  edtkey->setObjectName(QStringLiteral("edtkey"));
  edtkey->setFrame(false);
  edtkey->setFixedSize(156, 19);
  QFont f(QStringLiteral("宋体"));
  f.setPixelSize(12);
  edtkey->setFont(f);
  edtkey->setStyleSheet(QStringLiteral("QLineEdit { color: gray; border: none; }"));
  edtkey->installEventFilter(this);
  connect(edtkey, &QLineEdit::textChanged, this, &TSearchBox::edtkeyChange);

  imgSearch = new tLxsimage(slot);
  imgSearch->setObjectName(QStringLiteral("imgSearch"));
  imgSearch->setFixedSize(20, 19);
  imgSearch->setCursor(Qt::PointingHandCursor);
  imgSearch->setToolTip(QStringLiteral("搜索"));
  LoadSkinImage(imgSearch, QStringLiteral("SearchGlass"));
  connect(imgSearch, &tLxsimage::clicked, this, &TSearchBox::imgSearchClick);

  if (auto *row = qobject_cast<QBoxLayout *>(slot->layout())) {
    row->addWidget(edtkey, 0, Qt::AlignVCenter);
    row->addWidget(imgSearch, 0, Qt::AlignVCenter);
  }
}

TSearchBox::~TSearchBox()
{
  if (m_worker) {
    m_worker->wait();
    delete m_worker;
  }
}

void TSearchBox::Init() { edtkey->setText(SearchPrompt); }

bool TSearchBox::eventFilter(QObject *watched, QEvent *e)
{
  if (watched == edtkey) {
    switch (e->type()) {
    case QEvent::FocusIn:
      edtkeyEnter();
      break;
    case QEvent::FocusOut:
      edtkeyExit();
      break;
    case QEvent::KeyPress: {
      const int key = static_cast<QKeyEvent *>(e)->key();
      if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        imgSearchClick();
        return true;
      }
      break;
    }
    default:
      break;
    }
  }
  return QObject::eventFilter(watched, e);
}

void TSearchBox::edtkeyEnter()
{
  if (edtkey->text() == SearchPrompt)
    edtkey->clear();
}

void TSearchBox::edtkeyExit()
{
  if (TrimKeyword(edtkey->text()).isEmpty())
    edtkey->setText(SearchPrompt);
}

void TSearchBox::edtkeyChange()
{
  const QString text = edtkey->text();
  if (IsAscii(text))
    edtkey->setCursorPosition(int(text.size()));
}

void TSearchBox::ShowResultPage(const QString &address)
{
  m_window->ShowCentrePage(0);
  if (m_wbMain)
    OpenPage(m_wbMain, address);
}

void TSearchBox::imgSearchClick()
{
  if (m_worker)
    return;
  QWidget *owner = m_window ? m_window->mainWidget() : nullptr;
  const QString keyword = TrimKeyword(edtkey->text());
  if (keyword.isEmpty() || keyword == SearchPrompt) {
    ShowInfoBox(kAskForWords, owner);
    Q_EMIT searchDone();
    return;
  }
  const QString result = LocalSearch(keyword);
  if (result == u"0") {
    ShowInfoBox(NothingFound(keyword), owner);
    Q_EMIT searchDone();
    return;
  }
  if (!result.isEmpty()) {
    ShowResultPage(result);
    Q_EMIT searchDone();
    return;
  }
  // The local search could not run: ask the portal, off this thread.
  IUserService *service = m_service;
  m_worker = QThread::create([this, service, keyword] {
    bool ok = false;
    QString answer;
    try {
      answer = RemoteSearchPage(*service, keyword);
      ok = true;
    } catch (...) {
    }
    QMetaObject::invokeMethod(
        this, [this, keyword, ok, answer] { RemoteAnswered(keyword, ok, answer); },
        Qt::QueuedConnection);
  });
  m_worker->start();
}

void TSearchBox::RemoteAnswered(const QString &keyword, bool ok, const QString &answer)
{
  if (m_worker) {
    m_worker->wait();
    delete m_worker;
    m_worker = nullptr;
  }
  QWidget *owner = m_window ? m_window->mainWidget() : nullptr;
  if (!ok) {
    ShowInfoBox(kCannotSearch, owner);
  } else if (answer.isEmpty()) {
    ShowInfoBox(NothingFound(keyword), owner);
  } else {
    QString path = answer;
    path.replace(u'\\', u'/');
    ShowResultPage(ResourceBaseUrl + path);
  }
  Q_EMIT searchDone();
}
