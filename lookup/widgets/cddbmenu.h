#pragma once

#include "lookup/cddbprotocol.h"
#include "lookup/widgets/passwordstore.h"
#include "lookup/xmcd.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QWidget;

namespace tf {

class CddbClient;
class CddbLookupService;
class LookupChooser;
class UserInterface;

// The commands of the CDDB menu, on the disc of the last lookup: its extended information,
// editing it and submitting the change, submitting a new disc, the disc's page on the
// database's web site, and the component's options and about windows. The lookup state
// (`matchCode`, `currentDisc`, `tocText`, `LastLookup`) is the lookup service's.
class CddbMenu : public QObject {
    Q_OBJECT
public:
    // The disc information window's result when the user changed the disc.
    static constexpr int kInfoChanged = 1280;
    // Edit mode, set before the window opens.
    static constexpr int kInfoEditMode = 2;
    // The window closed without a change; the options window's OK and Cancel.
    static constexpr int kInfoUnchanged = 1;
    static constexpr int kOptionsAccepted = 1;
    static constexpr int kOptionsCancelled = 0;

    using UrlOpener = std::function<bool(const QUrl&)>;
    // The slot's disc file changed: show it in the title editor and the audio tab.
    using DiscFileChanged = std::function<void(int slot)>;

    CddbMenu(CddbLookupService& lookup, CddbClient& client, LookupChooser& windows,
             UserInterface& ui, QWidget* parent = nullptr);

    // Result of the last disc information window in edit mode, or of the options window.
    int infoResult = 0;

    // By default the desktop's browser; tests put a recorder in its place.
    void setUrlOpener(UrlOpener opener) { m_openUrl = std::move(opener); }
    void setDiscFileChanged(DiscFileChanged changed) { m_discFileChanged = std::move(changed); }
    void setPasswordStore(const PasswordStore& store) { m_passwords = store; }
    const PasswordStore& passwordStore() const { return m_passwords; }

    // Puts the menu's commands into `menu` (the window's empty CDDB menu). The four disc
    // commands are enabled while a lookup result exists (tmWeb): they follow the lookup
    // service's state changes.
    void fillMenu(QMenu* menu);

    void mnuCDDB2_ABT_Click();
    void mnuCDDB2_EXI_Click();
    void mnuCDDB2_UDI_Click();
    void mnuCDDB2_SMI_Click();
    void mnuCDDB2_NSM_Click();
    void mnuCDDB2_MBW_Click();
    void mnuCDDB2_OPT_Click();

    // The page the music browser opens: the disc's page on gnudb.org for the gnudb servers,
    // the server's own front page for any other; nullopt for a disc that is not known.
    static QUrl musicBrowserUrl(const CddbOptions& options, const CddbDisc* disc);

signals:
    // The options window stored new options; the client uses them already.
    void optionsChanged(const CddbOptions& options);

private:
    std::optional<CddbToc> lastToc() const;
    // currentDisc when it is the disc of the last lookup (a lookup that ended without a pick
    // leaves an older disc there, which must not be shown or sent as this one).
    const CddbDisc* lookedUpDisc() const;
    // Sends `disc` as a correction or a new entry; true when the server took it.
    bool submit(const CddbDisc& disc, const CddbToc& toc, const QString& caption);
    void tell(const QString& text, const QString& title);
    void followLastMatchCode();

    CddbLookupService& m_lookup;
    CddbClient& m_client;
    LookupChooser& m_windows;
    UserInterface& m_ui;
    QWidget* m_parent;
    UrlOpener m_openUrl;
    DiscFileChanged m_discFileChanged;
    PasswordStore m_passwords;
    QList<QAction*> m_discCommands;
};

} // namespace tf
