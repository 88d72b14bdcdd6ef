#include "fuzz/fuzzentries.h"

#include <QFile>
#include <QtGlobal>

#include <iterator>

namespace tf::fuzz {
namespace {

struct Named {
    const char* name;
    Entry entry;
};

constexpr Named kEntries[] = {
    {"assembler", fuzzAssembler},
    {"frame", fuzzFrame},
    {"discfile", fuzzDiscFile},
    {"discdata", fuzzDiscData},
    {"disclist", fuzzDiscList},
    {"titlerecords", fuzzTitleRecords},
    {"config", fuzzConfig},
    {"proxy", fuzzProxy},
    {"recordfile", fuzzRecordFile},
    {"cddb", fuzzCddb},
    {"xmcd", fuzzXmcd},
    {"simlibrary", fuzzSimLibrary},
    {"musicbrainz", fuzzMusicBrainz},
};

void discardMessage(QtMsgType, const QMessageLogContext&, const QString&) {}

} // namespace

Entry entryFor(const QString& target) {
    for (const Named& named : kEntries) {
        if (target == QLatin1String(named.name))
            return named.entry;
    }
    return nullptr;
}

QStringList targetNames() {
    QStringList names;
    for (const Named& named : kEntries)
        names.append(QLatin1String(named.name));
    return names;
}

void silenceQtMessages() {
    qInstallMessageHandler(discardMessage);
}

bool putFile(const QString& dir, const QString& name, const QByteArray& bytes) {
    QFile file(dir + QLatin1Char('/') + name);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size() && file.flush();
}

} // namespace tf::fuzz
