// The CDDB menu's commands on the disc of the last lookup, with the real windows, a CDDB
// server on loopback and changer-sim: extended info, update info and submit changes, new
// disc submit, the submission guards and the music browser.

#include "base/catalogue.h"
#include "integration/tst_lookupflow_fixture.h"
#include "lookup/cddbsettings.h"
#include "lookup/widgets/cddbmenu.h"
#include "lookup/widgets/discinfodialog.h"
#include "shell/widgets/application.h"
#include "shell/widgets/composition.h"
#include "shell/widgets/mainwindow.h"
#include "store/discfile.h"
#include "store/usersettings.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
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
    QString artist;     // empty: leave
    QString title;      // empty: leave
    QStringList tracks; // empty: leave
    QString category;   // empty: leave
    bool ok = true;     // OK or Cancel/Close
};

void whenDiscInfo(const DiscInfoEdit& edit, QString* seenArtist = nullptr,
                  bool* readOnly = nullptr) {
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<DiscInfoDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog);
        auto* artist = dialog->findChild<QLineEdit*>("txtArtist");
        if (seenArtist)
            *seenArtist = artist->text();
        if (readOnly)
            *readOnly = artist->isReadOnly();
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
        if (!startAll())
            return false;
        CddbOptions o = client.options();
        o.email = "listener@example.org";
        client.setOptions(o);
        menu.setUrlOpener([this](const QUrl& url) {
            opened.append(url);
            return true;
        });
        menu.setDiscFileChanged([this](int slot) { changedFiles.append(slot); });
        return writeMaster({discRecord(1, kSlot1Toc)});
    }
    void knowSlot1() {
        cddb.add(slot1Record());
        cddb.queryAnswer = "200 " + FakeCddb::matchLine(slot1Record()) + "\r\n";
    }
    QList<HttpStubRequest> posts() const {
        QList<HttpStubRequest> out;
        for (const HttpStubRequest& r : cddb.stub.requests())
            if (r.method == "POST")
                out.append(r);
        return out;
    }
    bool told(const QString& part) const {
        for (const QString& t : ui.texts("message"))
            if (t.contains(part))
                return true;
        return false;
    }
};

} // namespace

class TestCddbMenu : public QObject {
    Q_OBJECT
private slots:
    void extendedInfoNeedsAMatch();
    void submitOnlyAfterAChange();
    void optionsReplaceTheEditResult();
    void submissionGuards_data();
    void submissionGuards();
    void noMatchUpdateInfoMakesANewDisc();
    void newDiscSubmit();
    void musicBrowser_data();
    void musicBrowser();
    void wholeProgramFindsDemoDiscOffline();
    void firstRunProxyIsKept();
};

void TestCddbMenu::extendedInfoNeedsAMatch() {
    MenuRig rig;
    QVERIFY(rig.startMenu());
    rig.menu.mnuCDDB2_EXI_Click(); // before any lookup
    QCOMPARE(rig.ui.texts("message"), QStringList{msg(msgid::NoMatchesForDisc)});
    QCOMPARE(rig.ui.shown.last().title, msg(msgid::ApplicationTitle));

    rig.knowSlot1();
    QVERIFY(rig.service.Web_search_CDDB(1));
    QString artist;
    bool readOnly = false;
    whenDiscInfo({QString(), QString(), {}, {}, false}, &artist, &readOnly);
    rig.menu.mnuCDDB2_EXI_Click();
    QCOMPARE(artist, QString("The Loopbacks"));
    QVERIFY(readOnly);
    QCOMPARE(rig.ui.texts("message").size(), 1);
}

