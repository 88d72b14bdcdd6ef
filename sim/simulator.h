#pragma once

#include "sim/simengine.h"
#include "sim/simfaults.h"
#include "sim/simmodel.h"
#include "sim/simplayer.h"
#include "sim/simport.h"

#include <QJsonObject>
#include <QObject>
#include <QStringList>
#include <QTimer>

namespace tf::sim {

// The whole simulated changer: library, mechanism, protocol engine, faults and line, steered
// by the control commands of command().
class Simulator : public QObject {
    Q_OBJECT
public:
    struct Options {
        QString libraryPath;
        QString ptyLink;
        QString device;
        bool pace = false;
        bool log = false;
        int loadMs = 300;
        int thinkMs = 20;
        int trackMs = 0;
        int pieceLength = kMemoryTitleLength;
        quint32 seed = 1;
        QStringList faults;
    };

    explicit Simulator(QObject* parent = nullptr);
    ~Simulator() override;

    // Loads the library, applies the faults and opens the line. False with a message on failure.
    bool start(const Options& options, QString* error);
    QString portPath() const { return m_port.path(); }
    bool usesPty() const { return m_port.isPty(); }

    // Runs one control command and returns its one-line answer ("OK ..." or "ERR ...").
    QString command(const QString& line, bool* quit);

    // The changer's state as JSON: what it holds and what it plays.
    QJsonObject dump() const;

    // Removes the pseudo-terminal link (on the way out).
    void shutdown();

signals:
    void logLine(const QString& line);

private:
    bool applyFault(const QString& description, QString* error);
    QString pushCommand(const QStringList& words);
    QString setCommand(const QStringList& words);
    QString keyCommand(const QStringList& words);
    QString faultCommand(const QStringList& words, const QString& line);
    QString hangUp();

    Options m_options;
    ChangerLibrary m_library;
    FaultSet m_faults;
    Player m_player;
    Engine m_engine;
    LinePort m_port;
    QTimer m_hangupTimer;
};

} // namespace tf::sim
