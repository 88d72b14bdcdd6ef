// changer-sim: a simulated CD changer on a pseudo-terminal or a serial device.
#include "sim/simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <optional>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &byte, 1);
}

void printLine(const QString& line) {
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

// A pipe, socket or terminal closing means whoever steers us has gone; a file or /dev/null
// ending only means there are no more commands.
bool quitOnEndOfInput() {
    struct stat info {};
    if (fstat(STDIN_FILENO, &info) != 0)
        return false;
    return S_ISFIFO(info.st_mode) || S_ISSOCK(info.st_mode) || isatty(STDIN_FILENO);
}

bool readNumber(const QCommandLineParser& parser, const QString& name, int min, int max,
                int* value) {
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    *value = parser.value(name).toInt(&ok);
    if (ok && *value >= min && *value <= max)
        return true;
    std::fprintf(stderr, "changer-sim: --%s takes a number from %d to %d\n", qPrintable(name), min,
                 max);
    return false;
}

// The options of the command line; nullopt (after saying why) when one is wrong.
std::optional<tf::sim::Simulator::Options> parseOptions(const QCoreApplication& app) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated 200-disc CD changer. Prints \"PTY <path>\" (or \"DEVICE <path>\") first, then "
        "answers one line per control command read from standard input."));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("library"), QStringLiteral("Library of discs (JSON)."),
         QStringLiteral("file")},
        {QStringLiteral("pty-link"),
         QStringLiteral("Symbolic link to make to the pseudo-terminal."), QStringLiteral("path")},
        {QStringLiteral("device"),
         QStringLiteral("Use this serial device instead of a pseudo-terminal."),
         QStringLiteral("path")},
        {QStringLiteral("pace"), QStringLiteral("Send at true 9600-baud 8N2 speed.")},
        {QStringLiteral("load-ms"),
         QStringLiteral("Time to load a disc (default 300, up to 45000)."), QStringLiteral("ms")},
        {QStringLiteral("think-ms"),
         QStringLiteral("Pause before answering a request (default 20)."), QStringLiteral("ms")},
        {QStringLiteral("track-ms"),
         QStringLiteral("Play each track this long (default 0: for ever)."), QStringLiteral("ms")},
        {QStringLiteral("piece"), QStringLiteral("Characters per CD TEXT piece (default 25)."),
         QStringLiteral("n")},
        {QStringLiteral("seed"),
         QStringLiteral("Seed of the random faults and random play (default 1)."),
         QStringLiteral("n")},
        {QStringLiteral("fault"),
         QStringLiteral("Switch a fault on, as the control command does "
                        "(e.g. \"checksum 0.1\"); repeatable."),
         QStringLiteral("fault")},
        {QStringLiteral("log"), QStringLiteral("Write every unit received and sent to stderr.")},
    });
    parser.process(app);

    tf::sim::Simulator::Options options;
    options.libraryPath = parser.value(QStringLiteral("library"));
    if (options.libraryPath.isEmpty()) {
        std::fprintf(stderr, "changer-sim: --library FILE is required\n");
        return std::nullopt;
    }
    options.ptyLink = parser.value(QStringLiteral("pty-link"));
    options.device = parser.value(QStringLiteral("device"));
    options.pace = parser.isSet(QStringLiteral("pace"));
    options.log = parser.isSet(QStringLiteral("log"));
    options.faults = parser.values(QStringLiteral("fault"));
    int seed = 1;
    if (!readNumber(parser, QStringLiteral("load-ms"), 0, 45000, &options.loadMs) ||
        !readNumber(parser, QStringLiteral("think-ms"), 0, 10000, &options.thinkMs) ||
        !readNumber(parser, QStringLiteral("track-ms"), 0, 3600000, &options.trackMs) ||
        !readNumber(parser, QStringLiteral("piece"), 2, 241, &options.pieceLength) ||
        !readNumber(parser, QStringLiteral("seed"), 0, 2147483647, &seed))
        return std::nullopt;
    options.seed = static_cast<quint32>(seed);
    return options;
}

// SIGINT and SIGTERM end the run cleanly (the link is removed).
void quitOnSignals(QCoreApplication& app) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalPipe) == 0) {
        std::signal(SIGINT, onSignal);
        std::signal(SIGTERM, onSignal);
        auto* signalNotifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, &app);
        QObject::connect(signalNotifier, &QSocketNotifier::activated, &app,
                         &QCoreApplication::quit);
    }
    std::signal(SIGPIPE, SIG_IGN);
}

// Answers each control command read from standard input with one line.
void serveControlLines(QCoreApplication& app, tf::sim::Simulator& simulator) {
    const bool quitAtEnd = quitOnEndOfInput();
    auto* input = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QObject::connect(input, &QSocketNotifier::activated, &app,
                     [input, quitAtEnd, &simulator, pending = QByteArray()]() mutable {
                         char buffer[4096];
                         const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
                         if (n <= 0) {
                             input->setEnabled(false);
                             if (quitAtEnd)
                                 QCoreApplication::quit();
                             return;
                         }
                         pending.append(buffer, n);
                         constexpr qsizetype kMaxLine = 64 * 1024;
                         if (pending.indexOf('\n') < 0 && pending.size() > kMaxLine) {
                             pending.clear();
                             printLine(QStringLiteral("ERR line too long"));
                             return;
                         }
                         qsizetype end;
                         while ((end = pending.indexOf('\n')) >= 0) {
                             const QString line = QString::fromUtf8(pending.left(end)).trimmed();
                             pending.remove(0, end + 1);
                             if (line.isEmpty())
                                 continue;
                             bool quit = false;
                             printLine(simulator.command(line, &quit));
                             if (quit) {
                                 input->setEnabled(false);
                                 QCoreApplication::quit();
                                 return;
                             }
                         }
                     });
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("changer-sim"));
    const auto options = parseOptions(app);
    if (!options)
        return 2;

    tf::sim::Simulator simulator;
    QObject::connect(&simulator, &tf::sim::Simulator::logLine, [](const QString& line) {
        std::fprintf(stderr, "%s\n", line.toUtf8().constData());
    });
    QString error;
    if (!simulator.start(*options, &error)) {
        std::fprintf(stderr, "changer-sim: %s\n", error.toUtf8().constData());
        return 2;
    }
    printLine(QStringLiteral("%1 %2").arg(simulator.usesPty() ? QStringLiteral("PTY")
                                                              : QStringLiteral("DEVICE"),
                                          simulator.portPath()));
    quitOnSignals(app);
    serveControlLines(app, simulator);

    const int result = app.exec();
    simulator.shutdown();
    return result;
}
