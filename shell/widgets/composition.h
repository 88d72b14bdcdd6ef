#pragma once

#include "lookup/cddbclient.h"
#include "lookup/cddblookupservice.h"
#include "lookup/mbclient.h"
#include "lookup/widgets/cddbmenu.h"
#include "lookup/widgets/discinfodialog.h"
#include "playback/mediaplayer.h"
#include "playback/mprisservice.h"
#include "playback/widgets/infolines.h"
#include "portability/libraryindex.h"
#include "shell/widgets/mainwindow.h"
#include "shell/widgets/searchview.h"

#include <QObject>

#include <memory>

namespace tf {

class Application;
class AudioTab;
class TitlesTab;

// Puts the two tabs into the main window and connects the changer operations, the lookup
// flow and the information lines to the window and to each other: every connection between
// the program's parts is made here. Created when the main window exists and before it loads;
// lives as long as the window.
class Composition : public QObject,
                    public MainWindowParts,
                    public MediaPlayerCommands,
                    public SearchActions {
    Q_OBJECT
public:
    Composition(Application& app, MainWindow* window);
    ~Composition() override;

    TitlesTab* titlesTab() const { return m_titles; }
    AudioTab* audioTab() const { return m_audio; }
    InfoLines& infoLines() { return m_info; }

    // MainWindowParts
    bool startUpConversion() override;
    void fillDiscListAllSlots() override;
    void afterModeReaction() override;
    void prepareTitlesTab() override;
    void prepareAudioTab() override;
    void audioTabSelected() override;
    StatusMessenger& statusLines() override { return m_info; }
    UserInterface::Answer askSaveTitles() override;

    // MediaPlayerCommands: the desktop's commands take the audio tab's button paths.
    void playPauseKey() override;
    void stopKey() override;
    void trackUpKey() override;
    void trackDownKey() override;
    void repeatKey() override;
    void randomKey() override;
    void raiseWindow() override;
    void quitProgram() override;

    MprisService& mediaPlayerService() { return *m_mpris; }

    // SearchActions
    QString playResult(int disc, int track) override;
    void openOnTitlesTab(int disc) override;

    const search::LibraryIndex& library() const { return m_library; }
    SearchView* searchView() const { return m_search; }

private:
    void connectParts();
    void spreadUserFileNames(const QStringList& names);
    CddbOptions cddbOptions() const;
    // The proxy the first-run window handed over becomes the component's stored proxy.
    void keepHandedOverProxy();
    void showChangedDiscFile(int slot);
    void composeMediaPlayer();
    // The link is up and the audio tab usable: the changer takes commands.
    bool changerControllable() const;

    Application& m_app;
    MainWindow* m_window;
    InfoLines m_info;
    TitlesTab* m_titles = nullptr;
    AudioTab* m_audio = nullptr;
    CddbClient m_cddb;
    MbClient m_mb;
    WindowLookupChooser m_chooser;
    std::unique_ptr<CddbLookupService> m_lookup;
    std::unique_ptr<CddbMenu> m_menu;
    std::unique_ptr<MediaPlayer> m_player;
    std::unique_ptr<MprisService> m_mpris;
    bool m_discListReady = false;
    search::LibraryIndex m_library;
    SearchView* m_search = nullptr;
};

// The program as main() builds it: every main window the application creates gets its
// composition. Tests that run the whole program call this too.
void composeProgram(Application& app);

} // namespace tf
