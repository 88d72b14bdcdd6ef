// The desktop media player: how soon a pushed play status that the audio tab draws reaches a
// client on the session bus as PropertiesChanged. Run under dbus-run-session (bench/run does).
//   bench_mpris [--quick]

#include "bench/benchcommon.h"
#include "common/programrig.h"
#include "playback/widgets/audiotab.h"

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QVariantMap>

using namespace tf;

namespace {

// A client on its own connection, as a desktop shell is: notes when the new track arrives.
class Client : public QObject {
    Q_OBJECT
public:
    QElapsedTimer* clock = nullptr;
    double receivedMs = -1;

public slots:
    void changed(const QString&, const QVariantMap& values, const QStringList&) {
        if (values.contains(QStringLiteral("Metadata")) && receivedMs < 0)
            receivedMs = double(clock->nsecsElapsed()) / 1e6;
    }
};

} // namespace

int main(int argc, char* argv[]) {
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::Report report(bench::quickRun(argc, argv));
    test::ProgramRig program;
    if (!program.start()) {
        std::fprintf(stderr, "bench_mpris: the program did not start: %s\n",
                     qPrintable(program.sim.lastError()));
        return 1;
    }
    QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "bench");
    Client client;
    QElapsedTimer clock;
    client.clock = &clock;
    if (!bus.connect(QStringLiteral("org.mpris.MediaPlayer2.trackfen"),
                     QStringLiteral("/org/mpris/MediaPlayer2"),
                     QStringLiteral("org.freedesktop.DBus.Properties"),
                     QStringLiteral("PropertiesChanged"), &client,
                     SLOT(changed(QString, QVariantMap, QStringList)))) {
        std::fprintf(stderr, "bench_mpris: no session bus\n");
        return 1;
    }

    // The changer's own "next track" key: from the audio tab drawing the new track number to
    // the client holding the signal.
    auto* track = program.audio()->findChild<QLineEdit*>(QStringLiteral("txtTRACK"));
    QList<double> latencies;
    for (int i = 0; i < 8 && track; ++i) {
        double drawnMs = -1;
        client.receivedMs = -1;
        clock.start();
        const auto drawn = QObject::connect(track, &QLineEdit::textChanged, [&] {
            if (drawnMs < 0)
                drawnMs = double(clock.nsecsElapsed()) / 1e6;
        });
        program.sim.ok(QStringLiteral("key next"));
        QEventLoop loop;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (client.receivedMs >= 0 && drawnMs >= 0)
                loop.quit();
        });
        poll.start(1);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        QObject::disconnect(drawn);
        if (drawnMs >= 0 && client.receivedMs >= 0)
            latencies.append(client.receivedMs - drawnMs);
        bench::idleFor(300);
    }
    const double median = bench::percentile(latencies, 50);
    report.add(QStringLiteral("pushed track change, audio tab redraw to PropertiesChanged at a "
                              "bus client, median"),
               bench::number(median, 2) + " ms", "<= 16 ms (one pass)",
               latencies.size() == 8 && median <= 16.0);
    return report.failed() ? 2 : 0;
}

#include "bench_mpris.moc"
