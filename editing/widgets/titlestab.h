#pragma once

#include "base/userinterface.h"
#include "model/discid.h"

#include <QList>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace tf {

class DiscPanel;
class Link;
class StatusMessenger;
class TitleGrid;
class UserFileNameEditor;
struct AppContext;
struct LoadedDisc;

// The titles tab: compares and edits one disc's titles on the PC (per-disc file) and in the
// changer's memory, and saves them to both. Commands: load (`cmdLoad`), reload (`cmdReload`),
// save (`cmdSave`), copy (`cmdCopy`) and the user-file-name editor (`cmdUFEdit`).
class TitlesTab : public QWidget {
    Q_OBJECT
public:
    using Answer = UserInterface::Answer;

    TitlesTab(AppContext& ctx, StatusMessenger& status, QWidget* parent = nullptr);
    ~TitlesTab() override;

    // Gives edited user-file names to the audio tab's list and the user-file play set-up list.
    std::function<void(const QStringList& names)> spreadUserFileNames;

    // ---- For the main window ----
    QLabel* lbTextInfo() const { return m_info; }         // the visible information line
    QLabel* lbBackTextInfo() const { return m_backInfo; } // hidden: the per-disc file shown
    QLabel* lbTextDNO() const { return m_dnoLabel; }      // disc number shown on this tab

    // The titles tab preparation, run whenever the tab is entered.
    void enterTab();
    // Rebuilds the disc number list from the disc list (Create_cmbDNO_List).
    void refreshDiscList();
    // Asked when the main window closes: runs the save question when titles are unsaved.
    // True when closing may go on, false after Cancel (or while a command is running).
    bool confirmClose();

    bool changed() const { return m_changed; }
    bool discLoaded() const { return m_discLoaded; }
    int currentDisc() const { return m_disc; } // the disc loaded or being loaded, 0 for none
    bool commandRunning() const { return m_busy; }

    // ---- Commands (the buttons' and keys' handlers) ----
    void cmdLoad_Click();
    void cmdReload_Click();
    void cmdSave_Click();
    void cmdCopy_Click();
    void cmdUFEdit_Click();
    // Loads `disc` as choosing it in the disc number list and loading would, the question
    // about unsaved titles first.
    void openDisc(int disc);

    // The save question and the save: Yes saved, No discarded, Cancel kept (also when the
    // save failed). Used by load, reload, save and the main window's close.
    Answer saveDialog();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    class Busy;

    // Tab state
    void setChanged();
    void updateSaveButton();
    void setToolTips();
    bool changerConnected() const;

    // Load and reload
    void loadDisc();
    void reloadDisc();
    int takeDiscNumber(bool checkList);
    void resetForLoad(int disc, int statusIndex);
    void showLoaded(const LoadedDisc& loaded);

    // Save
    Answer saveTitles();

    // User-file-name editor
    void closeNameEditor(int statusIndex);
    void ufeSave();
    void ufeQuit();
    bool sendNames();

    void showMessage(const QList<int>& ids, int titleId, UserInterface::Style style);
    QString dataPath(const QString& name) const;

    AppContext& m_ctx;
    Link& m_link;
    StatusMessenger& m_status;

    DiscPanel* m_panel = nullptr;
    TitleGrid* m_grid = nullptr;
    UserFileNameEditor* m_ufEditor = nullptr;
    QPushButton* m_cmdLoad = nullptr;
    QPushButton* m_cmdSave = nullptr;
    QPushButton* m_cmdReload = nullptr;
    QPushButton* m_cmdCopy = nullptr;
    QPushButton* m_cmdUFEdit = nullptr;
    QLabel* m_info = nullptr;
    QLabel* m_backInfo = nullptr;
    QLabel* m_dnoLabel = nullptr;

    // The disc shown: slot and identifier.
    int m_disc = 0;
    DiscIdentity m_identity;

    bool m_changed = false;
    bool m_discLoaded = false;
    bool m_busy = false;
    bool m_nameEditorOpen = false;
};

} // namespace tf
