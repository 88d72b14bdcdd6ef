#pragma once

#include "base/statusmessenger.h"
#include "base/userinterface.h"
#include "operations/appcontext.h"

#include <QMainWindow>
#include <QPointer>

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
// What the window asks of the program's parts (the tabs, the information lines and the
// changer operations). The composition implements every entry; a window without parts (a
// bare frame) switches pages and closes without asking.
class MainWindowParts {
public:
    virtual ~MainWindowParts() = default;

    // Changer mode reaction. Mode 0 of the changer: the start-up conversion of the disc
    // list; true when its last transaction succeeded. Mode 1, or a failed conversion: the
    // disc list filled to all slots. Afterwards, in both cases: refresh what shows the disc
    // list.
    virtual bool startUpConversion() = 0;
    virtual void fillDiscListAllSlots() = 0;
    virtual void afterModeReaction() = 0;

    // Tab change handling: preparation of a tab the first time it is shown (the tab sets its
    // bit in openPanelFlags), and the audio tab's reaction to being selected.
    virtual void prepareTitlesTab() = 0;
    virtual void prepareAudioTab() = 0;
    virtual void audioTabSelected() = 0;

    // The information lines of the tabs (status text 900 + index).
    virtual StatusMessenger& statusLines() = 0;

    // Closing: asks whether unsaved titles are to be saved (and saves them on Yes); Cancel
    // keeps the program running. Without unsaved titles it returns Ok at once.
    virtual UserInterface::Answer askSaveTitles() = 0;
};

// The tab pages and the parts plug in from outside: the pages through setTitlesPage() and
// setAudioPage(), the parts through setParts(), menu commands of other components through
// the menus they are given.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    static constexpr int kTitlesTab = 0;
    static constexpr int kAudioTab = 1;

    explicit MainWindow(AppContext& context, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The parts outlive the window's use of them (the composition is a child of the window).
    void setParts(MainWindowParts* parts) { m_parts = parts; }
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
    // The CDDB menu ("mnuCDDB2"), empty: the lookup component fills it with its commands.
    QMenu* cddbMenu() const { return m_cddb; }
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

signals:
    // READ ALL DISCS was chosen.
    void readAllRequested();
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
    void showStatusMessage(int tab, int index);
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
    QPointer<OptionsWindow> m_optionsWindow;
    MainWindowParts* m_parts = nullptr;
    int m_currentTab = 0;
    bool m_busyCursor = false;
    bool m_closing = false;
    bool m_closePending = false; // a close waits for the running command
};

} // namespace tf
