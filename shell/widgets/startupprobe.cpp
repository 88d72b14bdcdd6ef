#include "shell/widgets/startupprobe.h"

#include "shell/widgets/application.h"
#include "shell/widgets/mainwindow.h"

#include <QElapsedTimer>
#include <QEvent>
#include <QFile>

#include <cstdio>
#include <cstdlib>

namespace tf {

namespace {

qint64 peakResidentKib() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

class FirstPaint : public QObject {
public:
    FirstPaint(Application& shell, const QElapsedTimer& clock)
        : QObject(&shell), m_shell(shell), m_clock(clock) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            std::printf("startup-probe shown-ms=%lld splash-ms=%lld peak-kib=%lld\n",
                        static_cast<long long>(m_clock.elapsed()),
                        static_cast<long long>(m_shell.splashWaitedMs()),
                        static_cast<long long>(peakResidentKib()));
            std::fflush(stdout);
            std::_Exit(0); // a measurement run: nothing to save, nothing to tidy
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Application& m_shell;
    QElapsedTimer m_clock;
};

} // namespace

void installStartupProbe(Application& shell) {
    if (!qEnvironmentVariableIsSet("TRACKFEN_STARTUP_PROBE"))
        return;
    QElapsedTimer clock;
    clock.start();
    auto* probe = new FirstPaint(shell, clock);
    QObject::connect(&shell, &Application::mainWindowCreated, probe,
                     [probe](MainWindow* window) { window->installEventFilter(probe); });
}

} // namespace tf
