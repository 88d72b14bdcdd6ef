#pragma once

// The lookup flow on the CDDB client: titles of one disc from its CD TEXT or from the online
// database, and the online pass over every disc after READ ALL DISCS. It talks to the user
// only through UserInterface and LookupChooser, so it runs headless in tests.

#include "lookup/lastlookup.h"
#include "lookup/lookupflow.h"
#include "lookup/xmcd.h"
#include "operations/lookupservice.h"

#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

namespace tf {

class CddbClient;
class MbClient;
struct MbCandidate;
class Configuration;
class Link;
class UserInterface;

class CddbLookupService : public QObject, public LookupService {
    Q_OBJECT
public:
    // Where a disc's table of contents, track range and flags come from.
    using DiscSource = std::function<std::optional<DiscRecord>(int disc)>;

    // Every reference must outlive the service. The main window owns all of them.
    // `musicBrainz`'s options choose which databases a lookup asks, and in which order.
    CddbLookupService(Link& link, Configuration& config, UserInterface& ui, CddbClient& client,
                      MbClient& musicBrainz, LookupChooser& chooser, QObject* parent = nullptr);

    // By default a disc comes from the master data file, and from the changer when the file
    // has no block for it yet (the first load of a disc).
    void setDiscSource(DiscSource source) { m_source = std::move(source); }

    bool CD_TEXT_load_Not_CDDB(int disc) override;
    bool Web_search_CDDB(int disc) override;
    void lookUpAllDiscs() override;

    // The same lookup for a disc the caller already holds (the CDDB menu's repeat of the last
    // lookup, or a disc not yet in the master file).
    bool lookUpDisc(const DiscRecord& disc);

    // ---- Lookup state read by the CDDB menu ----
    int matchCode = 0;     // 1 none, 2 several, 3 exact; 0 before the first lookup
    int lastMatchCode = 0; // 0 while a lookup runs and before the first one
    std::optional<CddbDisc> currentDisc;
    QString tocText;
    LastLookup lastLookup;
    bool readAllLookup = false; // set while the online pass runs
    // How the last request ended (Ok also when it found nothing).
    CddbOutcome lastOutcome;

signals:
    // Hourglass while a lookup runs.
    void busyCursor(bool busy);
    // lastMatchCode changed: the window re-enables the disc items of the CDDB menu.
    void lookupStateChanged();
    // The user asked to open `url` (MusicBrainz's page for adding an unknown disc).
    void openInBrowser(const QUrl& url);

private:
    enum class Step { Written, NotWritten, StopPass };

    std::optional<DiscRecord> discFor(int disc);
    std::optional<DiscRecord> discFromChanger(int disc);
    Step runLookup(const DiscRecord& disc, bool inPass);
    // One database's lookup; nullopt when it does not know the disc at all.
    std::optional<Step> lookUpCddb(const LookupKey& key, bool inPass, const DiscRecord& disc);
    std::optional<Step> lookUpMusicBrainz(const LookupKey& key, const DiscRecord& disc,
                                          bool inPass);
    void offerSubmission(const LookupKey& key, const DiscRecord& disc);
    Step notFound(const LookupKey& key, bool inPass);
    Step serviceFailed(const CddbOutcome& outcome, bool inPass);
    Step writeAndSend(const LookupKey& key, const DiscRecord& disc, const CddbDisc& result);
    bool loadCdText(const DiscRecord& disc);
    bool askToSearch();
    void waitForErrorDialog(const QString& body, const QString& title, int countdownSeconds);
    void finish(const LookupKey& key, const DiscRecord& disc);

    Link& m_link;
    Configuration& m_config;
    UserInterface& m_ui;
    CddbClient& m_client;
    MbClient& m_mb;
    LookupChooser& m_chooser;
    DiscSource m_source;
    QString m_passFailure;  // why the online pass stopped early
    bool m_running = false; // a lookup is on the stack
};

} // namespace tf
