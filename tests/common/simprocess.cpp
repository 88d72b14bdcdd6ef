#include "common/simprocess.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QSocketNotifier>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace tf::test {

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
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &loop, &QEventLoop::quit);
        QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
        QObject::connect(&m_process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        timer.start(static_cast<int>(qMax<qint64>(1, deadline.remainingTime())));
        if (m_process.bytesAvailable() == 0)
            loop.exec();
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

int SimProcess::waitForExit(int timeoutMs) {
    if (isRunning()) {
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        loop.exec();
    }
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
    m_buffer.clear();
    m_noise.clear();
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
        if (auto unit = takeUnit())
            return unit;
        if (m_hungUp || deadline.hasExpired())
            return std::nullopt;
        QEventLoop loop;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
        m_wake = &loop;
        timer.start(int(qMax<qint64>(1, deadline.remainingTime())));
        loop.exec();
        m_wake = nullptr;
    }
}

void RawLine::readAvailable() {
    char buffer[4096];
    while (true) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_buffer.append(buffer, n);
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

std::optional<QByteArray> RawLine::takeUnit() {
    constexpr char kStx = 0x02;
    while (!m_buffer.isEmpty()) {
        const char first = m_buffer.at(0);
        if (first == 0x04 || first == 0x05 || first == 0x06 || first == 0x15) {
            m_buffer.remove(0, 1);
            return QByteArray(1, first);
        }
        if (first != kStx) {
            m_noise.append(first);
            m_buffer.remove(0, 1);
            continue;
        }
        if (m_buffer.size() < 4)
            return std::nullopt;
        const int total = (quint8(m_buffer.at(2)) | (quint8(m_buffer.at(3)) << 8)) + 5;
        if (m_buffer.size() < total)
            return std::nullopt;
        const QByteArray unit = m_buffer.left(total);
        m_buffer.remove(0, total);
        return unit;
    }
    return std::nullopt;
}

} // namespace tf::test
