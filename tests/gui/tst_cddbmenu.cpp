// The CDDB menu's commands on the disc of the last lookup, with the real windows, a CDDB
// server on loopback and changer-sim: extended info, update info and submit changes, new
// disc submit, the submission guards and the music browser. (The menu in the whole program
// is gui.tst_program's.)

#include "base/catalogue.h"
#include "integration/tst_lookupflow_fixture.h"
#include "lookup/cddbsettings.h"
#include "lookup/widgets/cddbmenu.h"
#include "lookup/widgets/discinfodialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

using namespace tf;
using namespace tf::test;

namespace {

const QString kSlot1Id = cddbIdText(kSlot1Toc);

FakeRecord slot1Record() {
    return {"rock", kSlot1Id, "The Loopbacks", "Localhost Live", {"Ping", "Pong", "Echo", "Reply"}};
}

// What the user does in the disc information window once it is up.
struct DiscInfoEdit {
    QString artist;     // null: leave
    QString title;      // null: leave
    QStringList tracks; // empty: leave
    QString category;   // empty: leave
    bool ok = true;     // OK or Cancel/Close
};

void whenDiscInfo(const DiscInfoEdit& edit, QString* seenArtist = nullptr) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<DiscInfoDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto* artist = dialog->findChild<QLineEdit*>("txtArtist");
        if (seenArtist)
            *seenArtist = artist->text();
        if (!edit.artist.isNull())
            artist->setText(edit.artist);
        if (!edit.title.isNull())
            dialog->findChild<QLineEdit*>("txtTitle")->setText(edit.title);
        auto* grid = dialog->findChild<QTableWidget*>("grdTracks");
        for (int i = 0; i < edit.tracks.size() && i < grid->rowCount(); ++i)
            grid->item(i, 0)->setText(edit.tracks.at(i));
        if (!edit.category.isEmpty())
            dialog->findChild<QComboBox*>("cmbCategory")->setCurrentText(edit.category);
        if (auto* ok = dialog->findChild<QPushButton*>("cmdOK"); ok && edit.ok)
            ok->click();
        else
            dialog->reject();
    });
}

struct MenuRig : LookupRig {
    WindowLookupChooser windows;
    CddbMenu menu{service, client, windows, ui};
    QList<QUrl> opened;
    QList<int> changedFiles;

    bool startMenu() {
        if (!startAll({discRecord(1, kSlot1Toc)}))
            return false;
        CddbOptions o = client.options();
        o.email = "listener@example.org";
        client.setOptions(o);
        menu.setUrlOpener([this](const QUrl& url) {
            opened.append(url);
            return true;
        });
        menu.setDiscFileChanged([this](int slot) { changedFiles.append(slot); });
        return true;
    }
    QList<HttpStubRequest> posts() const {
        QList<HttpStubRequest> out;
        for (const HttpStubRequest& r : cddb.stub.requests())
            if (r.method == "POST")
                out.append(r);
        return out;
    }
    bool told(const QString& part) const { return ui.texts("message").join('|').contains(part); }
};

} // namespace

class TestCddbMenu : public QObject {
    Q_OBJECT
private slots:
    // Extended info needs a match. Submit Changes sends only an edit made with Update Info: not
    // one the options window replaced, nor one the record or the options refuse (told before
    // anything is sent); once mended, the edited disc goes, once. Then New Disc Submit and the
    // music browser on the same looked-up disc.
    void submitChanges() {
        MenuRig rig;
        QVERIFY(rig.startMenu());
        rig.menu.mnuCDDB2_EXI_Click(); // before any lookup
        QCOMPARE(rig.ui.texts("message"), QStringList{msg(msgid::NoMatchesForDisc)});
        rig.cddb.answerExactly(slot1Record());
        QVERIFY(rig.service.Web_search_CDDB(1));
        QString artist;
        whenDiscInfo({QString(), QString(), {}, {}, false}, &artist);
        rig.menu.mnuCDDB2_EXI_Click();
        QCOMPARE(artist, QString("The Loopbacks"));
        QCOMPARE(rig.ui.texts("message").size(), 1);

        rig.menu.mnuCDDB2_SMI_Click();                      // nothing edited yet
        whenDiscInfo({QString(), QString(), {}, {}, true}); // OK without a change
        rig.menu.mnuCDDB2_UDI_Click();
        QVERIFY(rig.menu.infoResult != CddbMenu::kInfoChanged);
        rig.menu.mnuCDDB2_SMI_Click();
        whenDiscInfo({"The Loopbacks Band", QString(), {}, {}, true});
        rig.menu.mnuCDDB2_UDI_Click();
        QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged);
        rig.menu.setPasswordStore(PasswordStore::privateFile(rig.dir.path() + "/secret"));
        QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
        rig.menu.mnuCDDB2_OPT_Click();
        QCOMPARE(rig.menu.infoResult, CddbMenu::kOptionsCancelled);
        rig.menu.mnuCDDB2_SMI_Click();
        QVERIFY(rig.posts().isEmpty());

