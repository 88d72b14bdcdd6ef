#include "common/httpstub.h"
#include "common/testsupport.h"
#include "lookup/mbclient.h"

#include <QTest>

using namespace tf;
using test::HttpStub;
using test::HttpStubReply;
using test::HttpStubRequest;

namespace {

// The two-track disc of the CDDB tests (0c01a302); its MusicBrainz id worked out by hand from
// the published algorithm (SHA-1 of the hex TOC, MusicBrainz's base64 alphabet).
const QString kTwoTrackId = QStringLiteral("GrqabRjESEYSxYYLtHe_nsLpsyE-");

MbDiscId twoTrackDisc() {
    return *mbDiscId(*CddbToc::fromTocText(QStringLiteral("150 14287 31587")));
}

using Replies = QList<QPair<int, QString>>; // status and fixture ("" empty, "{" a broken one)

} // namespace

class TestMusicBrainz : public QObject {
    Q_OBJECT
private slots:
    // libdiscid's own example disc (its test suite and documentation); the two-track disc's id
    // is checked in the request that lookup() sees.
    void discIdFromLibdiscid() {
        const QString toc = "150 18901 39738 59557 79152 100126 124833 147278 166336 182560 206535";
        const QString id = "Wn8eRBtfLDfM0qjYPdxrz.Zjs_U-";
        const auto cddb = CddbToc::fromTocText(toc);
        QVERIFY(cddb);
        const auto disc = mbDiscId(*cddb);
        QVERIFY(disc);
        QCOMPARE(disc->id, id);
        // First and last track, the lead-out, then the offsets.
        QCOMPARE(disc->toc, QStringLiteral("1 10 206535 150 18901 39738 59557 79152 100126 124833 "
                                           "147278 166336 182560"));
        QVERIFY(disc->submissionUrl.toString().contains(id));
        QVERIFY(!mbDiscId(CddbToc{}));
    }

    void lookup_data() {
        QTest::addColumn<Replies>("replies");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("artist");
        QTest::addColumn<QString>("details");
        QTest::addColumn<QString>("firstTrack");
        QTest::addColumn<bool>("exact");
        const auto row = [](const char* name, const Replies& replies, CddbResultCode code,
                            const QString& artist = {}, const QString& details = {},
                            const QString& firstTrack = {}, bool exact = true, int count = 1) {
            QTest::newRow(name) << replies << int(code) << (artist.isEmpty() ? 0 : count) << artist
                                << details << firstTrack << (exact && !artist.isEmpty());
        };
        const auto ok = CddbResultCode::Ok;
        const QString lumen = "1999, GB, Lumen, disc 1 of 1, 2 tracks";
        row("one release", {{200, "one-release.json"}}, ok, "Alpha feat. Beta", lumen, "Dawn");
        row("several releases", {{200, "several-releases.json"}}, ok, "Alpha", lumen, "Dawn", true,
            2);
        row("medium 2 has the id, medium 1 only the length", {{200, "multi-disc.json"}}, ok,
            "Gamma", "2010, DE, Kiel, disc 2 of 2, 2 tracks", "Four");
        row("various artists", {{200, "various-artists.json"}}, ok, "Various Artists",
            "2001, XE, Comp, disc 1 of 1, 2 tracks", "Gamma / Opening");
        row("unknown id, found by TOC", {{404, ""}, {200, "fuzzy.json"}}, ok, "Zeta",
            "1988, JP, Nami, disc 1 of 1, 2 tracks", "Near", false);
        row("503 then success", {{503, ""}, {200, "one-release.json"}}, ok, "Alpha feat. Beta",
            lumen, "Dawn");
        row("503 every time", {{503, ""}, {503, ""}, {503, ""}}, CddbResultCode::Throttled);
        row("malformed reply", {{200, "{"}}, CddbResultCode::BadResponse);
        row("unknown everywhere", {{404, ""}, {400, ""}}, CddbResultCode::NoMatch);
    }

    void lookup() {
        QFETCH(Replies, replies);
        QFETCH(int, code);
        QFETCH(int, count);
        QFETCH(QString, artist);
        QFETCH(QString, details);
        QFETCH(QString, firstTrack);
        QFETCH(bool, exact);
        HttpStub server;
        QVERIFY(server.listen());
        int next = 0;
        server.setHandler([&](const HttpStubRequest&) {
            const auto [status, name] = replies.value(next++, {500, QString()});
            const QByteArray body = name.isEmpty() ? QByteArray()
                                    : name == "{"  ? QByteArray("{\"releases\": [{\"media\":")
                                                   : test::golden("musicbrainz/" + name);
            return HttpStubReply::text(body, status, status == 200 ? "OK" : "No");
        });
        MbClient client;
        MbOptions options; // the request spacing left at its default
        options.scheme = "http";
        options.server = "127.0.0.1";
        options.port = server.port();
        options.backoffMs = 1200; // longer than the spacing, to tell the two apart
        CddbOptions shared;
        shared.email = "joe@example.org";
        client.setOptions(options, shared);

        const MbLookupResult result = client.lookupAndWait(twoTrackDisc());
        QCOMPARE(int(result.outcome.code), code);
        const QList<HttpStubRequest>& sent = server.requests();
        QCOMPARE(sent.size(), replies.size());
        QCOMPARE(result.candidates.size(), count);
        // Asked as MusicBrainz wants it: by disc id, then (unknown id) by TOC, at most one
        // request a second, with a pause before trying again after a 503.
        QCOMPARE(sent.at(0).target, "/ws/2/discid/" + kTwoTrackId.toLatin1() +
                                        "?inc=recordings+artist-credits+labels&fmt=json");
        QCOMPARE(sent.at(0).header("User-Agent"),
                 QByteArray("TrackFen/") + kCddbClientVersion + " ( joe@example.org )");
        if (replies.first().first == 404)
            QVERIFY(sent.at(1).target.startsWith("/ws/2/discid/-?toc=1+2+31587+150+14287&"));
        if (sent.size() > 1)
            QVERIFY(sent.at(1).receivedAtMs - sent.at(0).receivedAtMs >=
                    (replies.first().first == 503 ? 1150 : 950));
        if (count == 0) {
            QVERIFY(code == int(CddbResultCode::NoMatch) || !result.outcome.message.isEmpty());
            return;
        }
        const CddbMatch shown = result.candidates.first().toMatch();
        QCOMPARE(shown.artist, artist);
        QCOMPARE(shown.details, details);
        QCOMPARE(shown.source, QString("MusicBrainz"));
        QCOMPARE(shown.exact, exact);
        QCOMPARE(result.candidates.first().toDisc().trackTitles.value(0), firstTrack);
    }
};

QTEST_GUILESS_MAIN(TestMusicBrainz)
#include "tst_musicbrainz.moc"