void TestCddbMenu::submitOnlyAfterAChange() {
    MenuRig rig;
    QVERIFY(rig.startMenu());
    rig.knowSlot1();
    QVERIFY(rig.service.Web_search_CDDB(1));

    rig.menu.mnuCDDB2_SMI_Click();                      // nothing edited yet
    whenDiscInfo({QString(), QString(), {}, {}, true}); // OK without a change
    rig.menu.mnuCDDB2_UDI_Click();
    QVERIFY(rig.menu.infoResult != CddbMenu::kInfoChanged);
    rig.menu.mnuCDDB2_SMI_Click();
    QVERIFY(rig.posts().isEmpty());

    whenDiscInfo({QString(), QString(), {"Ping", "Pong (live)", "Echo", "Reply"}, {}, true});
    rig.menu.mnuCDDB2_UDI_Click();
    QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged);
    const int before = int(rig.cddb.commands().size());
    rig.menu.mnuCDDB2_SMI_Click();

    QCOMPARE(rig.posts().size(), 1);
    const HttpStubRequest post = rig.posts().first();
    QCOMPARE(post.header("Category"), QByteArray("rock"));
    QCOMPARE(post.header("Discid"), kSlot1Id.toLatin1());
    QCOMPARE(post.header("User-Email"), QByteArray("listener@example.org"));
    QCOMPARE(post.header("Submit-Mode"), QByteArray("submit"));
    QCOMPARE(post.header("Charset"), QByteArray("UTF-8"));
    QCOMPARE(post.header("Content-Length").toInt(), post.body.size());
    QVERIFY(post.body.contains("DISCID=" + kSlot1Id.toLatin1() + "\n"));
    QVERIFY(post.body.contains("DTITLE=The Loopbacks / Localhost Live\n"));
    QVERIFY(post.body.contains("TTITLE1=Pong (live)\n"));
    QVERIFY(post.body.contains("# Revision: 0\n"));
    QVERIFY(rig.ui.texts("message").contains(msg(msgid::DiscWasSent)));
    // The lookup ran again for the same disc and the slot's file was shown anew.
    QCOMPARE(rig.cddb.commands().size(), before + 2 + 1); // POST, query, read
    QCOMPARE(rig.changedFiles, QList<int>{1});
    // Sent once: a second Submit Changes sends nothing more.
    rig.menu.mnuCDDB2_SMI_Click();
    QCOMPARE(rig.posts().size(), 1);
}

void TestCddbMenu::optionsReplaceTheEditResult() {
    MenuRig rig;
    QVERIFY(rig.startMenu());
    rig.knowSlot1();
    QVERIFY(rig.service.Web_search_CDDB(1));
    whenDiscInfo({"The Loopbacks Band", QString(), {}, {}, true});
    rig.menu.mnuCDDB2_UDI_Click();
    QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged);
    rig.menu.setPasswordStore(PasswordStore::privateFile(rig.dir.path() + "/secret"));
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    rig.menu.mnuCDDB2_OPT_Click();
    QCOMPARE(rig.menu.infoResult, CddbMenu::kOptionsCancelled);
    rig.menu.mnuCDDB2_SMI_Click();
    QVERIFY(rig.posts().isEmpty());
}

void TestCddbMenu::submissionGuards_data() {
    QTest::addColumn<QString>("artist");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("tracks");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("why");

    const QStringList named{"Ping", "Pong", "Echo", "Reply"};
    QTest::newRow("no artist") << ""
                               << "Localhost Live" << named << "a@b.org"
                               << "no artist";
    QTest::newRow("no title") << "The Loopbacks"
                              << "  " << named << "a@b.org"
                              << "no title";
    QTest::newRow("default track titles")
        << "The Loopbacks"
        << "Live" << QStringList{"Track 1", "track 2", "Track 03", ""} << "a@b.org"
        << "no titles of their own";
    QTest::newRow("no e-mail") << "The Loopbacks"
                               << "Live!" << named << ""
                               << "e-mail address";
}

void TestCddbMenu::submissionGuards() {
    QFETCH(QString, artist);
    QFETCH(QString, title);
    QFETCH(QStringList, tracks);
    QFETCH(QString, email);
    QFETCH(QString, why);
    MenuRig rig;
    QVERIFY(rig.startMenu());
    CddbOptions o = rig.client.options();
    o.email = email;
    rig.client.setOptions(o);
    rig.knowSlot1();
    QVERIFY(rig.service.Web_search_CDDB(1));
    whenDiscInfo({artist, title, tracks, {}, true});
    rig.menu.mnuCDDB2_UDI_Click();
    QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged);
    rig.menu.mnuCDDB2_SMI_Click();
    QVERIFY(rig.posts().isEmpty());
    QVERIFY2(rig.told("The disc was not sent."), qPrintable(rig.ui.texts("message").join('|')));
    QVERIFY2(rig.told(why), qPrintable(rig.ui.texts("message").join('|')));
    QVERIFY(!rig.told(msg(msgid::DiscWasSent)));
    QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged); // can be sent once mended
}

