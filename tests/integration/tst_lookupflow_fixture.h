#pragma once

// The lookup flow against a CDDB server on 127.0.0.1 (the HTTP stub serving records from
// memory) and changer-sim, with a scripted user and a scripted candidate choice.

#include "common/httpstub.h"
#include "lookup/cddbclient.h"
#include "lookup/cddblookupservice.h"
#include "lookup/mbclient.h"
#include "store/discdata.h"
#include "tst_opsfixture.h"

#include <QHash>
#include <QUrl>

#include <functional>

namespace tf::test {

// A user who picks candidates from a script and remembers every list shown; `whileOpen`, when
// set, runs while the choice is open.
class ScriptedChooser : public LookupChooser {
public:
    QList<std::optional<int>> picks; // nullopt = "none of these"; runs out as "none of these"
    QList<QList<CddbMatch>> offered;
    std::function<void()> whileOpen;

    std::optional<int> chooseCandidate(const QList<CddbMatch>& matches) override {
        offered.append(matches);
        if (whileOpen)
            whileOpen();
        return picks.isEmpty() ? std::nullopt : picks.takeFirst();
    }
    bool showDiscInfo(CddbDisc&, bool) override { return false; }
};

// One disc the fake database knows.
struct FakeRecord {
    QString category;
    QString discId;
    QString artist;
    QString title;
    QStringList tracks;
};

// The CDDB server: answers "cddb query" with `queryAnswer` (or the throttling status) and
// "cddb read" from `records`; every request is recorded by the stub.
class FakeCddb {
public:
    HttpStub stub;
    QByteArray queryAnswer = "202 No match for disc ID\r\n";
    QHash<QString, QByteArray> queryAnswers; // by disc id, before queryAnswer
    int status = 200;                        // 503 and friends: throttled
    QHash<QString, FakeRecord> records;

    bool listen() {
        stub.setHandler([this](const HttpStubRequest& r) { return answer(r); });
        return stub.listen();
    }

    void add(const FakeRecord& record) {
        records.insert(record.category + '/' + record.discId, record);
    }
    // Knows `record` and names it as the one exact match of every query.
    void answerExactly(const FakeRecord& record) {
        add(record);
        queryAnswer = "200 " + matchLine(record) + "\r\n";
    }

    // The commands received, as "cddb query ..." / "cddb read ..." texts.
    QStringList commands() const {
        QStringList out;
        for (const HttpStubRequest& r : stub.requests())
            out.append(commandOf(r));
        return out;
    }

    static QByteArray matchLine(const FakeRecord& r) {
        return (r.category + ' ' + r.discId + ' ' + r.artist + " / " + r.title).toUtf8();
    }

private:
    static QString commandOf(const HttpStubRequest& r) {
        const QUrl url(QString::fromLatin1(r.target));
        QString query = url.query(QUrl::FullyEncoded);
        for (const QString& part : query.split('&'))
            if (part.startsWith("cmd="))
                return QUrl::fromPercentEncoding(part.mid(4).replace('+', ' ').toLatin1());
        return {};
    }

    HttpStubReply answer(const HttpStubRequest& request) {
        if (status != 200)
            return HttpStubReply::text("Slow down\r\n", status, "Service Unavailable");
        if (request.method == "POST")
            return HttpStubReply::text("200 OK, submission has been sent.\r\n");
        const QStringList words = commandOf(request).split(' ');
        if (words.value(1) == "query")
            return HttpStubReply::text(queryAnswers.value(words.value(2), queryAnswer));
        const QString key = words.value(2) + '/' + words.value(3);
        if (words.value(1) != "read" || !records.contains(key))
            return HttpStubReply::text("401 No such CD entry in database\r\n");
        const FakeRecord& r = records.value(key);
        QByteArray body = "210 " + r.category.toUtf8() + ' ' + r.discId.toUtf8() +
                          " CD database entry follows (until terminating `.')\r\n";
        body += "# xmcd\r\n#\r\nDISCID=" + r.discId.toUtf8() + "\r\n";
        body += "DTITLE=" + (r.artist + " / " + r.title).toUtf8() + "\r\n";
        body += "DYEAR=1999\r\nDGENRE=Test\r\n";
        for (int i = 0; i < r.tracks.size(); ++i)
            body += "TTITLE" + QByteArray::number(i) + '=' + r.tracks.at(i).toUtf8() + "\r\n";
        body += "EXTD=\r\nPLAYORDER=\r\n.\r\n";
        return HttpStubReply::text(body);
    }
};

// Options that read CDDB records from `folder` instead of a server (nobody listens on the port).
inline CddbOptions offlineCddb(const QString& folder) {
    CddbOptions o;
    o.scheme = "http";
    o.server = "127.0.0.1";
    o.port = HttpStub::closedPort();
    o.offlineFolder = folder;
    o.offlineMode = CddbOptions::Offline::Instead;
    return o;
}

// Slot 1's table in tests/data/ops/library.json (tocOf(1)), as the CDDB menu's tests use it.
inline const QStringList kSlot1Toc{"00:02:00", "04:00:10", "07:30:00", "11:00:00", "15:20:40"};

// The changer rig, the fake server, a client on it and the service under test.
struct LookupRig : OpsRig {
    FakeCddb cddb;
    CddbClient client;
    ScriptedChooser chooser;
    MbClient musicBrainz;
    CddbLookupService service{link, config, ui, client, musicBrainz, chooser};

    // Changer, server and client up, and the master file holding `master` when given.
    bool startAll(const QList<DiscRecord>& master = {}) {
        if (!start() || !cddb.listen())
            return false;
        CddbOptions o;
        o.scheme = "http";
        o.server = "127.0.0.1";
        o.port = cddb.stub.port();
        o.timeoutMs = 5000;
        client.setOptions(o);
        discdata::MasterFileBuilder builder(config.settings.dataDir);
        for (const DiscRecord& d : master)
            builder.addBlock(d);
        return master.isEmpty() || builder.commit();
    }
};

} // namespace tf::test
