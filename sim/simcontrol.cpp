// The control channel: one command a line, one answer a line.
#include "sim/simulator.h"

#include "sim/simlibrary.h"

#include <QFile>
#include <QJsonDocument>
#include <QSaveFile>

namespace tf::sim {

namespace {

const char kHelp[] =
    "OK commands: dump | push status|state|toc|mode|all | set mode 0|1 | set load-ms N | "
    "set think-ms N | set track-ms N | set push-retry-ms N | set seed N | set pace on|off | load "
    "DISC [TRACK] | "
    "key play|pause|stop|next|prev|ff|rew|release|repeat|random | fault NAME ARGS | "
    "fault clear | faults | hangup [MS] | reopen | save FILE | log on|off | quit";

bool readInt(const QString& text, int min, int max, int* value) {
    bool ok = false;
    *value = text.toInt(&ok);
    return ok && *value >= min && *value <= max;
}

} // namespace

QString Simulator::command(const QString& line, bool* quit) {
    *quit = false;
    const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString verb = words.value(0).toLower();
    if (verb.isEmpty())
        return QStringLiteral("ERR empty command");
    if (verb == QLatin1String("help"))
        return QString::fromLatin1(kHelp);
    if (verb == QLatin1String("dump"))
        return QStringLiteral("OK ") +
               QString::fromUtf8(QJsonDocument(dump()).toJson(QJsonDocument::Compact));
    if (verb == QLatin1String("push"))
        return pushCommand(words);
    if (verb == QLatin1String("set"))
        return setCommand(words);
    if (verb == QLatin1String("key"))
        return keyCommand(words);
    if (verb == QLatin1String("fault") || verb == QLatin1String("faults"))
        return faultCommand(words, line);
    if (verb == QLatin1String("load")) {
        int disc = 0;
        int track = 0;
        if (words.size() < 2 || words.size() > 3 || !readInt(words.at(1), 1, kSlotCount, &disc) ||
            (words.size() == 3 && !readInt(words.at(2), 0, kMaxTracks, &track)))
            return QStringLiteral("ERR usage: load DISC [TRACK]");
        m_player.load(disc, track);
        return QStringLiteral("OK loading %1").arg(disc);
    }
    if (verb == QLatin1String("hangup")) {
        if (words.size() == 1)
            return hangUp();
        int ms = 0;
        if (words.size() != 2 || !readInt(words.at(1), 0, 3600 * 1000, &ms))
            return QStringLiteral("ERR usage: hangup [MS]");
        m_hangupTimer.start(ms);
        return QStringLiteral("OK hangup in %1 ms").arg(ms);
    }
    if (verb == QLatin1String("reopen")) {
        QString error;
        if (!m_port.reopen(&error))
            return QStringLiteral("ERR ") + error;
        m_engine.lineLost();
        return QStringLiteral("OK %1 %2")
            .arg(m_port.isPty() ? QStringLiteral("PTY") : QStringLiteral("DEVICE"), m_port.path());
    }
    if (verb == QLatin1String("save")) {
        if (words.size() != 2)
            return QStringLiteral("ERR usage: save FILE");
        QSaveFile file(words.at(1));
        if (!file.open(QIODevice::WriteOnly) || file.write(libraryToJson(m_library)) < 0 ||
            !file.commit())
            return QStringLiteral("ERR %1: %2").arg(words.at(1), file.errorString());
        return QStringLiteral("OK saved %1").arg(words.at(1));
    }
    if (verb == QLatin1String("log")) {
        if (words.size() != 2 ||
            (words.at(1) != QLatin1String("on") && words.at(1) != QLatin1String("off")))
            return QStringLiteral("ERR usage: log on|off");
        m_options.log = words.at(1) == QLatin1String("on");
        return QStringLiteral("OK log %1").arg(words.at(1));
    }
    if (verb == QLatin1String("quit")) {
        *quit = true;
        return QStringLiteral("OK bye");
    }
    return QStringLiteral("ERR unknown command \"%1\" (try help)").arg(verb);
}

QString Simulator::pushCommand(const QStringList& words) {
    if (words.size() != 2)
        return QStringLiteral("ERR usage: push status|state|toc|mode|all");
    if (!m_engine.linked())
        return QStringLiteral("ERR no PC has shaken hands; the changer pushes only to a linked PC");
    const QString what = words.at(1).toLower();
    if (what == QLatin1String("status"))
        m_player.pushStatus();
    else if (what == QLatin1String("state"))
        m_player.pushState();
    else if (what == QLatin1String("toc"))
        m_player.pushTocReady();
    else if (what == QLatin1String("mode"))
        m_player.pushChangerMode();
    else if (what == QLatin1String("all"))
        m_player.pushAll();
    else
        return QStringLiteral("ERR usage: push status|state|toc|mode|all");
    return QStringLiteral("OK queued %1").arg(m_engine.queuedPushes());
}

QString Simulator::setCommand(const QStringList& words) {
    const QString what = words.value(1).toLower();
    int value = 0;
    if (what == QLatin1String("pace") && words.size() == 3 &&
        (words.at(2) == QLatin1String("on") || words.at(2) == QLatin1String("off"))) {
        m_port.setPaced(words.at(2) == QLatin1String("on"));
        return QStringLiteral("OK pace %1").arg(words.at(2));
    }
    if (words.size() != 3)
        return QStringLiteral(
            "ERR usage: set mode|load-ms|think-ms|track-ms|push-retry-ms|seed VALUE, "
            "set pace on|off");
    if (what == QLatin1String("mode")) {
        if (!readInt(words.at(2), 0, 1, &value))
            return QStringLiteral("ERR usage: set mode 0|1");
        m_player.setChangerMode(value);
        return QStringLiteral("OK mode %1").arg(value);
    }
    if (what == QLatin1String("load-ms") && readInt(words.at(2), 0, 45000, &value)) {
        m_player.setLoadMs(value);
        return QStringLiteral("OK load-ms %1").arg(value);
    }
    if (what == QLatin1String("think-ms") && readInt(words.at(2), 0, 10000, &value)) {
        m_engine.setThinkMs(value);
        return QStringLiteral("OK think-ms %1").arg(value);
    }
    if (what == QLatin1String("track-ms") && readInt(words.at(2), 0, 3600 * 1000, &value)) {
        m_player.setTrackMs(value);
        return QStringLiteral("OK track-ms %1").arg(value);
    }
    if (what == QLatin1String("push-retry-ms") && readInt(words.at(2), 10, 60000, &value)) {
        m_engine.setPushRetryMs(value);
        return QStringLiteral("OK push-retry-ms %1").arg(value);
    }
    if (what == QLatin1String("seed") && readInt(words.at(2), 0, 0x7FFFFFFF, &value)) {
        m_faults.setSeed(quint32(value));
        m_player.setSeed(quint32(value));
        return QStringLiteral("OK seed %1").arg(value);
    }
    return QStringLiteral("ERR usage: set mode 0|1, set load-ms 0..45000, set think-ms 0..10000, "
                          "set track-ms N, set push-retry-ms 10..60000, set seed N, "
                          "set pace on|off");
}

QString Simulator::keyCommand(const QStringList& words) {
    struct Key {
        const char* name;
        quint8 group;
        quint8 key;
    };
    static const Key kKeys[] = {{"play", 0xA0, 0xCB},   {"pause", 0xA0, 0xCB},
                                {"stop", 0xA0, 0xC9},   {"repeat", 0xA0, 0xCC},
                                {"random", 0xA1, 0xD4}, {"prev", 0xA0, 0xCE},
                                {"next", 0xA0, 0xCF},   {"rew", 0xA0, 0x06},
                                {"ff", 0xA0, 0x07},     {"release", 0xFF, 0xFF}};
    const QString name = words.value(1).toLower();
    for (const Key& key : kKeys) {
        if (words.size() == 2 && name == QLatin1String(key.name)) {
            m_player.keyCode(key.group, key.key, true);
            return QStringLiteral("OK key %1").arg(name);
        }
    }
    return QStringLiteral("ERR usage: key play|pause|stop|next|prev|ff|rew|release|repeat|random");
}

QString Simulator::faultCommand(const QStringList& words, const QString& line) {
    if (words.at(0).toLower() == QLatin1String("faults") ||
        (words.size() == 1 && words.at(0).toLower() == QLatin1String("fault"))) {
        const QStringList active = m_faults.describe();
        return QStringLiteral("OK ") +
               (active.isEmpty() ? QStringLiteral("none") : active.join(QStringLiteral(", ")));
    }
    if (words.size() == 2 && words.at(1).toLower() == QLatin1String("clear")) {
        m_faults.clear();
        m_hangupTimer.stop();
        m_player.setSlowTocMs(-1);
        m_engine.faultsChanged();
        return QStringLiteral("OK faults cleared");
    }
    const QString description = line.simplified().section(QLatin1Char(' '), 1);
    QString error;
    if (!applyFault(description, &error))
        return QStringLiteral("ERR ") + error;
    return QStringLiteral("OK fault %1").arg(description);
}

} // namespace tf::sim
