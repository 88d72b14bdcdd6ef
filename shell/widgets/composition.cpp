#include "shell/widgets/composition.h"

#include "editing/widgets/titlestab.h"
#include "lookup/cddbsettings.h"
#include "operations/readall.h"
#include "operations/startupread.h"
#include "playback/searchplay.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/discselection.h"
#include "shell/widgets/application.h"
#include "shell/widgets/mainwindow.h"
#include "store/discfile.h"
#include "store/userfiles.h"

#include <QLabel>
#include <QListWidget>

namespace tf {

Composition::Composition(Application& app, MainWindow* window)
    : QObject(window), m_app(app), m_window(window), m_info(app.link()), m_chooser(window) {
    AppContext& ctx = app.context();
    m_titles = new TitlesTab(ctx, m_info);
    m_audio = new AudioTab(ctx, m_info);
    window->setTitlesPage(m_titles);
    window->setAudioPage(m_audio);

    m_info.setTitlesLabels(m_titles->lbTextInfo(), m_titles->lbBackTextInfo());
    m_info.setAudioLabels(m_audio->infoLabel(), m_audio->playInfoLabel());
    m_info.setSelectedTab([window] { return window->tabs()->currentIndex(); });
    m_info.setEditorDisc([this] { return m_titles->currentDisc(); });
    m_info.setAudioSelection([this] { return m_audio->selectedDisc(); },
                             [this] { return m_audio->selectedTrack(); });

    m_lookup = std::make_unique<CddbLookupService>(app.link(), app.config(), ctx.ui, m_cddb,
                                                   m_chooser, this);
    app.setLookupService(m_lookup.get());
    m_menu = std::make_unique<CddbMenu>(*m_lookup, m_cddb, m_chooser, ctx.ui, window);
    m_menu->fillMenu(window->cddbMenu());
    m_menu->setDiscFileChanged([this](int slot) { showChangedDiscFile(slot); });
    connect(&app, &Application::mainWindowLoaded, this, &Composition::keepHandedOverProxy);
    m_cddb.setOptions(cddbOptions());

    m_titles->spreadUserFileNames = [this](const QStringList& names) {
        spreadUserFileNames(names);
    };
    // The title search: the index is built from the folder now and follows it from then on.
    m_library.setFolder(ctx.config.settings.dataDir);
    m_search = new SearchView(m_library.index(), *this, window->tabs());

    connectParts();
    window->setParts(this);
}

Composition::~Composition() {
    // The forwarder must not point at a service that is gone.
    m_app.setLookupService(nullptr);
}

CddbOptions Composition::cddbOptions() const {
    CddbOptions options = CddbSettings::load();
    // The secret store is asked only when there is a proxy to log in to.
    if (!options.proxyHost.isEmpty() && !m_menu->passwordStore().read(&options.proxyPassword))
        options.proxyPassword.clear();
    return options;
}

void Composition::keepHandedOverProxy() {
    const ProxyOptions& proxy = m_app.lookupOptions().proxy;
    // Only set when this start took the hand-over of the first-run proxy window.
    if (!proxy.isSet())
        return;
    CddbOptions options = m_cddb.options();
    options.proxyHost = proxy.server;
    options.proxyPort = proxy.port > 0 && proxy.port <= 65535 ? proxy.port : 0;
    options.proxyUser = proxy.userName;
    options.proxyPassword = proxy.password;
    CddbSettings::save(options);
    QString error;
    if (!m_menu->passwordStore().write(proxy.password, &error))
        m_app.context().ui.messageBox(error, QString(), UserInterface::Style::OkExclamation);
    m_cddb.setOptions(options);
}

void Composition::showChangedDiscFile(int slot) {
    // The title editor shows the new file when it holds this disc; so does the audio tab.
    if (m_titles->discLoaded() && m_titles->currentDisc() == slot)
        m_titles->cmdReload_Click();
    const LastLookup& last = m_lookup->lastLookup;
    if (m_audio->isPrepared() && m_app.link().playValues().PlayDisc == slot)
        m_audio->discSelection()->Open_Track_Title(
            m_app.config().dataPath(discfile::fileName(slot)), last.firstTrack, last.lastTrack);
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

void Composition::connectParts() {
    Application& app = m_app;
    connect(m_window, &MainWindow::readAllRequested, this, [this, &app] {
        readAllDiscs(app.context(), m_discListReady);
        m_library.update();
    });
    // The disc number the audio tab shows (playing disc, or the one the user chose or typed)
    // is shown on the titles tab as well.
    connect(m_audio, &AudioTab::discNumberShown, m_titles->lbTextDNO(), &QLabel::setText);
    connect(&m_library, &search::LibraryIndex::changed, m_search, &SearchView::refresh);
    connect(m_window, &MainWindow::optionsUpdated, this,
            [this, &app] { m_library.setFolder(app.config().settings.dataDir); });
}

bool Composition::startUpConversion() {
    const StartUpReadResult result = startUpRead(m_app.link(), m_app.config(), m_app.context().ui);
    m_discListReady = result.discListBuilt;
    m_library.update();
    return result.discListBuilt;
}

void Composition::fillDiscListAllSlots() {
    fillDiscListToAllSlots(m_app.config());
    m_discListReady = true;
    m_library.update();
}

void Composition::afterModeReaction() {
    m_titles->refreshDiscList();
}

void Composition::prepareTitlesTab() {
    m_titles->enterTab();
}

void Composition::prepareAudioTab() {
    m_audio->PrepareAudioTab();
}

void Composition::audioTabSelected() {
    m_audio->audioTabSelected();
}

UserInterface::Answer Composition::askSaveTitles() {
    return m_titles->confirmClose() ? UserInterface::Answer::Yes : UserInterface::Answer::Cancel;
}

QString Composition::playResult(int disc, int track) {
    // Only what the audio tab itself could do: without its tab there is no changer to ask.
    if (!m_window->audioTabEnabled())
        return playback::refusalText(playback::SearchPlayRefusal::NoChanger);
    return m_audio->discSelection()->playChoice(disc, track);
}

void Composition::openOnTitlesTab(int disc) {
    m_window->selectTab(MainWindow::kTitlesTab);
    m_titles->openDisc(disc);
}

void composeProgram(Application& app) {
    QObject::connect(&app, &Application::mainWindowCreated, &app,
                     [&app](MainWindow* window) { new Composition(app, window); });
}

} // namespace tf
