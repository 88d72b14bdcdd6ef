#include "shell/widgets/composition.h"

#include "editing/widgets/titlestab.h"
#include "operations/readall.h"
#include "operations/startupread.h"
#include "playback/widgets/audiotab.h"
#include "shell/widgets/application.h"
#include "shell/widgets/mainwindow.h"
#include "store/userfiles.h"

#include <QListWidget>

namespace tf {

Composition::Composition(Application& app, MainWindow* window)
    : QObject(window), m_app(app), m_window(window), m_info(app.link()), m_chooser(window) {
    AppContext& ctx = app.context();
    m_titles = new TitlesTab(ctx, *window);
    m_audio = new AudioTab(ctx, *window);
    window->setTitlesPage(m_titles);
    window->setAudioPage(m_audio);

    m_info.setTitlesLabels(m_titles->lbTextInfo(), m_titles->lbBackTextInfo());
    m_info.setAudioLabels(m_audio->infoLabel(), m_audio->playInfoLabel());
    m_info.setSelectedTab([window] { return window->tabs()->currentIndex(); });
    m_info.setEditorDisc([this] { return m_titles->currentDisc(); });
    m_info.setAudioSelection([this] { return m_audio->selectedDisc(); },
                             [this] { return m_audio->selectedTrack(); });

    m_cddb.setOptions(cddbOptions());
    m_lookup = std::make_unique<CddbLookupService>(app.link(), app.config(), ctx.ui, m_cddb,
                                                   m_chooser, this);
    app.setLookupService(m_lookup.get());
    connect(m_lookup.get(), &CddbLookupService::lookupStateChanged, this,
            [this] { m_window->setLastMatchCode(m_lookup->lastMatchCode); });

    m_titles->spreadUserFileNames = [this](const QStringList& names) {
        spreadUserFileNames(names);
    };
    connectHooks();
}

Composition::~Composition() {
    // The forwarder must not point at a service that is gone.
    m_app.setLookupService(nullptr);
}

CddbOptions Composition::cddbOptions() const {
    CddbOptions options;
    const ProxyOptions& proxy = m_app.lookupOptions().proxy;
    if (proxy.isSet()) {
        options.proxyHost = proxy.server;
        options.proxyPort = proxy.port;
        options.proxyUser = proxy.userName;
        options.proxyPassword = proxy.password;
    }
    return options;
}

void Composition::spreadUserFileNames(const QStringList& names) {
    const QStringList shown = namesWithDefaults(names);
    for (const char* list : {"lstAudioUFile", "lstUFSUfile"}) {
        for (auto* widget : m_window->findChildren<QListWidget*>(QString::fromLatin1(list))) {
            for (int i = 0; i < widget->count() && i < shown.size(); ++i)
                widget->item(i)->setText(shown.at(i));
        }
    }
}

void Composition::connectHooks() {
    MainWindow::Hooks& hooks = m_window->hooks;
    Application& app = m_app;
    hooks.startUpConversion = [this, &app] {
        const StartUpReadResult result = startUpRead(app.link(), app.config(), app.context().ui);
        m_discListReady = result.discListBuilt;
        return result.discListBuilt;
    };
    hooks.fillDiscListAllSlots = [this, &app] {
        fillDiscListToAllSlots(app.config());
        m_discListReady = true;
    };
    hooks.afterModeReaction = [this] {
        m_titles->refreshDiscList();
    };
    hooks.prepareTitlesTab = [this] {
        m_titles->enterTab();
    };
    hooks.prepareAudioTab = [this] {
        m_audio->PrepareAudioTab();
    };
    hooks.showStatusMessage = [this](int tab, int index) {
        m_info.ShowStatusMessage(tab, index);
    };
    hooks.askSaveTitles = [this] {
        return m_titles->confirmClose() ? UserInterface::Answer::Yes
                                        : UserInterface::Answer::Cancel;
    };
    hooks.readAllDiscs = [this, &app] {
        readAllDiscs(app.context(), m_discListReady);
    };
}

} // namespace tf