        // Which discs the record format refuses is tst_cddbprotocol's table; here one refusal for
        // the disc and one for the options: artist, e-mail address, what the user is told.
        const QList<QStringList> refusals{{"", "a@b.org", "no artist"},
                                          {"The Loopbacks", "", "e-mail address"}};
        CddbOptions o = rig.client.options();
        for (const QStringList& refusal : refusals) {
            o.email = refusal.at(1);
            rig.client.setOptions(o);
            rig.ui.shown.clear();
            whenDiscInfo({refusal.at(0), "Live!", {}, {}, true});
            rig.menu.mnuCDDB2_UDI_Click();
            QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged);
            rig.menu.mnuCDDB2_SMI_Click();
            QVERIFY(rig.posts().isEmpty());
            QVERIFY2(rig.told("The disc was not sent.") && rig.told(refusal.at(2)),
                     qPrintable(rig.ui.texts("message").join('|')));
            QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged); // can be sent once mended
        }

        o.email = "listener@example.org";
        rig.client.setOptions(o);
        whenDiscInfo({QString(), QString(), {"Ping", "Pong (live)", "Echo", "Reply"}, {}, true});
        rig.menu.mnuCDDB2_UDI_Click();
        const int before = int(rig.cddb.commands().size());
        rig.menu.mnuCDDB2_SMI_Click();
        // The request's bytes are tst_cddbclient's; here that the edited disc is what goes.
        QCOMPARE(rig.posts().size(), 1);
        QCOMPARE(rig.posts().first().header("Category"), QByteArray("rock"));
        QVERIFY(rig.posts().first().body.contains("TTITLE1=Pong (live)\n"));
        QVERIFY(rig.ui.texts("message").contains(msg(msgid::DiscWasSent)));
        // The lookup ran again for the same disc and the slot's file was shown anew.
        QCOMPARE(rig.cddb.commands().size(), before + 2 + 1); // POST, query, read
        QCOMPARE(rig.changedFiles, QList<int>{1});
        rig.menu.mnuCDDB2_SMI_Click(); // sent once: nothing more goes
        QCOMPARE(rig.posts().size(), 1);

        // New Disc Submit starts from the looked-up names; the category is chosen anew.
        whenDiscInfo({QString(), QString(), {}, "jazz", false}); // Cancel sends nothing
        rig.menu.mnuCDDB2_NSM_Click();
        QCOMPARE(rig.posts().size(), 1);
        whenDiscInfo({QString(), "Localhost Live (2nd pressing)", {}, "jazz", true}, &artist);
        rig.menu.mnuCDDB2_NSM_Click();
        QCOMPARE(artist, QString("The Loopbacks"));
        QCOMPARE(rig.posts().size(), 2);
        QCOMPARE(rig.posts().last().header("Category"), QByteArray("jazz"));
        QVERIFY(rig.posts().last().body.contains("Localhost Live (2nd pressing)\n"));
        QCOMPARE(rig.changedFiles, (QList<int>{1, 1}));

        // The music browser: a server of our own shows its front page, gnudb the disc's page.
        rig.menu.mnuCDDB2_MBW_Click();
        o.server = "gnudb.gnudb.org";
        rig.client.setOptions(o);
        rig.menu.mnuCDDB2_MBW_Click();
        QCOMPARE(rig.opened,
                 (QList<QUrl>{QUrl(QString("http://127.0.0.1:%1/").arg(rig.cddb.stub.port())),
                              QUrl("https://gnudb.org/cd/ro" + kSlot1Id)}));
        QCOMPARE(CddbMenu::musicBrowserUrl(o, nullptr), QUrl("https://gnudb.org/"));
    }

    void noMatchUpdateInfoMakesANewDisc() {
        MenuRig rig;
        QVERIFY(rig.startMenu());
        QVERIFY(!rig.service.Web_search_CDDB(1)); // 202: no match
        // A new disc for the table; a second edit keeps the first one's titles and adds the
        // category. (A disc without one is refused in the client as well: tst_cddbclient.)
        const QStringList tracks{"One", "Two", "Three", "Four"};
        whenDiscInfo({"New Artist", "New Album", tracks, {}, true});
        rig.menu.mnuCDDB2_UDI_Click();
        QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged);
        whenDiscInfo({QString(), QString(), {}, "misc", true});
        rig.menu.mnuCDDB2_UDI_Click();
        rig.menu.mnuCDDB2_SMI_Click();
        QCOMPARE(rig.posts().size(), 1);
        QCOMPARE(rig.posts().first().header("Category"), QByteArray("misc"));
        QVERIFY(rig.posts().first().body.contains("TTITLE3=Four\n"));
    }

    void musicBrainzResultIsCorrectedThere() {
        MenuRig rig;
        QVERIFY(rig.startAll({discRecord(1, {"00:02:00", "03:10:37", "07:01:12"})}));
        HttpStub mb;
        QVERIFY(mb.listen());
        const QByteArray reply = readAll(sourcePath("tests/data/musicbrainz/one-release.json"));
        mb.setHandler([&](const HttpStubRequest&) { return HttpStubReply::text(reply); });
        MbOptions options;
        options.order = LookupOrder::MusicBrainzOnly;
        options.scheme = "http";
        options.server = "127.0.0.1";
        options.port = mb.port();
        rig.musicBrainz.setOptions(options, rig.client.options());
        QVERIFY(rig.service.Web_search_CDDB(1));
        // The edit of the MusicBrainz titles is not sent to CDDB as a correction.
        whenDiscInfo({QString(), "Corrected", {}, {}, true});
        rig.menu.mnuCDDB2_UDI_Click();
        QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged);
        rig.menu.mnuCDDB2_SMI_Click();
        QVERIFY(rig.posts().isEmpty());
        QVERIFY2(rig.told("made on MusicBrainz"), qPrintable(rig.ui.texts("message").join('|')));
    }
};

QTEST_MAIN(TestCddbMenu)
#include "tst_cddbmenu.moc"