void TestCddbMenu::noMatchUpdateInfoMakesANewDisc() {
    MenuRig rig;
    QVERIFY(rig.startMenu());
    QVERIFY(!rig.service.Web_search_CDDB(1)); // 202: no match
    QCOMPARE(rig.service.lastMatchCode, kMatchNone);
    rig.menu.mnuCDDB2_EXI_Click();
    QVERIFY(rig.ui.texts("message").contains(msg(msgid::NoMatchesForDisc)));

    // A new disc: no category yet, so the first try is refused with the reason.
    const QStringList tracks{"One", "Two", "Three", "Four"};
    whenDiscInfo({"New Artist", "New Album", tracks, {}, true});
    rig.menu.mnuCDDB2_UDI_Click();
    QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged);
    QVERIFY(rig.service.currentDisc);
    QCOMPARE(rig.service.currentDisc->trackTitles, tracks);
    rig.menu.mnuCDDB2_SMI_Click();
    QVERIFY(rig.told("CDDB categories"));
    QVERIFY(rig.posts().isEmpty());

    whenDiscInfo({QString(), QString(), {}, "misc", true});
    rig.menu.mnuCDDB2_UDI_Click();
    QCOMPARE(rig.menu.infoResult, CddbMenu::kInfoChanged);
    rig.menu.mnuCDDB2_SMI_Click();
    QCOMPARE(rig.posts().size(), 1);
    QCOMPARE(rig.posts().first().header("Category"), QByteArray("misc"));
    QVERIFY(rig.posts().first().body.contains("TTITLE3=Four\n"));
    QVERIFY(rig.posts().first().body.contains("#\t150\n"));
}

void TestCddbMenu::newDiscSubmit() {
    MenuRig rig;
    QVERIFY(rig.startMenu());
    rig.knowSlot1();
    QVERIFY(rig.service.Web_search_CDDB(1));
    // Cancel sends nothing.
    whenDiscInfo({QString(), QString(), {}, "jazz", false});
    rig.menu.mnuCDDB2_NSM_Click();
    QVERIFY(rig.posts().isEmpty());
    // The window starts from the looked-up names; the category is chosen anew.
    QString artist;
    whenDiscInfo({QString(), "Localhost Live (2nd pressing)", {}, "jazz", true}, &artist);
    rig.menu.mnuCDDB2_NSM_Click();
    QCOMPARE(artist, QString("The Loopbacks"));
    QCOMPARE(rig.posts().size(), 1);
    const HttpStubRequest post = rig.posts().first();
    QCOMPARE(post.header("Category"), QByteArray("jazz"));
    QVERIFY(post.body.contains("DTITLE=The Loopbacks / Localhost Live (2nd pressing)\n"));
    QVERIFY(post.body.contains("TTITLE0=Ping\n"));
    QVERIFY(post.body.contains("# Revision: 0\n"));
    QCOMPARE(rig.changedFiles, QList<int>{1});
}

void TestCddbMenu::musicBrowser_data() {
    QTest::addColumn<QString>("server");
    QTest::addColumn<bool>("lookedUp");
    QTest::addColumn<QString>("url");
    QTest::newRow("gnudb, disc known")
        << "gnudb.gnudb.org" << true << "https://gnudb.org/cd/ro" + kSlot1Id;
    QTest::newRow("gnudb, no disc") << "gnudb.gnudb.org" << false << "https://gnudb.org/";
    QTest::newRow("other server") << "127.0.0.1" << true << "http://127.0.0.1:%1/";
}

void TestCddbMenu::musicBrowser() {
    QFETCH(QString, server);
    QFETCH(bool, lookedUp);
    QFETCH(QString, url);
    MenuRig rig;
    QVERIFY(rig.startMenu());
    rig.knowSlot1();
    if (lookedUp)
        QVERIFY(rig.service.Web_search_CDDB(1));
    CddbOptions o = rig.client.options();
    o.server = server;
    rig.client.setOptions(o);
    rig.menu.mnuCDDB2_MBW_Click();
    QCOMPARE(rig.opened.size(), 1);
    if (url.contains("%1"))
        url = url.arg(rig.cddb.stub.port());
    QCOMPARE(rig.opened.first().toString(), url);
}

