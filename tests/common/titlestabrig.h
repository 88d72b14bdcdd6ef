#pragma once

// The titles tab on a fresh data folder, over a link that is either left closed or brought up
// to the changer simulator. A test class derives from it next to QObject; each step returns at
// once when an earlier one failed, so a failed set-up never runs on half-built parts.

#include "base/statusmessenger.h"
#include "common/scriptedui.h"
#include "common/simprocess.h"
#include "editing/widgets/titlestab.h"
#include "link/link.h"
#include "operations/appcontext.h"
#include "operations/lookupservice.h"
#include "store/config.h"

#include <QStringList>
#include <QTemporaryDir>

#include <functional>
#include <memory>

class QTableWidget;

namespace tf::test {

// The status lines the titles tab asked for.
struct TitlesStatusLog : StatusMessenger {
    QList<int> shown;
    void ShowStatusMessage(int tab, int index) override {
        if (tab == kTitlesTab)
            shown.append(index);
    }
};

// A lookup that finds nothing and remembers which discs it was asked for.
struct RecordingLookup : LookupService {
    QList<int> webSearches;
    QList<int> cdTextLoads;
    bool CD_TEXT_load_Not_CDDB(int disc) override {
        cdTextLoads.append(disc);
        return false;
    }
    bool Web_search_CDDB(int disc) override {
        webSearches.append(disc);
        return false;
    }
    void lookUpAllDiscs() override {}
};

class TitlesTabRig {
protected:
    // Writes the simulator's library, once for the test case. Disc 1 is in the player, stopped:
    // memory titles for tracks 1 and 3, user files 1 and 3, music type 5. Disc 2 has CD TEXT,
    // disc 3 music type 17, disc 7 refuses title input; user files 1 and 2 have names.
    void writeLibrary();
    // A fresh data folder and settings, the scripted user and logs empty, then the tab shown and
    // active. With a library written, the simulator is started with `simArgs` first and the link
    // brought up to it (`tune` first changes its timings); with `disc`, the tab is shown once the
    // changer has reported that disc in the player, its contents and its mode (a mode arriving
    // later would end the waits for a disc as a mode change does).
    void showTab(const QStringList& simArgs = {},
                 const std::function<void(LinkTimings&)>& tune = {}, int disc = 0);
    // Enters the tab, which loads the disc in the player; the web search is declined.
    void enterTabOnDisc(int disc);
    void tearDown();

    template <typename T> T* child(const QString& name) const {
        T* w = m_tab->findChild<T*>(name);
        if (!w)
            qFatal("no widget %s", qPrintable(name));
        return w;
    }
    QTableWidget* grid() const;
    QString cell(int row, int column) const;
    // Edits a grid cell with the cell editor, as Ctrl+F2 opens it.
    void editCell(int row, int column, const QString& text);
    // Types a disc number into the disc box, replacing what it shows (Backspace first, which
    // turns the load off until something is typed).
    void typeDisc(const QString& disc);
    // Types a disc number and presses Enter in the disc box, which loads it.
    void loadDisc(const QString& disc);
    QStringList messages() const { return m_ui.texts(QStringLiteral("message")); }

    QTemporaryDir m_libDir;
    QString m_libraryPath;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_dataDir;
    SimProcess m_sim;
    ScriptedUi m_ui;
    RecordingLookup m_lookup;
    TitlesStatusLog m_status;
    std::unique_ptr<Configuration> m_config;
    std::unique_ptr<Link> m_link;
    std::unique_ptr<AppContext> m_ctx;
    std::unique_ptr<TitlesTab> m_tab;
};

} // namespace tf::test
