#include "catalog/channeltree.h"

#include "base/globals.h"
#include "net/netroutines.h"
#include "player/pagebrowser.h"
#include "widgets/dialogs.h"
#include "widgets/mainwindowport.h"
#include "widgets/treeskin.h"

#include <QDeadlineTimer>
#include <QEvent>
#include <QThread>
#include <QTreeWidget>
#include <QVariant>
#include <QWebEngineView>
#include <memory>

Q_DECLARE_METATYPE(TC)

namespace {

constexpr int RecordRole = Qt::UserRole + 1;

}  // namespace

TChannelTree::TChannelTree(IMainWindow *window, QWidget *page, QWebEngineView *wbMain,
                           QWidget *pnlwbMain, QObject *parent)
    : QObject(parent), m_window(window), m_page(page), m_wbMain(wbMain), m_pnlwbMain(pnlwbMain)
{
  tv1 = new QTreeWidget(page);
  tv1->setObjectName(QStringLiteral("tv1"));
  tv1->setSelectionMode(QAbstractItemView::SingleSelection);
  TreeSkinStyle style;
  style.font = TreeSkinFont();
  style.textColour = QColor(0x44, 0x44, 0x44);
  style.backgroundColour = QColor(0xFE, 0xFE, 0xFE);
  style.keepSelectionShown = true;
  style.indent = 1;
  skin = new TreeSkin(tv1, style);
  // The channel tree's Tag: 1 in the window layout; afterwards the visible
  // row count of the last scroll-bar synchronisation.
  tv1->setProperty("Tag", 1);
  pnlScroll = new TreeScrollBar(tv1, QString(), 1);

  page->installEventFilter(this);
  pnlFuncTreeResize();
  connect(tv1, &QTreeWidget::itemClicked, this, [this](QTreeWidgetItem *, int) { tv1Click(); });
}

TChannelTree::~TChannelTree()
{
  // A check still under way ends within the HTTP time-outs; its outcome is
  // dropped (the connection dies with this object).
  for (const QPointer<QThread> &worker : std::as_const(m_workers))
    if (worker && worker->isRunning())
      worker->wait(QDeadlineTimer(20000));
}

bool TChannelTree::eventFilter(QObject *watched, QEvent *event)
{
  if (watched == m_page && event->type() == QEvent::Resize)
    pnlFuncTreeResize();
  return QObject::eventFilter(watched, event);
}

void TChannelTree::pnlFuncTreeResize()
{
  tv1->setGeometry(0, 0, m_page->width() + 10, m_page->height());
  pnlScroll->Place();
}

TC TChannelTree::NodeRecord(const QTreeWidgetItem *node)
{
  if (!node)
    return {};
  return node->data(0, RecordRole).value<TC>();
}

void TChannelTree::fill(const std::vector<CatalogChannel> &channels)
{
  tv1->clear();  // each node's record goes with it
  QList<QTreeWidgetItem *> nodes;
  nodes.reserve(static_cast<qsizetype>(channels.size()));
  for (const CatalogChannel &c : channels) {
    auto *node = new QTreeWidgetItem;
    node->setText(0, c.text);
    node->setData(0, RecordRole, QVariant::fromValue(c.record));
    nodes << node;
  }
  tv1->addTopLevelItems(nodes);
}

bool TChannelTree::LoadCategoryChannels(const QString &categoryCode)
{
  const auto channels = ReadCategoryChannels(CatalogFilePath(), categoryCode);
  if (!channels)
    return false;
  fill(*channels);
  RemoveEmptyChannels();
  SyncTreeScrollBar(tv1, pnlScroll);
  return true;
}

bool TChannelTree::LoadChannelsById(const QStringList &ids)
{
  const auto channels = ReadChannelsById(CatalogFilePath(), ids);
  if (!channels)
    return false;
  fill(*channels);
  SyncTreeScrollBar(tv1, pnlScroll);
  return true;
}

void TChannelTree::RemoveEmptyChannels()
{
  for (int i = tv1->topLevelItemCount() - 1; i >= 0; --i)
    if (IsEmptyChannelText(tv1->topLevelItem(i)->text(0)))
      delete tv1->takeTopLevelItem(i);
}

QString TChannelTree::ChannelPageAddress(const QTreeWidgetItem *node) const
{
  return ::ChannelPageAddress(NodeRecord(node), m_pnlwbMain ? m_pnlwbMain->width() : 0);
}

void TChannelTree::tv1Click()
{
  const QList<QTreeWidgetItem *> selected = tv1->selectedItems();
  if (selected.isEmpty())
    return;
  QTreeWidgetItem *node = selected.first();
  const TC channel = NodeRecord(node);
  if (IsLinkChannel(channel)) {
    // A link node opens its entry of the link table; without one, nothing.
    const QString address = LinkChannelAddress(channel, linkAddresses);
    if (!address.isEmpty())
      OpenPage(m_wbMain, address);
    return;
  }
  const QString address = ChannelPageAddress(node);
  const quint64 serial = ++m_clickSerial;
  ++m_pending;
  auto answered = std::make_shared<bool>(false);
  QThread *worker = QThread::create([address, answered] { *answered = UrlAnswers(address); });
  worker->setObjectName(QStringLiteral("ChannelPageCheck"));
  connect(worker, &QThread::finished, this, [this, serial, channel, address, answered] {
    --m_pending;
    finishClick(serial, channel, address, *answered);
  });
  connect(worker, &QThread::finished, worker, &QObject::deleteLater);
  m_workers.removeAll(nullptr);
  m_workers.append(worker);
  worker->start();
}

void TChannelTree::finishClick(quint64 serial, const TC &channel, const QString &address,
                               bool answered)
{
  // A newer click decides; this one's outcome is dropped.
  if (serial != m_clickSerial)
    return;
  if (answered) {
    m_window->ShowCentrePage(0);
    OpenPage(m_wbMain, address);
    CurrentChannelType = channel.type;
    CurrentChannelId = channel.id;
    Q_EMIT channelOpened(address);
  } else {
    ShowInfoBox(QStringLiteral("页面打开失败,请稍候重试。"), m_window->mainWidget());
    Q_EMIT channelFailed(address);
  }
}

void TChannelTree::ShowRecommended()
{
  tv1->setIndentation(1);
  if (tv1->topLevelItemCount() > 0)
    tv1->scrollToItem(tv1->topLevelItem(0));
  // An unreadable catalog leaves tv1 empty.
  LoadChannelsById(RecommendedChannelIds);
}
