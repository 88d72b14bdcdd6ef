#include "lookup/widgets/cddbmenu.h"

#include "base/catalogue.h"
#include "base/userinterface.h"
#include "lookup/cddbclient.h"
#include "lookup/cddblookupservice.h"
#include "lookup/cddbsettings.h"
#include "lookup/mbreply.h"
#include "lookup/widgets/cddbaboutwindow.h"
#include "lookup/widgets/cddboptionswindow.h"

#include <QAction>
#include <QDesktopServices>
#include <QMenu>
#include <QWidget>

namespace tf {

namespace {

using Style = UserInterface::Style;

const QString kSubmitChanges = QStringLiteral("Submit Changes");
const QString kNewDiscSubmit = QStringLiteral("New Disc Submit");

} // namespace

CddbMenu::CddbMenu(CddbLookupService& lookup, CddbClient& client, LookupChooser& windows,
                   UserInterface& ui, QWidget* parent)
    : QObject(parent), m_lookup(lookup), m_client(client), m_windows(windows), m_ui(ui),
      m_parent(parent), m_openUrl([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {}

std::optional<CddbToc> CddbMenu::lastToc() const {
    if (m_lookup.tocText.isEmpty())
        return std::nullopt;
    return CddbToc::fromTocText(m_lookup.tocText);
}

const CddbDisc* CddbMenu::lookedUpDisc() const {
    const auto toc = lastToc();
    if (!toc || !m_lookup.currentDisc)
        return nullptr;
    return m_lookup.currentDisc->discIds.contains(toc->discId, Qt::CaseInsensitive)
               ? &*m_lookup.currentDisc
               : nullptr;
}

void CddbMenu::tell(const QString& text, const QString& title) {
    m_ui.messageBox(text, title, Style::OkExclamation);
}

void CddbMenu::fillMenu(QMenu* menu) {
    auto item = [this](QMenu* into, const char* name, int caption, void (CddbMenu::*command)()) {
        QAction* action = into->addAction(msg(caption));
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, this, command);
        return action;
    };
    item(menu, "mnuCDDB2_ABT", msgid::MenuCddbAbout, &CddbMenu::mnuCDDB2_ABT_Click);
    menu->addSeparator()->setObjectName(QStringLiteral("mnuSep0"));
    m_discCommands = {
        item(menu, "mnuCDDB2_EXI", msgid::MenuCddbExtendedInfo, &CddbMenu::mnuCDDB2_EXI_Click),
        item(menu, "mnuCDDB2_UDI", msgid::MenuCddbUpdateInfo, &CddbMenu::mnuCDDB2_UDI_Click),
        item(menu, "mnuCDDB2_SMI", msgid::MenuCddbSubmitChanges, &CddbMenu::mnuCDDB2_SMI_Click),
        item(menu, "mnuCDDB2_NSM", msgid::MenuCddbNewDiscSubmit, &CddbMenu::mnuCDDB2_NSM_Click),
    };
    QMenu* url = menu->addMenu(msg(msgid::MenuCddbUrl));
    url->setObjectName(QStringLiteral("mnuURL"));
    url->menuAction()->setObjectName(QStringLiteral("mnuURL"));
    item(url, "mnuCDDB2_MBW", msgid::MenuCddbMusicBrowser, &CddbMenu::mnuCDDB2_MBW_Click);
    menu->addSeparator()->setObjectName(QStringLiteral("mnuSep1"));
    item(menu, "mnuCDDB2_OPT", msgid::MenuCddbOptions, &CddbMenu::mnuCDDB2_OPT_Click);
    connect(&m_lookup, &CddbLookupService::lookupStateChanged, this,
            &CddbMenu::followLastMatchCode);
    followLastMatchCode();
}

void CddbMenu::followLastMatchCode() {
    // A lookup that found nothing still enables them: there is a disc to describe.
    for (QAction* action : m_discCommands)
        action->setEnabled(m_lookup.lastMatchCode != 0);
}

// ---- About, extended info ----

void CddbMenu::mnuCDDB2_ABT_Click() {
    CddbAboutWindow window(m_client.options(), m_parent);
    window.exec();
}

void CddbMenu::mnuCDDB2_EXI_Click() {
    const int code = m_lookup.matchCode;
    const CddbDisc* disc = lookedUpDisc();
    if ((code != kMatchSeveral && code != kMatchExact) || !disc) {
        m_ui.messageBox(msg(msgid::NoMatchesForDisc), msg(msgid::ApplicationTitle), Style::Ok);
        return;
    }
    CddbDisc shown = *disc;
    m_windows.showDiscInfo(shown, false);
}

// ---- Update info, submit changes ----

void CddbMenu::mnuCDDB2_UDI_Click() {
    infoResult = kInfoEditMode;
    const auto toc = lastToc();
    if (!toc) {
        m_ui.messageBox(msg(msgid::NoMatchesForDisc), msg(msgid::ApplicationTitle), Style::Ok);
        return;
    }
    // No match (or no disc picked): a new disc for the looked-up table. A disc for this table
    // that the user edited before is kept, so a second edit does not lose the first.
    if (!lookedUpDisc())
        m_lookup.currentDisc = CddbDisc::fromToc(*toc);
    CddbDisc edited = *m_lookup.currentDisc;
    if (m_windows.showDiscInfo(edited, true)) {
        m_lookup.currentDisc = edited;
        infoResult = kInfoChanged;
    } else {
        infoResult = kInfoUnchanged;
    }
}

void CddbMenu::mnuCDDB2_SMI_Click() {
    // Only a change the user made in the disc information window is sent.
    if (infoResult != kInfoChanged)
        return;
    const auto toc = lastToc();
    const CddbDisc* disc = lookedUpDisc();
    if (!toc || !disc)
        return;
    if (!submit(*disc, *toc, kSubmitChanges))
        return;     // the change stays, so it can be sent once the problem is mended
    infoResult = 0; // sent once; the same change again would be a duplicate revision

    // The database's answer now, as a fresh lookup of the same disc gives it.
    const LastLookup last = m_lookup.lastLookup;
    if (!last.isEmpty()) {
        DiscRecord record;
        record.identity = last.identity;
        record.toc = last.toc;
        record.minTno = qint16(last.firstTrack);
        record.maxTno = qint16(last.lastTrack);
        m_lookup.lookUpDisc(record);
    }
    if (m_discFileChanged)
        m_discFileChanged(last.identity.disc);
}

void CddbMenu::mnuCDDB2_NSM_Click() {
    const auto toc = lastToc();
    if (!toc) {
        m_ui.messageBox(msg(msgid::NoMatchesForDisc), msg(msgid::ApplicationTitle), Style::Ok);
        return;
    }
    // A new entry for the table; the names of the looked-up disc save typing, but the
    // category is the user's choice and the revision starts again.
    CddbDisc disc = CddbDisc::fromToc(*toc);
    if (const CddbDisc* known = lookedUpDisc()) {
        disc.artist = known->artist;
        disc.title = known->title;
        disc.year = known->year;
        disc.genre = known->genre;
        for (int i = 0; i < disc.trackTitles.size(); ++i)
            disc.trackTitles[i] = known->trackTitles.value(i);
    }
    if (!m_windows.showDiscInfo(disc, true))
        return;
    if (submit(disc, *toc, kNewDiscSubmit) && m_discFileChanged)
        m_discFileChanged(m_lookup.lastLookup.identity.disc);
}

bool CddbMenu::submit(const CddbDisc& disc, const CddbToc& toc, const QString& caption) {
    // Checked here as well as in the client, so the user reads why before anything is sent.
    QString problem = xmcdSubmissionProblem(disc);
    if (problem.isEmpty() && disc.category == QLatin1String(kMbCategory))
        problem = QStringLiteral("These titles came from MusicBrainz: corrections to them are "
                                 "made on MusicBrainz, not sent to CDDB.");
    if (problem.isEmpty() && !cddbCategories().contains(disc.category))
        problem = QStringLiteral("Choose one of the CDDB categories (%1) before submitting.")
                      .arg(cddbCategories().join(QStringLiteral(", ")));
    if (problem.isEmpty() && !isValidCddbEmail(m_client.options().email))
        problem = QStringLiteral("An e-mail address is needed to submit a disc. Enter it in the "
                                 "CDDB options.");
    if (!problem.isEmpty()) {
        tell(QStringLiteral("The disc was not sent.\r%1").arg(problem), caption);
        return false;
    }
    const CddbOutcome outcome = m_client.submitAndWait(disc, toc);
    if (!outcome.ok()) {
        tell(QStringLiteral("The disc was not sent.\r%1").arg(outcome.message), caption);
        return false;
    }
    m_ui.messageBox(msg(msgid::DiscWasSent), msg(msgid::ApplicationTitle), Style::Ok);
    return true;
}

// ---- Music browser, options ----

QUrl CddbMenu::musicBrowserUrl(const CddbOptions& options, const CddbDisc* disc) {
    const QString server = options.server.toLower();
    if (server == QLatin1String("gnudb.gnudb.org") || server == QLatin1String("gnudb.org")) {
        // gnudb's disc pages are named by the category's first two letters and the id.
        if (disc && isCddbCategoryWord(disc->category) && isCddbDiscIdWord(disc->discId()))
            return QUrl(QStringLiteral("https://gnudb.org/cd/%1%2")
                            .arg(disc->category.left(2), disc->discId().toLower()));
        return QUrl(QStringLiteral("https://gnudb.org/"));
    }
    QUrl url;
    url.setScheme(options.scheme == QLatin1String("http") ? QStringLiteral("http")
                                                          : QStringLiteral("https"));
    url.setHost(options.server);
    if (options.port > 0)
        url.setPort(options.port);
    url.setPath(QStringLiteral("/"));
    return url;
}

void CddbMenu::mnuCDDB2_MBW_Click() {
    const QUrl url = musicBrowserUrl(m_client.options(), lookedUpDisc());
    if (!m_openUrl(url))
        tell(QStringLiteral("No web browser could be started for %1.").arg(url.toString()),
             msg(msgid::ApplicationTitle));
}

void CddbMenu::mnuCDDB2_OPT_Click() {
    CddbOptions current = m_client.options();
    QString error;
    if (!m_passwords.read(&current.proxyPassword, &error))
        tell(error, QStringLiteral("CDDB Options"));
    CddbOptionsWindow window(current, m_passwords, m_ui, m_parent);
    if (window.exec() != QDialog::Accepted) {
        infoResult = kOptionsCancelled;
        return;
    }
    infoResult = kOptionsAccepted;
    const CddbOptions stored = window.options();
    m_client.setOptions(stored);
    emit optionsChanged(stored);
}

} // namespace tf
