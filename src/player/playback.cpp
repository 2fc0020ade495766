#include "player/playback.h"

#include "app/globals.h"
#include "lists/playlist.h"
#include "player/contentfetch.h"
#include "player/flashview.h"
#include "player/playerhost.h"
#include "ui/frame.h"
#include "ui/framefilter.h"
#include "ui/lxsimage.h"
#include "ui/mainwindow.h"

#include <QLayout>
#include <QStackedWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QWebEngineView>

TPlayback::TPlayback(TfrmMain *form) : QObject(form), m_form(form)
{
    TPlayerWindow window;
    window.window = form;
    window.pnlExitFullScreen = form->pnlExitFullScreen;
    window.showPlayPage = [form] { form->PageControl1->setCurrentIndex(1); };
    window.maximizedGeometry = [form] { return form->frame->MaximizedGeometry(); };
    host = new TPlayerHost(window, form->tbsPlay);
    form->tbsPlay->layout()->addWidget(host);

    list = new TPlayList(form->tbsPlayList, this);
    fetch = new TContentFetch(form->engine(), form->TimerDownload, this);

    host->setContentFetch(fetch);
    host->setPlayList(list);
    fetch->setPlayerHost(host);
    fetch->setPlayList(list);
    list->playItem = [this](const TKsvPlayPtr &item, bool addToList) { host->PlayItem(item, addToList); };
    list->showListPage = [form](int page) { form->PageControl2->setCurrentIndex(page); };
    list->releaseActiveListTab = [form] {
        if (form->tabGroup)
            form->tabGroup->release(ActiveListTab);
    };
    if (SkinButton *tab = form->tabSkins[1]) {
        connect(tab, &SkinButton::pressed, list, [this](Qt::MouseButton button) {
            if (button == Qt::LeftButton)
                list->imgSelfSelMouseDown();
        });
    }
    if (form->filter) {
        form->filter->addNoContextMenu(host->ShockwaveFlash1);
        form->filter->addNoContextMenu(host->wbMp3);
    }
}

void TPlayback::InitAudio()
{
    AudioPlayerSerial = 1;
    host->CreateMediaPlayer();
}

void TPlayback::LoadPlayList()
{
    fetch->setEngine(m_form->engine());
    list->LoadListFile(LastPlayedFile, list->tvPlayList, 100);
    fetch->PruneCache(list->tvPlayList);
    // The Flash runtime is made ready in the background once the window and
    // its start page had their turn, so that the first game starts at once.
    QTimer::singleShot(PreloadDelayMs, host->ShockwaveFlash1, &TFlashView::preload);
}

void TPlayback::Shutdown()
{
    fetch->TimerDownload->stop();
    host->LeaveFullScreen();
    host->ReleaseMediaPlayer();
}
