#include "common/simprocess.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <termios.h>
#include <unistd.h>

namespace tf::test {

namespace {

// Runs an event loop until `arm` makes it quit or `timeoutMs` have passed.
void spin(qint64 timeoutMs, const std::function<void(QEventLoop&)>& arm) {
    QEventLoop loop;
    QTimer::singleShot(int(qMax<qint64>(1, timeoutMs)), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    arm(loop);
    loop.exec();
}

} // namespace

SimProcess::SimProcess() {
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
}

SimProcess::~SimProcess() {
    stop(2000);
}

QString SimProcess::executable() {
#ifdef TRACKFEN_CHANGER_SIM
    return QStringLiteral(TRACKFEN_CHANGER_SIM);
#else
    return QString();
#endif
}

bool SimProcess::start(const QString& libraryPath, const QStringList& options, int timeoutMs) {
    m_output.clear();
    m_errors.clear();
    m_portPath.clear();
    if (executable().isEmpty()) {
        m_lastError = QStringLiteral("this build has no changer-sim");
        return false;
    }
    m_process.start(executable(), QStringList{QStringLiteral("--library"), libraryPath} + options);
    QString line;
    if (!readLine(&line, timeoutMs)) {
        m_lastError = QStringLiteral("changer-sim did not start: %1 %2")
                          .arg(m_process.errorString(), QString::fromUtf8(errorOutput()));
        return false;
    }
    const QStringList words = line.split(QLatin1Char(' '));
    if (words.size() != 2 ||
        (words.at(0) != QLatin1String("PTY") && words.at(0) != QLatin1String("DEVICE"))) {
        m_lastError = QStringLiteral("unexpected first line: %1").arg(line);
        return false;
    }
    m_portPath = words.at(1);
    return true;
}

bool SimProcess::readLine(QString* line, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        m_output += m_process.readAllStandardOutput();
        const qsizetype end = m_output.indexOf('\n');
        if (end >= 0) {
            *line = QString::fromUtf8(m_output.left(end)).trimmed();
            m_output.remove(0, end + 1);
            return true;
        }
        if (m_process.state() == QProcess::NotRunning || deadline.hasExpired())
            return false;
        if (m_process.bytesAvailable() == 0)
            spin(deadline.remainingTime(), [this](QEventLoop& loop) {
                QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &loop,
                                 &QEventLoop::quit);
                QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
                QObject::connect(&m_process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
            });
    }
}

QString SimProcess::command(const QString& line, int timeoutMs) {
    if (!isRunning()) {
        m_lastError = QStringLiteral("changer-sim is not running");
        return QString();
    }
    m_process.write(line.toUtf8() + '\n');
    QString answer;
    if (!readLine(&answer, timeoutMs)) {
        m_lastError = QStringLiteral("no answer to \"%1\"").arg(line);
        return QString();
    }
    if (!answer.startsWith(QLatin1String("OK")))
        m_lastError = answer;
    return answer;
}

bool SimProcess::ok(const QString& line, int timeoutMs) {
    return command(line, timeoutMs).startsWith(QLatin1String("OK"));
}

QJsonObject SimProcess::dump(int timeoutMs) {
    const QString answer = command(QStringLiteral("dump"), timeoutMs);
    if (!answer.startsWith(QLatin1String("OK ")))
        return {};
    return QJsonDocument::fromJson(answer.mid(3).toUtf8()).object();
}

QJsonObject SimProcess::disc(int slot) {
    for (const QJsonValue& d : dump().value(QStringLiteral("discs")).toArray())
        if (d.toObject().value(QStringLiteral("slot")).toInt() == slot)
            return d.toObject();
    return {};
}

int SimProcess::waitForExit(int timeoutMs) {
    if (isRunning())
        spin(timeoutMs, [this](QEventLoop& loop) {
            QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
        });
    return isRunning() || m_process.exitStatus() != QProcess::NormalExit ? -1
                                                                         : m_process.exitCode();
}

bool SimProcess::stop(int timeoutMs) {
    if (!isRunning())
        return true;
    m_process.write("quit\n");
    if (waitForExit(timeoutMs) == 0)
        return true;
    m_process.kill();
    m_process.waitForFinished(timeoutMs);
    return false;
}

QByteArray SimProcess::errorOutput() {
    m_errors += m_process.readAllStandardError();
    return m_errors;
}

RawLine::~RawLine() {
    close();
}

bool RawLine::open(const QString& path) {
    close();
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return false;
    termios tio{};
    tcgetattr(m_fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_fd, TCSANOW, &tio);
    m_hungUp = false;
    m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
    QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { readAvailable(); });
    return true;
}

void RawLine::close() {
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_assembler = UnitAssembler();
}

void RawLine::send(const QByteArray& bytes) {
    qsizetype at = 0;
    while (at < bytes.size() && m_fd >= 0) {
        const ssize_t n = ::write(m_fd, bytes.constData() + at, size_t(bytes.size() - at));
        if (n <= 0)
            return;
        at += n;
    }
}

std::optional<QByteArray> RawLine::next(int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (true) {
        if (m_assembler.hasUnit())
            return m_assembler.takeUnit();
        if (m_hungUp || deadline.hasExpired())
            return std::nullopt;
        spin(deadline.remainingTime(), [this](QEventLoop& loop) { m_wake = &loop; });
        m_wake = nullptr;
    }
}

void RawLine::readAvailable() {
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_assembler.feed(QByteArray(buffer, n));
            continue;
        }
        if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            m_hungUp = true;
            m_notifier->setEnabled(false);
        }
        break;
    }
    if (m_wake)
        m_wake->quit();
}

} // namespace tf::test
