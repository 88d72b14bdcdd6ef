// The changer as a desktop media player (MPRIS 2), through the whole program against
// changer-sim, seen by a client on the private session bus the test command starts.

#include "common/programrig.h"
#include "link/link.h"
#include "playback/widgets/audiotab.h"
#include "playback/widgets/statusdisplay.h"
#include "playback/widgets/transportpanel.h"
#include "shell/widgets/application.h"
#include "shell/widgets/mainwindow.h"
#include "shell/widgets/optionswindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace tf;
using test::ProgramRig;

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.trackfen");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// A second connection to the bus: what a desktop or phone bridge sees. Calls are asynchronous,
// so the program keeps running while the client waits.
class Client : public QObject {
    Q_OBJECT
public:
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "client");
    QList<QVariantMap> changes; // every PropertiesChanged of the Player interface

    Client() {
        bus.connect(kService, kPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                    SLOT(changed(QString, QVariantMap, QStringList)));
    }
    ~Client() override { QDBusConnection::disconnectFromBus("client"); }

    QDBusMessage call(const QString& interface, const QString& method, const QVariantList& args) {
        QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, interface, method);
        m.setArguments(args);
        QDBusPendingCallWatcher watch(bus.asyncCall(m));
        if (!QTest::qWaitFor([&] { return watch.isFinished(); }, 5000))
            return {};
        return watch.reply();
    }
    QVariant get(const QString& name) {
        const QDBusMessage r = call(kProperties, QStringLiteral("Get"), {kPlayer, name});
        return r.arguments().isEmpty() ? QVariant()
                                       : r.arguments().first().value<QDBusVariant>().variant();
    }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(get(QStringLiteral("Metadata"))); }
    void method(const QString& name) { call(kPlayer, name, {}); }
    // How many signals carried this value of the property.
    int signalled(const QString& name, const QVariant& value) const {
        int n = 0;
        for (const QVariantMap& c : changes)
            n += c.contains(name) && c.value(name) == value;
        return n;
    }

public slots:
    void changed(const QString& interface, const QVariantMap& values, const QStringList&) {
        if (interface == kPlayer)
            changes << values;
    }
};

} // namespace

class TestMpris : public QObject {
    Q_OBJECT

    ProgramRig* m_p = nullptr;
    Client* m_client = nullptr;

    // Nothing moves: the simulator has nothing to push, the tab has drawn the playing track
    // and the link is free. (A command while the changer pushes is ignored, as a click is.)
    bool settled() {
        const Link& link = m_p->app->link();
        return QTest::qWaitFor(
            [&] {
                const PlayValues v = link.playValues();
                const DrawnPlay d = m_p->audio()->statusDisplay()->drawn();
                const QJsonObject sim = m_p->sim.dump();
                return sim.value("engine") == "idle" && sim.value("queuedPushes") == 0 &&
                       v.TocReadyDisc != 0 && d.disc == v.TocReadyDisc && d.track == v.PlayTrack &&
                       link.linkBusy() == kLinkIdle && !link.commandInProgress();
            },
            10000);
    }
    // The changer's own panel takes it to this state.
    bool reach(const QString& status) {
        const QStringList keys{"stop", "play", "pause"}, shown{"Stopped", "Playing", "Paused"};
        for (int i = 0; i < keys.size(); ++i) {
            if (!m_p->sim.ok("key " + keys[i]) ||
                !QTest::qWaitFor([&] { return m_client->get("PlaybackStatus") == shown[i]; },
                                 10000) ||
                !settled())
                return false;
            if (shown[i] == status)
                return true;
        }
        return false;
    }

private slots:
    void initTestCase() {
        m_p = new ProgramRig;
        QVERIFY2(m_p->start(), qPrintable(m_p->sim.lastError()));
        m_client = new Client;
        QTRY_VERIFY_WITH_TIMEOUT(m_client->get(QStringLiteral("CanPlay")).toBool(), 5000);
        // Track up and down take presses once the tab's first two seconds are over.
        QTRY_VERIFY_WITH_TIMEOUT(!m_p->audio()->transport()->continueDisable().isActive(), 3000);
    }
    void cleanupTestCase() {
        delete m_client;
        delete m_p;
    }

    // The changer's own panel changes how it plays; the desktop follows what it pushes, with
    // one signal for each change. (Rows run in order, each from the state of the last; the
    // play state follows as reach() waits for it.)
    void propertiesFollowPushedStatus_data() {
        QTest::addColumn<QString>("panelKey");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("signalCount");
        const auto row = [](const char* name, const char* key, const char* property,
                            const QVariant& value, int signalCount) {
            QTest::newRow(name) << QString(key) << QString(property) << value << signalCount;
        };
        row("repeat on", "repeat", "LoopStatus", "Playlist", 1);
        row("repeat off", "repeat", "LoopStatus", "None", 1);
        row("one-disc random", "random", "Shuffle", true, 1);
        row("all-disc random", "random", "Shuffle", true, 0);
        row("random off", "random", "Shuffle", false, 1);
    }
    void propertiesFollowPushedStatus() {
        QFETCH(QString, panelKey);
        QFETCH(QString, property);
        QFETCH(QVariant, value);
        QFETCH(int, signalCount);
        const int before = m_client->signalled(property, value);
        const int mode = m_p->app->link().playValues().PlayMode;
        QVERIFY(m_p->sim.ok("key " + panelKey));
        if (panelKey == "random") // the play mode moves on even when Shuffle does not
            QTRY_VERIFY(m_p->app->link().playValues().PlayMode != mode);
        QTRY_COMPARE_WITH_TIMEOUT(m_client->get(property), value, 5000);
        QTRY_COMPARE(m_client->signalled(property, value), before + signalCount);
    }

