#include "common/simprocess.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <functional>

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
    if (!line.startsWith(QLatin1String("PTY /"))) {
        m_lastError = QStringLiteral("unexpected first line: %1").arg(line);
        return false;
    }
    m_portPath = line.mid(4);
    return true;
}

bool SimProcess::readLine(QString* line, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (!isRunning() || deadline.hasExpired())
            return false;
        spin(deadline.remainingTime(), [this](QEventLoop& loop) {
            QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &loop,
                             &QEventLoop::quit);
            QObject::connect(&m_process, &QProcess::finished, &loop, &QEventLoop::quit);
            QObject::connect(&m_process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
        });
    }
    *line = QString::fromUtf8(m_process.readLine()).trimmed();
    return true;
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
    m_process.waitForFinished(timeoutMs);
    return isRunning() || m_process.exitStatus() != QProcess::NormalExit ? -1
                                                                         : m_process.exitCode();
}

void SimProcess::stop(int timeoutMs) {
    if (!isRunning())
        return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(timeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(timeoutMs);
    }
}

QByteArray SimProcess::errorOutput() {
    m_errors += m_process.readAllStandardError();
    return m_errors;
}

} // namespace tf::test
