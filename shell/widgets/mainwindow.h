#pragma once

#include "base/statusmessenger.h"
#include "base/userinterface.h"
#include "operations/appcontext.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>

class QAction;
class QMenu;
class QScrollArea;
class QTabWidget;

namespace tf {

class LookupOptions;
class OptionsWindow;

// The main window (frmVexo): menu bar, and the fixed-size background picture `picVexo` that
// holds the two-tab control `stMain` (tab 0 titles, tab 1 audio). A window smaller than the
// picture scrolls it; the window never grows beyond the picture's full size.
//
// The tab pages and the operations plug in from outside: the pages through setTitlesPage()
// and setAudioPage(), the operations through `hooks`. A hook that is not set is skipped.
class MainWindow : public QMainWindow, public StatusMessenger {
    Q_OBJECT
public:
    static constexpr int kTitlesTab = 0;
    static constexpr int kAudioTab = 1;

    struct Hooks {
        // Changer mode reaction. Mode 0 of the changer: the start-up conversion of the disc
        // list; true when its last transaction succeeded. Mode 1, or a failed conversion: the
        // disc list filled to all slots. Afterwards, in both cases: refresh the disc
        // selection list, open the selected disc's working file, refresh the play set-ups.
        std::function<bool()> startUpConversion;
        std::function<void()> fillDiscListAllSlots;
        std::function<void()> afterModeReaction;

        // Tab change handling: preparation of a tab the first time it is shown (the tab sets
        // its bit in openPanelFlags), and the continue-key release timer of the audio tab.
        std::function<void()> prepareTitlesTab;
        std::function<void()> prepareAudioTab;
        std::function<void()> startContinueDisable;

        // The information lines of the tabs (status text 900 + index).
        std::function<void(int tab, int index)> showStatusMessage;

        // Closing: asks whether unsaved titles are to be saved (and saves them on Yes);
        // Cancel keeps the program running. Without unsaved titles it returns Ok at once.
        std::function<UserInterface::Answer()> askSaveTitles;

        // Menu commands.
        std::function<void()> readAllDiscs;
        std::function<void()> cddbAbout;
        std::function<void()> cddbExtendedInfo;
        std::function<void()> cddbUpdateInfo;
        std::function<void()> cddbSubmitChanges;
        std::function<void()> cddbNewDiscSubmit;
        std::function<void()> cddbMusicBrowser;
        std::function<void()> cddbOptions;
    };

    explicit MainWindow(AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    Hooks hooks;
    // Bit 0: the titles tab has been prepared; bit 1: the audio tab. Other bits belong to
    // the tabs.
    int openPanelFlags = 0;

    AppContext& context() { return m_context; }

    // ---- Pages ----
    void setTitlesPage(QWidget* page);
    void setAudioPage(QWidget* page);
    QWidget* titlesPage() const { return m_pages[0]; }
    QWidget* audioPage() const { return m_pages[1]; }
    QTabWidget* tabs() const { return m_tabs; }
    QWidget* picture() const { return m_picture; }

    // Page switch: 0 shows the titles page, 1 the audio page, 2 neither.
    void pageSwitch(int page);
    // Selects tab `tab` and runs the tab change handling when the selection changed (or
    // always, with `force`).
    void selectTab(int tab, bool force = false);
    void setAudioTabEnabled(bool enabled);
    bool audioTabEnabled() const;
    // The tab change handling after stMain has switched (by the user or by selectTab).
    void stMain_Click(int previousTab);

    // ---- Start-up (main window load) ----
    // Position, captions, lookup component set-up, show, then the link start-up.
    void Form_Load(LookupOptions& lookupOptions);
    // Text-only mode: titles tab, audio tab disabled, tab control visible.
    void enterTextOnlyMode();
    // The reaction to a new changer mode.
    void modeReaction();

    // ---- Menus ----
    // Enables the four disc commands of the CDDB menu while a lookup result exists.
    void setLastMatchCode(int code);
    int lastMatchCode() const { return m_lastMatchCode; }
    void setReadAllEnabled(bool enabled);
    void mnuopt_Click();
    void mnuHelp_Click();
    QString helpPagePath() const;
    OptionsWindow* optionsWindow() const;

    // ---- Size and position ----
    // The picture plus the menu bar: the window's largest size.
    QSize fullSize() const;
    void restoreFullSize();
    // Window position in twips as the settings store keeps it.
    QRect positionTwips() const;
    void applyPositionTwips(const QRect& twips);
    void storePosition();

    // StatusMessenger
    void ShowStatusMessage(int tab, int index) override;

signals:
    // The window closed for good; the program ends.
    void closed();
    // The options window's UPDATE was applied.
    void optionsUpdated();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildPicture();
    void setPage(int index, QWidget* page);
    void updatePictureSize();
    void syncAccess();
    void setBusyCursor(bool busy);
    bool linkHeldByCommand() const;

    AppContext& m_context;
    QScrollArea* m_scroll = nullptr;
    QWidget* m_picture = nullptr;
    QTabWidget* m_tabs = nullptr;
    QWidget* m_pages[2] = {nullptr, nullptr};
    QWidget* m_containers[2] = {nullptr, nullptr};
    QWidget* m_corner = nullptr;
    QAction* m_readAll = nullptr;
    QAction* m_optionsAction = nullptr;
    QAction* m_help = nullptr;
    QMenu* m_cddb = nullptr;
    QList<QAction*> m_discCommands;
    QPointer<OptionsWindow> m_optionsWindow;
    int m_lastMatchCode = 0;
    int m_currentTab = 0;
    bool m_busyCursor = false;
    bool m_closing = false;
    bool m_closePending = false; // a close waits for the running command
    QMetaObject::Connection m_accessHook;
};

} // namespace tf