    // Disc 1's titles come from the sample database at start-up; disc 2 gets its file from its
    // CD TEXT: full-length titles, "Artist / Title" (as the title file holds them: the CD TEXT
    // came without its accents).
    void metadataFromTheLibrary() {
        const auto fields = [&] {
            const QVariantMap m = m_client->metadata();
            return QStringList{m.value("mpris:trackid").value<QDBusObjectPath>().path(),
                               m.value("xesam:title").toString(),
                               m.value("xesam:album").toString(),
                               m.value("xesam:genre").toStringList().join('|'),
                               m.value("xesam:trackNumber").toString(),
                               m.value("xesam:artist").toStringList().join('|'),
                               m.value("xesam:albumArtist").toStringList().join('|')};
        };
        QCOMPARE(fields().first(6), (QStringList{"/org/trackfen/disc/1/track/1",
                                                 "Low Tide Overture", "Harbour Lights: Live 1998",
                                                 "Rock Music", "1", "The Tidewater Assembly"}));
        QVERIFY(m_p->sim.ok("load 2 3"));
        QTRY_COMPARE_WITH_TIMEOUT(m_client->metadata().value("xesam:trackNumber").toInt(), 3,
                                  15000);
        const QString artist = QStringLiteral("H?l?ne Marchetti-Duval");
        QCOMPARE(fields().mid(1, 2),
                 (QStringList{"D?j? l'?t?", "Chansons pour une ville endormie"}));
        QCOMPARE(fields().mid(5), (QStringList{artist, artist}));
        QVERIFY(m_p->idle());
    }

    // Each command sends the audio tab's key codes, only when the state needs them.
    // (Repeat and random rows run in order, from both off.)
    void methodsSendTheirCodes_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QVariant>("setTo");
        QTest::addColumn<QStringList>("codes");
        const auto row = [](const char* name, const char* from, const char* method,
                            const QVariant& setTo, const QStringList& codes) {
            QTest::newRow(name) << QString(from) << QString(method) << setTo << codes;
        };
        const QVariant call;
        row("Play, stopped", "Stopped", "Play", call, {"a0 cb"});
        row("Play, playing", "Playing", "Play", call, {});
        row("Pause, playing", "Playing", "Pause", call, {"a0 cb"});
        row("Pause, paused", "Paused", "Pause", call, {});
        row("PlayPause", "Paused", "PlayPause", call, {"a0 cb"});
        row("Next", "Playing", "Next", call, {"a0 cf", "ff ff"});
        row("Previous", "Playing", "Previous", call, {"a0 ce", "ff ff"});
        row("Stop", "Playing", "Stop", call, {"a0 c9"});
        row("Seek", "Playing", "Seek", call, {});
        row("loop on", "Stopped", "LoopStatus", "Track", {"a0 cc"});
        row("loop kept", "Stopped", "LoopStatus", "Playlist", {});
        row("shuffle on", "Stopped", "Shuffle", true, {"a1 d4"});
        row("shuffle kept", "Stopped", "Shuffle", true, {});
    }
    void methodsSendTheirCodes() {
        QFETCH(QString, from);
        QFETCH(QString, method);
        QFETCH(QVariant, setTo);
        QFETCH(QStringList, codes);
        QVERIFY(reach(from));
        const int before = int(m_p->keyCodes().size());
        if (setTo.isValid())
            m_client->call(kProperties, QStringLiteral("Set"),
                           {kPlayer, method, QVariant::fromValue(QDBusVariant(setTo))});
        else if (method == "Seek")
            m_client->call(kPlayer, method, {qlonglong(1000000)});
        else
            m_client->method(method);
        if (codes.isEmpty()) { // then Stop, whose code must be the only one
            QVERIFY(settled());
            m_client->method(QStringLiteral("Stop"));
            codes = QStringList{QStringLiteral("a0 c9")};
        }
        QVERIFY(
            QTest::qWaitFor([&] { return m_p->keyCodes().size() >= before + codes.size(); }, 5000));
        QVERIFY(m_p->idle());
        QCOMPARE(m_p->keyCodes().mid(before), codes);
        if (setTo.isValid()) // drawn before the next row decides on it
            QTRY_COMPARE_WITH_TIMEOUT(m_client->get(method),
                                      setTo.toString() == "Track" ? QVariant("Playlist") : setTo,
                                      5000);
    }

    void theOptionWithdrawsAndPublishes() {
        auto published = [&] {
            const QDBusMessage r = m_client->bus.interface()->call("NameHasOwner", kService);
            return r.arguments().value(0).toBool();
        };
        QVERIFY(published());
        for (const bool on : {false, true}) {
            m_p->window->findChild<QAction*>("mnuopt")->trigger();
            OptionsWindow* options = m_p->window->optionsWindow();
            options->Form_Load();
            options->findChild<QCheckBox*>("chkMediaPlayer")->setChecked(on);
            options->cmdOK_Click();
            QCOMPARE(published(), on);
        }
    }
};

int main(int argc, char** argv) {
    // Personal settings go to a folder of this test, never the user's own.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    QApplication app(argc, argv);
    TestMpris test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_mpris.moc"
