#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tf::test {

// Runs changer-sim for an integration test: starts it with a library and options, reads the
// pseudo-terminal it opened, sends control commands and waits for their answers, and stops it.
// Every wait for an answer is an event loop woken by the process's output or by its time-out.
class SimProcess {
public:
    ~SimProcess();

    // Path of the changer-sim executable of this build.
    static QString executable();

    // Starts the simulator; true once it has printed its pseudo-terminal's path.
    bool start(const QString& libraryPath, const QStringList& options = {}, int timeoutMs = 10000);

    QString portPath() const { return m_portPath; }
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }

    // Sends one control command and returns its answer line ("OK ..." or "ERR ..."), or an
    // empty string when none came in time.
    QString command(const QString& line, int timeoutMs = 5000);

    // True when the command was answered with "OK".
    bool ok(const QString& line, int timeoutMs = 5000);

    // The simulator's state ("dump"), or an empty object on failure.
    QJsonObject dump(int timeoutMs = 5000);
    // One slot of the dump's "discs", or an empty object.
    QJsonObject disc(int slot);

    // Waits for the process to end by itself (e.g. after a failed start); its exit code, or -1.
    int waitForExit(int timeoutMs = 5000);

    // Asks the simulator to quit, and kills it when it does not.
    void stop(int timeoutMs = 5000);

    // Everything the process wrote on stderr so far (its log with --log, and its errors).
    QByteArray errorOutput();

    // What went wrong in the last start() or command(), for test messages.
    QString lastError() const { return m_lastError; }

private:
    bool readLine(QString* line, int timeoutMs);

    QProcess m_process;
    QByteArray m_errors;
    QString m_portPath;
    QString m_lastError;
};

} // namespace tf::test
