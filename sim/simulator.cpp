#include "sim/simulator.h"

#include "sim/simcodepage.h"
#include "sim/simlibrary.h"

#include <QJsonArray>

namespace tf::sim {

Simulator::Simulator(QObject* parent)
    : QObject(parent), m_player(m_library), m_engine(m_library, m_player, m_faults) {
    connect(&m_port, &LinePort::received, &m_engine, &Engine::receive);
    connect(&m_engine, &Engine::transmit, &m_port, &LinePort::write);
    connect(
        &m_engine, &Engine::hangUpRequested, this, [this] { hangUp(); }, Qt::QueuedConnection);
    connect(&m_port, &LinePort::closed, this, [this](const QString& reason) {
        emit logLine(QStringLiteral("line closed: %1").arg(reason));
        m_engine.lineLost();
    });
    connect(&m_engine, &Engine::logLine, this, [this](const QString& line) {
        if (m_options.log)
            emit logLine(line);
    });
    m_hangupTimer.setSingleShot(true);
    connect(&m_hangupTimer, &QTimer::timeout, this, [this] { hangUp(); });
}

Simulator::~Simulator() {
    shutdown();
}

bool Simulator::start(const Options& options, QString* error) {
    m_options = options;
    if (!loadLibraryFile(options.libraryPath, &m_library, error))
        return false;
    m_player.reset();
    m_player.setSeed(options.seed);
    m_faults.setSeed(options.seed);
    m_player.setLoadMs(options.loadMs);
    m_player.setTrackMs(options.trackMs);
    m_engine.setThinkMs(options.thinkMs);
    m_engine.setPieceLength(options.pieceLength);
    for (const QString& fault : options.faults) {
        if (!applyFault(fault, error)) {
            *error = QStringLiteral("--fault \"%1\": %2").arg(fault, *error);
            return false;
        }
    }
    m_port.setPaced(options.pace);
    return options.device.isEmpty() ? m_port.openPty(options.ptyLink, error)
                                    : m_port.openDevice(options.device, error);
}

void Simulator::shutdown() {
    m_port.removeLink();
}

bool Simulator::applyFault(const QString& description, QString* error) {
    const QStringList words = description.simplified().split(QLatin1Char(' '));
    if (words.value(0) == QLatin1String("hangup")) {
        bool ok = words.size() == 2;
        const int ms = words.value(1).toInt(&ok);
        if (!ok || ms < 0) {
            *error = QStringLiteral("usage: fault hangup MS");
            return false;
        }
        m_hangupTimer.start(ms);
        return true;
    }
    if (!m_faults.apply(description, error))
        return false;
    m_player.setSlowTocMs(m_faults.slowTocMs());
    m_engine.faultsChanged();
    return true;
}

QString Simulator::hangUp() {
    m_port.hangUp();
    m_engine.lineLost();
    emit logLine(QStringLiteral("hung up"));
    return QStringLiteral("OK hung up");
}

QJsonObject Simulator::dump() const {
    QJsonObject play{{QStringLiteral("disc"), m_player.disc()},
                     {QStringLiteral("track"), m_player.track()},
                     {QStringLiteral("step"), m_player.programStep()},
                     {QStringLiteral("playMode"), m_player.playMode()},
                     {QStringLiteral("repeat"), m_player.repeat()},
                     {QStringLiteral("state"), m_player.state()},
                     {QStringLiteral("musicType"), m_player.musicTypeFilter()},
                     {QStringLiteral("userFileMask"), m_player.userFileMask()},
                     {QStringLiteral("loading"), m_player.loadingDisc()},
                     {QStringLiteral("tocReady"), m_player.tocReady()}};
    QJsonArray names;
    for (const QByteArray& name : m_library.userFileNames)
        names.append(decodeChangerText(name));
    QJsonArray program;
    for (const ProgramStep& step : m_library.program) {
        program.append(QJsonObject{{QStringLiteral("disc"), step.disc},
                                   {QStringLiteral("track"), step.track == kAllTracks
                                                                 ? QJsonValue(QStringLiteral("all"))
                                                                 : QJsonValue(step.track)}});
    }
    QJsonArray discs;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const SimDisc& disc = m_library.disc(slot);
        if (!disc.present)
            continue;
        QJsonObject tracks;
        for (auto it = disc.memoryTracks.begin(); it != disc.memoryTracks.end(); ++it)
            tracks.insert(QString::number(it.key()), decodeChangerText(it.value()));
        discs.append(
            QJsonObject{{QStringLiteral("slot"), slot},
                        {QStringLiteral("lowest"), disc.lowest},
                        {QStringLiteral("highest"), disc.highest},
                        {QStringLiteral("info"), disc.info},
                        {QStringLiteral("userFileByte"), disc.userFileByte},
                        {QStringLiteral("musicType"), disc.musicType},
                        {QStringLiteral("memoryTitle"), decodeChangerText(disc.memoryTitle)},
                        {QStringLiteral("memoryTracks"), tracks}});
    }
    const Engine::Stats& s = m_engine.stats();
    QJsonObject stats{{QStringLiteral("unitsReceived"), s.unitsReceived},
                      {QStringLiteral("framesReceived"), s.framesReceived},
                      {QStringLiteral("badFramesReceived"), s.badFramesReceived},
                      {QStringLiteral("naksSent"), s.naksSent},
                      {QStringLiteral("refusals"), s.refusals},
                      {QStringLiteral("replyFramesSent"), s.replyFramesSent},
                      {QStringLiteral("pushesDelivered"), s.pushesDelivered},
                      {QStringLiteral("pushesAbandoned"), s.pushesAbandoned},
                      {QStringLiteral("handshakes"), s.handshakes},
                      {QStringLiteral("noiseBytes"), m_engine.noiseBytes()}};
    QJsonArray latencies;
    for (qint64 us : m_port.answerLatenciesUs())
        latencies.append(us);
    stats.insert(QStringLiteral("answerLatencyUs"), latencies);
    return QJsonObject{{QStringLiteral("port"), m_port.path()},
                       {QStringLiteral("portOpen"), m_port.isOpen()},
                       {QStringLiteral("linked"), m_engine.linked()},
                       {QStringLiteral("engine"), m_engine.stateName()},
                       {QStringLiteral("queuedPushes"), m_engine.queuedPushes()},
                       {QStringLiteral("mode"), m_library.changerMode},
                       {QStringLiteral("play"), play},
                       {QStringLiteral("userFileNames"), names},
                       {QStringLiteral("program"), program},
                       {QStringLiteral("discs"), discs},
                       {QStringLiteral("faults"), QJsonArray::fromStringList(m_faults.describe())},
                       {QStringLiteral("stats"), stats}};
}

} // namespace tf::sim
