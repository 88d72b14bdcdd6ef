#pragma once

// The CDDB protocol as spoken over HTTP (protocol level 6): the options of the service, the
// table of contents a lookup is keyed by, the command URLs and the parsing of the answers.
// Everything here is pure: no network, no event loop.

#include "model/toc.h"

#include <QByteArray>
#include <QList>
#include <QNetworkProxy>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

namespace tf {

inline constexpr int kCddbProtocolLevel = 6;
inline constexpr int kCddbDefaultTimeoutMs = 15000;
// Spacing between requests while a pass over many discs runs; public servers ask for it.
inline constexpr int kCddbPassSpacingMs = 1000;
// After a throttling answer without Retry-After, requests fail at once for this long, so
// that a pass over 200 discs does not keep knocking on a server that asked us to stop.
inline constexpr int kCddbThrottleCooldownMs = 60000;
inline constexpr int kCddbMaxCooldownMs = 600000;
// Answers are untrusted: a record is a few kilobytes, anything near this is hostile.
inline constexpr qint64 kCddbMaxResponseBytes = 1024 * 1024;
inline constexpr int kCddbDefaultProxyPort = 8080;

// The fixed client identity sent in every hello.
inline constexpr char kCddbClientName[] = "TrackFen";
inline constexpr char kCddbClientVersion[] = "1.0.1";

// The categories the public servers accept for submissions.
QStringList cddbCategories();

struct CddbOptions {
    QString scheme = QStringLiteral("https"); // "https" or "http"
    QString server = QStringLiteral("gnudb.gnudb.org");
    int port = 0; // 0: the scheme's default port
    QString queryPath = QStringLiteral("/~cddb/cddb.cgi");
    QString submitPath = QStringLiteral("/~cddb/submit.cgi");
    QString email; // sent in the hello; required for submissions
    int timeoutMs = kCddbDefaultTimeoutMs;
    int passSpacingMs = kCddbPassSpacingMs;
    bool testSubmissions = false; // Submit-Mode "test": the server checks but stores nothing
    QString submitNote;           // X-Cddbd-Note, optional

    // Proxy; an empty host means a direct connection.
    QString proxyHost;
    int proxyPort = 0; // 0 or out of range: kCddbDefaultProxyPort
    QString proxyUser;
    QString proxyPassword;

    // A local copy of the database (<folder>/<category>/<discid> xmcd files), consulted
    // before the server or instead of it; empty folder or Off: never.
    enum class Offline { Off, Before, Instead };
    QString offlineFolder;
    Offline offlineMode = Offline::Off;
    bool usesOffline() const { return offlineMode != Offline::Off && !offlineFolder.isEmpty(); }
};

// The proxy the options ask for: an HTTP proxy with the given credentials, or none.
QNetworkProxy cddbProxy(const CddbOptions& options);

// What a lookup is keyed by: the start of every track in frames, the lead-out, the disc id.
struct CddbToc {
    QList<int> trackOffsets; // frames, track 1 first
    int leadOut = 0;         // frames
    QString discId;          // eight lower-case hexadecimal digits

    int trackCount() const { return static_cast<int>(trackOffsets.size()); }
    // The disc length the protocol wants: the lead-out in whole seconds.
    int lengthSeconds() const { return leadOut / 75; }
    bool isValid() const { return !trackOffsets.isEmpty() && discId.size() == 8; }

    // From the changer's table (tracks, then the lead-out); nullopt for a table that has no
    // valid disc id, with the reason in *error.
    static std::optional<CddbToc> fromTocTimes(const QList<TocTime>& toc, QString* error = nullptr);
    // From the TOC text "150 14287 31587" (tracks, then the lead-out).
    static std::optional<CddbToc> fromTocText(const QString& text, QString* error = nullptr);
};

// The hello words: the user and host parts of the e-mail address (anonymous@localhost
// when none is set), client name and version.
QStringList cddbHelloWords(const QString& email);

// "cddb query 0c01a302 2 150 14287 421"
QString cddbQueryCommand(const CddbToc& toc);
QString cddbReadCommand(const QString& category, const QString& discId);

// The full GET URL for a command: path?cmd=...&hello=...&proto=6, every word percent-encoded
// and the words joined by '+'.
QUrl cddbCommandUrl(const CddbOptions& options, const QString& command);
QUrl cddbSubmitUrl(const CddbOptions& options);

// A category and a disc id from the network are used in the next URL; only plain words pass.
bool isCddbCategoryWord(const QString& category);
bool isCddbDiscIdWord(const QString& discId);
bool isValidCddbEmail(const QString& email);

// Text from the server: UTF-8 when the bytes are valid UTF-8, otherwise ISO-8859-1.
QString decodeCddbText(const QByteArray& bytes);
// Control characters (CR, LF, TAB, NUL, C1 controls, line separators) become blanks.
QString sanitizeCddbText(const QString& text);
// Splits a body into lines (CR LF or LF), each decoded on its own.
QStringList cddbBodyLines(const QByteArray& body);

// "Artist / Title": split at the first " / "; without one both are the whole text.
void splitCddbTitle(const QString& dtitle, QString* artist, QString* title);

// One entry of a query answer.
struct CddbMatch {
    QString category;
    QString discId;
    QString artist;
    QString title;
    bool exact = false;
    // For the candidate window when several sources answer: where the match comes from
    // (empty: CDDB) and the release details a user chooses by (year, country, label, disc n
    // of m, track count).
    QString source;
    QString details;
    bool operator==(const CddbMatch&) const = default;
};

// The first line's code and text of an answer; nullopt when it does not start with a code.
struct CddbStatusLine {
    int code = 0;
    QString text;
};
std::optional<CddbStatusLine> parseCddbStatusLine(const QString& line);

} // namespace tf
