#include "download/downloadarea.h"

#include "download/core/downloadqueue.h"
#include "download/downloadfolder.h"
#include "download/downloadform.h"
#include "player/contentfetch.h"
#include "player/playerhost.h"
#include "widgets/mainwindowport.h"

#include <QTimer>

TDownloadArea::TDownloadArea(IMainWindow *window, IEngine *engine, TContentFetch *fetch,
                             TPlayerHost *host, QObject *parent)
    : QObject(parent), m_window(window), m_engine(engine)
{
  if (fetch) {
    fetch->belongsToDownloadWindow = [this](int id) { return belongsToDownloadWindow(id); };
    fetch->downloadWindowTaskEnd = [this](int id, int percent) { TaskEndCallback(id, percent); };
  }
  if (host) {
    host->addDownloadRow = [this](const QString &fileName, const QString &id,
                                  const QString &address) {
      AddDownloadRow(fileName, id, address);
    };
    host->openFolder = &OpenFolderInFileBrowser;
  }
}

TDownloadArea::~TDownloadArea() { Shutdown(); }

void TDownloadArea::AddDownloadRow(const QString &fileName, const QString &id,
                                   const QString &address)
{
  // Checked before a window opens for nothing.
  TDownloadQueue check;
  check.add(fileName, id, address);
  if (!m_form) {
    auto *form = new TfrmDownload(m_engine, m_window ? m_window->mainWidget() : nullptr);
    form->onTaskAbandoned = [this](int abandoned) {
      if (abandoned < 0)
        return;
      ++m_abandoned[abandoned];
      QTimer::singleShot(AbandonedReportMs, this, [this, abandoned] {
        auto it = m_abandoned.find(abandoned);
        if (it != m_abandoned.end() && --it.value() <= 0)
          m_abandoned.erase(it);
      });
    };
    m_form = form;
  }
  m_form->AddRow(fileName, id, address);
}

TfrmDownload *TDownloadArea::DownloadForm() const { return m_form.data(); }

bool TDownloadArea::belongsToDownloadWindow(int id) const
{
  if (m_form && m_form->ownsTaskEnd(id))
    return true;
  return m_abandoned.contains(id);
}

void TDownloadArea::TaskEndCallback(int id, int percent)
{
  if (m_form && m_form->ownsTaskEnd(id)) {
    m_form->TaskEndCallback(id, percent);
    return;
  }
  auto it = m_abandoned.find(id);
  if (it != m_abandoned.end() && --it.value() <= 0)
    m_abandoned.erase(it);
}

void TDownloadArea::Shutdown()
{
  if (m_form) {
    m_form->close();
    delete m_form.data();
  }
}
