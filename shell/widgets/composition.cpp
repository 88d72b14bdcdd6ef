#include "shell/widgets/composition.h"

#include "editing/widgets/titlestab.h"
#include "lookup/cddbsettings.h"
#include "lookup/mbsettings.h"
#include "operations/readall.h"
#include "operations/startupread.h"
#include "playback/searchplay.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/discselection.h"
#include "playback/widgets/statusdisplay.h"
#include "playback/widgets/transportpanel.h"
#include "shell/widgets/application.h"
#include "shell/widgets/mainwindow.h"
#include "store/discfile.h"
#include "store/userfiles.h"
#include "store/usersettings.h"

#include <QDesktopServices>
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

    m_lookup = std::make_unique<CddbLookupService>(app.link(), app.config(), ctx.ui, m_cddb, m_mb,
                                                   m_chooser, this);
    app.setLookupService(m_lookup.get());
    m_menu = std::make_unique<CddbMenu>(*m_lookup, m_cddb, m_chooser, ctx.ui, window);
    m_menu->fillMenu(window->cddbMenu());
    m_menu->setDiscFileChanged([this](int slot) { showChangedDiscFile(slot); });
    connect(&app, &Application::mainWindowLoaded, this, &Composition::keepHandedOverProxy);
    m_cddb.setOptions(cddbOptions());
    // MusicBrainz goes through the CDDB options' proxy and names their e-mail address.
    m_mb.setOptions(MbSettings::load(), m_cddb.options());
    connect(m_menu.get(), &CddbMenu::optionsChanged, this,
            [this](const CddbOptions& options) { m_mb.setOptions(MbSettings::load(), options); });
    connect(m_lookup.get(), &CddbLookupService::openInBrowser, this,
            [](const QUrl& url) { QDesktopServices::openUrl(url); });

    m_titles->spreadUserFileNames = [this](const QStringList& names) {
        spreadUserFileNames(names);
    };
    // The title search: the index is built from the folder now and follows it from then on.
    m_library.setFolder(ctx.config.settings.dataDir);
    m_search = new SearchView(m_library.index(), *this, window->tabs());

    connectParts();
    composeMediaPlayer();
    window->setParts(this);
}

Composition::~Composition() {
    // The forwarder must not point at a service that is gone.
    m_app.setLookupService(nullptr);
    // Off the bus before the tabs its commands reach go away.
    m_mpris.reset();
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
    m_mb.setOptions(MbSettings::load(), options);
}

void Composition::showChangedDiscFile(int slot) {
    // The title editor shows the new file when it holds this disc; so does the audio tab.
    if (m_titles->discLoaded() && m_titles->currentDisc() == slot)
        m_titles->cmdReload_Click();
    m_player->titlesChanged(slot);
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

void Composition::composeMediaPlayer() {
    m_player = std::make_unique<MediaPlayer>(m_app.config(), *this, [this](int disc, int track) {
        // The tab's list holds the titles of the disc it last drew.
        return m_audio->statusDisplay()->drawn().disc == disc
                   ? m_audio->discSelection()->listedTrackTitle(track)
                   : QString();
    });
    m_mpris = std::make_unique<MprisService>(*m_player);
    // The desktop sees what the audio tab has just drawn, never more often. While the titles
    // tab is shown the audio tab draws nothing; its rendering step still runs, and the desktop
    // then follows the values the changer reported.
    auto follow = [this] {
        const bool drawing = m_audio->isEnabled() && m_audio->isPrepared();
        m_player->follow(drawing ? m_audio->statusDisplay()->drawn()
                                 : MediaPlayer::asReported(m_app.link().playValues()),
                         changerControllable());
    };
    connect(m_audio, &AudioTab::playDrawn, this, follow);
    connect(&m_app.link(), &Link::linkBusyChanged, this, follow);
    // No session bus: nothing is published, and that is no error.
    auto apply = [this] {
        if (UserSettings::mediaPlayerPublished())
            m_mpris->publish();
        else
            m_mpris->withdraw();
    };
    connect(m_window, &MainWindow::optionsUpdated, this, apply);
    apply();
}

bool Composition::changerControllable() const {
    const Link& link = m_app.link();
    return link.linkState() == kLinkUp && link.linkBusy() != kLinkOffline && link.modeCode() == 1 &&
           m_audio->isPrepared();
}

// A desktop command is a click on the audio tab's button: it does nothing where the button
// could not be clicked, and the button's own handler makes its busy checks.
void Composition::playPauseKey() {
    if (changerControllable())
        m_audio->transport()->cmdPlay_Click();
}

void Composition::stopKey() {
    if (changerControllable())
        m_audio->transport()->cmdStop_Click();
}

void Composition::repeatKey() {
    if (changerControllable())
        m_audio->transport()->cmdRepeat_Click();
}

void Composition::randomKey() {
    if (changerControllable())
        m_audio->transport()->cmdRandom_Click();
}

// Track up and down are press-and-hold keys: pressed and let go at once. The release code
// follows once the press is acknowledged and the link is free.
void Composition::trackUpKey() {
    if (!changerControllable())
        return;
    m_audio->transport()->cmdContinueKEY_MouseDown(1);
    m_audio->transport()->cmdContinueKEY_MouseUp(1);
}

void Composition::trackDownKey() {
    if (!changerControllable())
        return;
    m_audio->transport()->cmdContinueKEY_MouseDown(0);
    m_audio->transport()->cmdContinueKEY_MouseUp(0);
}

void Composition::raiseWindow() {
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
}

void Composition::quitProgram() {
    m_window->close();
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
