#include "portability/libraryjson.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace tf::library {

namespace {

const QString kFormat = QStringLiteral("format");
const QString kVersion = QStringLiteral("version");
const QString kNames = QStringLiteral("userFileNames");
const QString kDiscs = QStringLiteral("discs");
const QString kSlot = QStringLiteral("slot");
const QString kDiscId = QStringLiteral("discId");
const QString kMinTno = QStringLiteral("minTno");
const QString kMaxTno = QStringLiteral("maxTno");
const QString kInfo = QStringLiteral("info");
const QString kUserFileByte = QStringLiteral("userFileByte");
const QString kMusicType = QStringLiteral("musicType");
const QString kToc = QStringLiteral("toc");
const QString kTitles = QStringLiteral("titles");
const QString kTitle = QStringLiteral("title");
const QString kTracks = QStringLiteral("tracks");

// Thrown inside the reader only, caught in fromJson().
struct FieldError {
    QString text;
};

[[noreturn]] void fail(const QString& path, const QString& what) {
    throw FieldError{path + QStringLiteral(": ") + what};
}

const QJsonValue& need(const QJsonObject& o, const QString& key, const QString& path,
                       QJsonValue& holder) {
    if (!o.contains(key))
        fail(path + QLatin1Char('.') + key, QStringLiteral("missing"));
    holder = o.value(key);
    return holder;
}

int intOf(const QJsonValue& v, const QString& path) {
    const double d = v.toDouble(-1e300);
    if (!v.isDouble() || d != double(qint64(d)) || d < -2147483648.0 || d > 2147483647.0)
        fail(path, QStringLiteral("not a whole number"));
    return int(d);
}

QString stringOf(const QJsonValue& v, const QString& path) {
    if (!v.isString())
        fail(path, QStringLiteral("not a text"));
    return v.toString();
}

QStringList stringsOf(const QJsonValue& v, const QString& path) {
    if (!v.isArray())
        fail(path, QStringLiteral("not a list"));
    QStringList out;
    const QJsonArray a = v.toArray();
    for (qsizetype i = 0; i < a.size(); ++i)
        out.append(stringOf(a.at(i), path + QStringLiteral("[%1]").arg(i)));
    return out;
}

int intField(const QJsonObject& o, const QString& key, const QString& path) {
    QJsonValue v;
    return intOf(need(o, key, path, v), path + QLatin1Char('.') + key);
}

QString stringField(const QJsonObject& o, const QString& key, const QString& path) {
    QJsonValue v;
    return stringOf(need(o, key, path, v), path + QLatin1Char('.') + key);
}

MasterPart readMaster(const QJsonObject& o, const QString& path) {
    MasterPart m;
    const QString idText = stringField(o, kDiscId, path);
    const auto id = parseDiscIdText(idText);
    if (!id || idText.trimmed() != idText)
        fail(path + QLatin1Char('.') + kDiscId, QStringLiteral("not 8 hexadecimal digits"));
    m.id = *id;
    m.minTno = intField(o, kMinTno, path);
    m.maxTno = intField(o, kMaxTno, path);
    m.info = intField(o, kInfo, path);
    m.userFileByte = intField(o, kUserFileByte, path);
    m.musicType = intField(o, kMusicType, path);
    QJsonValue v;
    const QStringList entries = stringsOf(need(o, kToc, path, v), path + QLatin1Char('.') + kToc);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const auto entry = parseTocEntry(entries.at(i));
        if (!entry)
            fail(path + QStringLiteral(".toc[%1]").arg(i),
                 QStringLiteral("\"%1\" is not MM:SS:FF").arg(entries.at(i)));
        m.toc.append(*entry);
    }
    return m;
}

TitlePart readTitles(const QJsonValue& value, const QString& path) {
    if (!value.isObject())
        fail(path, QStringLiteral("not an object"));
    const QJsonObject o = value.toObject();
    TitlePart t;
    t.idText = stringField(o, kDiscId, path).toLower();
    t.minTno = intField(o, kMinTno, path);
    t.maxTno = intField(o, kMaxTno, path);
    t.discTitle = stringField(o, kTitle, path);
    QJsonValue v;
    t.trackTitles = stringsOf(need(o, kTracks, path, v), path + QLatin1Char('.') + kTracks);
    return t;
}