void TestCddbMenu::wholeProgramFindsDemoDiscOffline() {
    // The program as the demo runs it: the changer, the sample database instead of the
    // server (which is not there), the options coming from the settings store.
    QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP")).clear();
    SimProcess sim;
    QVERIFY2(sim.start(sourcePath("resources/demo-library.json")), qPrintable(sim.lastError()));
    QTemporaryDir program;
    {
        Configuration config(program.path());
        config.LOAD_CONFIG();
        QVERIFY(config.MarkProxyQuestionAnswered());
    }
    UserSettings::setComDevice(1, sim.portPath());
    {
        QSettings s(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
        s.setValue("CDDB/Server", "127.0.0.1");
        s.setValue("CDDB/Port", HttpStub::closedPort());
        s.setValue("CDDB/Scheme", "http");
        s.setValue("CDDB/OfflineFolder", sourcePath("resources/cddb-demo"));
        s.setValue("CDDB/OfflineMode", "instead");
    }

    ScriptedUi ui;
    // The start-up instructions, then No: the audio tab does not look the playing disc up, so
    // the lookup below is the last one.
    ui.answers = {UserInterface::Answer::Ok, UserInterface::Answer::No};
    Application app(program.path(), ui);
    composeProgram(app);
    app.splashDelayMs = 0;
    QVERIFY(app.start());
    QTRY_VERIFY(app.mainWindow());
    MainWindow* window = app.mainWindow();
    QTRY_VERIFY_WITH_TIMEOUT(window->tabs()->isVisible(), 10000);
    // (The playing disc may have been looked up already while the audio tab filled.)
    auto* info = window->findChild<QAction*>("mnuCDDB2_EXI");
    QStringList items;
    for (QAction* action : window->cddbMenu()->actions())
        items << action->objectName();
    QCOMPARE(items,
             (QStringList{"mnuCDDB2_ABT", "mnuSep0", "mnuCDDB2_EXI", "mnuCDDB2_UDI", "mnuCDDB2_SMI",
                          "mnuCDDB2_NSM", "mnuURL", "mnuSep1", "mnuCDDB2_OPT"}));
    QVERIFY(window->findChild<QAction*>("mnuCDDB2_ABT")->isEnabled());

    QVERIFY(app.context().lookup.Web_search_CDDB(6));
    QVERIFY(info->isEnabled());
    QVERIFY(window->findChild<QAction*>("mnuCDDB2_SMI")->isEnabled());
    const auto file = discfile::readDiscFile(app.config().dataPath("DISC6.txt"));
    QVERIFY(file);
    QCOMPARE(file->discTitle, QString("Orin Blackwell Trio / Late Set at the Copper Room"));
    QJsonObject slot6;
    for (const auto& d : sim.dump().value("discs").toArray())
        if (d.toObject().value("slot").toInt() == 6)
            slot6 = d.toObject();
    QCOMPARE(slot6.value("memoryTitle").toString(),
             QString("Orin Blackwell Trio / Lat") /* 25 characters */);

    QString artist;
    whenDiscInfo({QString(), QString(), {}, {}, false}, &artist);
    info->trigger();
    QCOMPARE(artist, QString("Orin Blackwell Trio"));
    window->close();
}

void TestCddbMenu::firstRunProxyIsKept() {
    // The proxy typed on the first run reaches the component once, through proxy.dt; the
    // component keeps it from then on, the password out of the settings file.
    QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP")).clear();
    QTemporaryDir program;
    {
        Configuration config(program.path());
        config.LOAD_CONFIG();
        QVERIFY(config.MarkProxyQuestionAnswered());
        QVERIFY(config.writeProxyHandOver({"proxy.example.org", "pa55", 3128, "alice"}));
    }
    QTemporaryDir noTty;
    UserSettings::setComDevice(1, noTty.filePath("none"));
    ScriptedUi ui;
    Application app(program.path(), ui);
    composeProgram(app);
    app.splashDelayMs = 0;
    QVERIFY(app.start());
    QTRY_VERIFY(app.mainWindow());
    QTRY_VERIFY(!QFile::exists(program.filePath("proxy.dt")));

    const CddbOptions kept = CddbSettings::load();
    QCOMPARE(kept.proxyHost, QString("proxy.example.org"));
    QCOMPARE(kept.proxyPort, 3128);
    QCOMPARE(kept.proxyUser, QString("alice"));
    QString password;
    QVERIFY(PasswordStore().read(&password));
    QCOMPARE(password, QString("pa55"));
    app.mainWindow()->close();
}

QTEST_MAIN(TestCddbMenu)
#include "tst_cddbmenu.moc"