Library readLibrary(const QJsonObject& root) {
    if (root.value(kFormat).toString() != QLatin1String(kFormatName))
        fail(kFormat, QStringLiteral("not \"%1\"").arg(QLatin1String(kFormatName)));
    if (root.value(kVersion) != QJsonValue(kFormatVersion))
        fail(kVersion,
             QStringLiteral("version %1 is not supported").arg(root.value(kVersion).toInt()));
    Library library;
    if (root.contains(kNames))
        library.userFileNames = stringsOf(root.value(kNames), kNames);
    QJsonValue v;
    const QJsonValue discs = need(root, kDiscs, QString(), v);
    if (!discs.isArray())
        fail(kDiscs, QStringLiteral("not a list"));
    const QJsonArray list = discs.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        QString path = QStringLiteral("discs[%1]").arg(i);
        if (!list.at(i).isObject())
            fail(path, QStringLiteral("not an object"));
        const QJsonObject o = list.at(i).toObject();
        Disc disc;
        disc.slot = intField(o, kSlot, path);
        path += QStringLiteral(" (slot %1)").arg(disc.slot);
        for (const QString& key : o.keys()) {
            static const QStringList known{kSlot,         kDiscId,    kMinTno, kMaxTno, kInfo,
                                           kUserFileByte, kMusicType, kToc,    kTitles};
            if (!known.contains(key))
                fail(path + QLatin1Char('.') + key, QStringLiteral("unknown field"));
        }
        if (o.contains(kDiscId) || o.contains(kToc) || o.contains(kMinTno))
            disc.master = readMaster(o, path);
        if (o.contains(kTitles))
            disc.titles = readTitles(o.value(kTitles), path + QLatin1Char('.') + kTitles);
        library.discs.append(disc);
    }
    return library;
}

} // namespace

QByteArray toJson(const Library& library) {
    QJsonObject root;
    root.insert(kFormat, QLatin1String(kFormatName));
    root.insert(kVersion, kFormatVersion);
    if (library.userFileNames)
        root.insert(kNames, QJsonArray::fromStringList(*library.userFileNames));
    QJsonArray discs;
    for (const Disc& disc : library.discs) {
        QJsonObject o;
        o.insert(kSlot, disc.slot);
        if (const auto& m = disc.master) {
            o.insert(kDiscId, discIdText(m->id));
            o.insert(kMinTno, m->minTno);
            o.insert(kMaxTno, m->maxTno);
            o.insert(kInfo, m->info);
            o.insert(kUserFileByte, m->userFileByte);
            o.insert(kMusicType, m->musicType);
            QJsonArray toc;
            for (const TocTime& t : m->toc)
                toc.append(tocEntryText(t));
            o.insert(kToc, toc);
        }
        if (const auto& t = disc.titles) {
            QJsonObject titles;
            titles.insert(kDiscId, t->idText);
            titles.insert(kMinTno, t->minTno);
            titles.insert(kMaxTno, t->maxTno);
            titles.insert(kTitle, t->discTitle);
            titles.insert(kTracks, QJsonArray::fromStringList(t->trackTitles));
            o.insert(kTitles, titles);
        }
        discs.append(o);
    }
    root.insert(kDiscs, discs);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

std::optional<Library> fromJson(const QByteArray& bytes, QString* error) {
    QJsonParseError parse;
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &parse);
    if (parse.error != QJsonParseError::NoError) {
        const QByteArray before = bytes.left(parse.offset);
        const int line = int(before.count('\n')) + 1;
        const int column = int(parse.offset - (before.lastIndexOf('\n') + 1)) + 1;
        if (error)
            *error = QStringLiteral("line %1, column %2: %3")
                         .arg(line)
                         .arg(column)
                         .arg(parse.errorString());
        return std::nullopt;
    }
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("line 1: the document is not a JSON object");
        return std::nullopt;
    }
    try {
        return readLibrary(doc.object());
    } catch (const FieldError& e) {
        if (error)
            *error = e.text;
        return std::nullopt;
    }
}

} // namespace tf::library
