#include "sim/simlibrary.h"

#include "sim/simcodepage.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSet>

namespace tf::sim {

namespace {

// Walks the JSON tree and keeps the first problem found, with where it was found.
class LibraryParser {
public:
    bool parse(const QJsonObject& root, ChangerLibrary* library);
    QString error() const { return m_error; }

private:
    bool fail(const QString& where, const QString& what) {
        if (m_error.isEmpty())
            m_error = where.isEmpty() ? what : where + QStringLiteral(": ") + what;
        return false;
    }
    bool checkKeys(const QJsonObject& object, const QStringList& allowed, const QString& where);
    bool readInt(const QJsonObject& object, const QString& key, int min, int max, int* value,
                 const QString& where);
    // cdText: raw CD TEXT, which may hold DEL (0x7F) as the disc was pressed.
    bool readText(const QJsonValue& value, int maxLength, QByteArray* bytes, const QString& where,
                  bool cdText = false);
    bool readMsf(const QJsonValue& value, Msf* msf, const QString& where);
    bool readLength(const QJsonValue& value, int* frames, const QString& where);
    bool parseDisc(const QJsonObject& object, ChangerLibrary* library);
    bool parseToc(const QJsonObject& object, SimDisc* disc, const QString& where);
    bool parseTitles(const QJsonObject& object, SimDisc* disc, const QString& where);
    bool parsePlay(const QJsonObject& object, ChangerLibrary* library);
    bool parseProgram(const QJsonArray& array, ChangerLibrary* library);

    QString m_error;
};

bool LibraryParser::checkKeys(const QJsonObject& object, const QStringList& allowed,
                              const QString& where) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!allowed.contains(it.key()))
            return fail(where, QStringLiteral("unknown key \"%1\"").arg(it.key()));
    }
    return true;
}

bool LibraryParser::readInt(const QJsonObject& object, const QString& key, int min, int max,
                            int* value, const QString& where) {
    if (!object.contains(key))
        return true;
    const QJsonValue v = object.value(key);
    const double d = v.toDouble(-1e9);
    // The range first: converting a number beyond int to int is undefined.
    if (!v.isDouble() || d < min || d > max || d != static_cast<int>(d))
        return fail(where, QStringLiteral("\"%1\" must be a whole number from %2 to %3")
                               .arg(key)
                               .arg(min)
                               .arg(max));
    *value = static_cast<int>(d);
    return true;
}

bool LibraryParser::readText(const QJsonValue& value, int maxLength, QByteArray* bytes,
                             const QString& where, bool cdText) {
    if (!value.isString())
        return fail(where, QStringLiteral("must be a text"));
    const QString text = value.toString();
    if (text.size() > maxLength)
        return fail(where, QStringLiteral("%1 characters where at most %2 fit: \"%3\"")
                               .arg(text.size())
                               .arg(maxLength)
                               .arg(text));
    for (QChar c : text) {
        if (c.unicode() < 0x20 || (c.unicode() == 0x7F && !cdText))
            return fail(where, QStringLiteral("contains a control character"));
    }
    *bytes = encodeChangerText(text);
    return true;
}

bool LibraryParser::readMsf(const QJsonValue& value, Msf* msf, const QString& where) {
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,2}):(\\d{2}):(\\d{2})$"));
    const QRegularExpressionMatch match = pattern.match(value.toString());
    if (!value.isString() || !match.hasMatch())
        return fail(where, QStringLiteral("a table-of-contents entry must read \"MM:SS:FF\""));
    msf->minutes = match.captured(1).toInt();
    msf->seconds = match.captured(2).toInt();
    msf->frames = match.captured(3).toInt();
    if (msf->seconds > 59 || msf->frames > 74)
        return fail(
            where, QStringLiteral("\"%1\": seconds run to 59, frames to 74").arg(value.toString()));
    return true;
}

bool LibraryParser::readLength(const QJsonValue& value, int* frames, const QString& where) {
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{1,2}):(\\d{2})(?:\\.(\\d{2}))?$"));
    const QRegularExpressionMatch match = pattern.match(value.toString());
    if (!value.isString() || !match.hasMatch())
        return fail(where, QStringLiteral("a track length must read \"M:SS\" or \"M:SS.FF\""));
    const int seconds = match.captured(2).toInt();
    const int extra = match.captured(3).isEmpty() ? 0 : match.captured(3).toInt();
    if (seconds > 59 || extra > 74)
        return fail(
            where, QStringLiteral("\"%1\": seconds run to 59, frames to 74").arg(value.toString()));
    *frames = (match.captured(1).toInt() * 60 + seconds) * 75 + extra;
    if (*frames < 4 * 75)
        return fail(
            where,
            QStringLiteral("\"%1\": a track lasts at least 4 seconds").arg(value.toString()));
    return true;
}

bool LibraryParser::parseToc(const QJsonObject& object, SimDisc* disc, const QString& where) {
    const bool hasToc = object.contains(QStringLiteral("toc"));
    const bool hasLengths = object.contains(QStringLiteral("lengths"));
    if (hasToc == hasLengths)
        return fail(where, QStringLiteral("give either \"toc\" or \"lengths\""));
    QList<Msf> toc;
    if (hasToc) {
        const QJsonArray array = object.value(QStringLiteral("toc")).toArray();
        if (array.size() < 2)
            return fail(where,
                        QStringLiteral("\"toc\" needs one start per track and the lead-out"));
        for (const QJsonValue& v : array) {
            Msf msf;
            if (!readMsf(v, &msf, where))
                return false;
            if (!toc.isEmpty() && msf.totalFrames() <= toc.last().totalFrames())
                return fail(where,
                            QStringLiteral("\"toc\" entries must increase (%1)").arg(v.toString()));
            toc.append(msf);
        }
    } else {
        const QJsonArray array = object.value(QStringLiteral("lengths")).toArray();
        if (array.isEmpty())
            return fail(where, QStringLiteral("\"lengths\" needs at least one track"));
        int position = 2 * 75; // the first track starts after the two-second pregap
        toc.append(Msf::fromFrames(position));
        for (const QJsonValue& v : array) {
            int frames = 0;
            if (!readLength(v, &frames, where))
                return false;
            position += frames;
            toc.append(Msf::fromFrames(position));
        }
    }
    if (toc.last().minutes > 99)
        return fail(where, QStringLiteral("the disc lasts longer than 99 minutes"));
    int lowest = 1;
    if (!readInt(object, QStringLiteral("firstTrack"), 1, kMaxTracks, &lowest, where))
        return false;
    const int tracks = static_cast<int>(toc.size()) - 1;
    if (lowest + tracks - 1 > kMaxTracks)
        return fail(
            where,
            QStringLiteral("%1 tracks from track %2 go beyond track 99").arg(tracks).arg(lowest));
    disc->toc = toc;
    disc->lowest = lowest;
    disc->highest = lowest + tracks - 1;
    return true;
}

bool LibraryParser::parseTitles(const QJsonObject& object, SimDisc* disc, const QString& where) {
    if (object.contains(QStringLiteral("cdText"))) {
        const QJsonObject cdText = object.value(QStringLiteral("cdText")).toObject();
        const QString at = where + QStringLiteral(", cdText");
        if (!object.value(QStringLiteral("cdText")).isObject())
            return fail(at, QStringLiteral("must be an object"));
        if (!checkKeys(cdText, {QStringLiteral("title"), QStringLiteral("tracks")}, at))
            return false;
        if (cdText.contains(QStringLiteral("title")) &&
            !readText(cdText.value(QStringLiteral("title")), kMaxCdTextLength, &disc->cdTextTitle,
                      at + QStringLiteral(" title"), true))
            return false;
        const QJsonArray tracks = cdText.value(QStringLiteral("tracks")).toArray();
        if (tracks.size() > disc->trackCount())
            return fail(at, QStringLiteral("%1 track titles for %2 tracks")
                                .arg(tracks.size())
                                .arg(disc->trackCount()));
        for (int i = 0; i < tracks.size(); ++i) {
            QByteArray title;
            if (!readText(tracks.at(i), kMaxCdTextLength, &title,
                          at + QStringLiteral(" track %1").arg(disc->lowest + i), true))
                return false;
            disc->cdTextTracks.append(title);
        }
        disc->info |= kInfoCdText;
    }
    if (object.contains(QStringLiteral("memory"))) {
        const QJsonObject memory = object.value(QStringLiteral("memory")).toObject();
        const QString at = where + QStringLiteral(", memory");
        if (!object.value(QStringLiteral("memory")).isObject())
            return fail(at, QStringLiteral("must be an object"));
        if (!checkKeys(memory, {QStringLiteral("title"), QStringLiteral("tracks")}, at))
            return false;
        if (memory.contains(QStringLiteral("title")) &&
            !readText(memory.value(QStringLiteral("title")), kMemoryTitleLength, &disc->memoryTitle,
                      at + QStringLiteral(" title")))
            return false;
        const QJsonArray tracks = memory.value(QStringLiteral("tracks")).toArray();
        const int last = qMin(disc->highest, kMemoryTrackLimit);
        if (tracks.size() > last)
            return fail(at, QStringLiteral("titles are kept for tracks 1 to %1 only").arg(last));
        for (int i = 0; i < tracks.size(); ++i) {
            QByteArray title;
            if (!readText(tracks.at(i), kMemoryTitleLength, &title,
                          at + QStringLiteral(" track %1").arg(i + 1)))
                return false;
            if (!title.isEmpty())
                disc->memoryTracks.insert(i + 1, title);
        }
    }
    return true;
}

bool LibraryParser::parseDisc(const QJsonObject& object, ChangerLibrary* library) {
    int slot = 0;
    if (!object.contains(QStringLiteral("slot")))
        return fail(QStringLiteral("discs"), QStringLiteral("an entry has no \"slot\""));
    if (!readInt(object, QStringLiteral("slot"), 1, kSlotCount, &slot, QStringLiteral("discs")))
        return false;
    const QString where = QStringLiteral("slot %1").arg(slot);
    if (library->disc(slot).present)
        return fail(where, QStringLiteral("listed twice"));
    if (!checkKeys(object,
                   {QStringLiteral("slot"), QStringLiteral("toc"), QStringLiteral("lengths"),
                    QStringLiteral("firstTrack"), QStringLiteral("cdText"),
                    QStringLiteral("memory"), QStringLiteral("userFiles"),
                    QStringLiteral("musicType"), QStringLiteral("titleLocked"),
                    QStringLiteral("info"), QStringLiteral("artist"), QStringLiteral("album")},
                   where))
        return false;
    SimDisc disc;
    disc.present = true;
    if (!parseToc(object, &disc, where))
        return false;
    int info = 0;
    if (!readInt(object, QStringLiteral("info"), 0, 255, &info, where))
        return false;
    disc.info = static_cast<quint8>(info);
    if (!parseTitles(object, &disc, where))
        return false;
    int musicType = 0;
    if (!readInt(object, QStringLiteral("musicType"), 0, kMusicTypeMax, &musicType, where))
        return false;
    disc.musicType = static_cast<quint8>(musicType);
    for (const QJsonValue& v : object.value(QStringLiteral("userFiles")).toArray()) {
        const int file = v.toInt(0);
        if (!v.isDouble() || file < 1 || file > kUserFileCount)
            return fail(where, QStringLiteral("\"userFiles\" holds user-file numbers 1 to 8"));
        disc.userFileByte |= static_cast<quint8>(1u << (file - 1));
    }
    disc.titleLocked = object.value(QStringLiteral("titleLocked")).toBool(false);
    library->disc(slot) = disc;
    return true;
}

bool LibraryParser::parsePlay(const QJsonObject& object, ChangerLibrary* library) {
    const QString where = QStringLiteral("play");
    if (!checkKeys(object,
                   {QStringLiteral("disc"), QStringLiteral("track"), QStringLiteral("state"),
                    QStringLiteral("playMode"), QStringLiteral("repeat"),
                    QStringLiteral("musicType"), QStringLiteral("userFile")},
                   where))
        return false;
    InitialPlay& play = library->play;
    int userFile = 0;
    if (!readInt(object, QStringLiteral("disc"), 0, kSlotCount, &play.disc, where) ||
        !readInt(object, QStringLiteral("track"), 0, kMaxTracks, &play.track, where) ||
        !readInt(object, QStringLiteral("playMode"), 0, 8, &play.playMode, where) ||
        !readInt(object, QStringLiteral("musicType"), 0, kMusicTypeMax, &play.musicType, where) ||
        !readInt(object, QStringLiteral("userFile"), 0, kUserFileCount, &userFile, where))
        return false;
    play.userFileMask = userFile > 0 ? static_cast<quint8>(1u << (userFile - 1)) : 0;
    play.repeat = object.value(QStringLiteral("repeat")).toBool(false);
    const QString state = object.value(QStringLiteral("state")).toString(QStringLiteral("stopped"));
    if (state == QLatin1String("stopped"))
        play.state = kStopped;
    else if (state == QLatin1String("playing"))
        play.state = kPlaying;
    else if (state == QLatin1String("paused"))
        play.state = kPaused;
    else
        return fail(where, QStringLiteral("\"state\" is \"stopped\", \"playing\" or \"paused\""));
    if (play.disc != 0 && !library->disc(play.disc).present)
        return fail(where, QStringLiteral("slot %1 holds no disc").arg(play.disc));
    if (play.disc == 0 && play.state != kStopped)
        return fail(where, QStringLiteral("playing needs a \"disc\""));
    return true;
}

bool LibraryParser::parseProgram(const QJsonArray& array, ChangerLibrary* library) {
    if (array.size() > kMaxProgramSteps)
        return fail(QStringLiteral("program"),
                    QStringLiteral("at most %1 steps").arg(kMaxProgramSteps));
    for (int i = 0; i < array.size(); ++i) {
        const QString where = QStringLiteral("program step %1").arg(i + 1);
        const QJsonObject object = array.at(i).toObject();
        if (!checkKeys(object, {QStringLiteral("disc"), QStringLiteral("track")}, where))
            return false;
        ProgramStep step;
        if (!object.contains(QStringLiteral("disc")) ||
            !readInt(object, QStringLiteral("disc"), 1, kSlotCount, &step.disc, where))
            return fail(where, QStringLiteral("needs a \"disc\" from 1 to %1").arg(kSlotCount));
        const QJsonValue track = object.value(QStringLiteral("track"));
        if (track.toString() == QLatin1String("all"))
            step.track = kAllTracks;
        else if (!track.isDouble() || track.toInt(0) < 1 || track.toInt(0) > kMaxTracks)
            return fail(where, QStringLiteral("\"track\" is 1 to 99 or \"all\""));
        else
            step.track = track.toInt();
        library->program.append(step);
    }
    return true;
}

bool LibraryParser::parse(const QJsonObject& root, ChangerLibrary* library) {
    if (!checkKeys(root,
                   {QStringLiteral("changer"), QStringLiteral("mode"),
                    QStringLiteral("userFileNames"), QStringLiteral("program"),
                    QStringLiteral("play"), QStringLiteral("discs"), QStringLiteral("comment")},
                   QString()))
        return false;
    if (!root.value(QStringLiteral("discs")).isArray())
        return fail(QString(), QStringLiteral("\"discs\" must be a list of discs"));
    if (!readInt(root, QStringLiteral("mode"), 0, 1, &library->changerMode, QString()))
        return false;
    const QJsonArray names = root.value(QStringLiteral("userFileNames")).toArray();
    if (names.size() > kUserFileCount)
        return fail(QStringLiteral("userFileNames"), QStringLiteral("at most 8 names"));
    for (int i = 0; i < names.size(); ++i) {
        if (!readText(names.at(i), kMemoryTitleLength, &library->userFileNames.at(i),
                      QStringLiteral("user-file name %1").arg(i + 1)))
            return false;
    }
    for (const QJsonValue& v : root.value(QStringLiteral("discs")).toArray()) {
        if (!v.isObject())
            return fail(QStringLiteral("discs"), QStringLiteral("every entry must be an object"));
        if (!parseDisc(v.toObject(), library))
            return false;
    }
    if (!parseProgram(root.value(QStringLiteral("program")).toArray(), library))
        return false;
    return parsePlay(root.value(QStringLiteral("play")).toObject(), library);
}

QJsonValue textValue(const QByteArray& bytes) {
    return decodeChangerText(bytes);
}

} // namespace

bool parseLibrary(const QByteArray& json, ChangerLibrary* out, QString* error) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        const QByteArray before = json.left(parseError.offset);
        const int line = static_cast<int>(before.count('\n')) + 1;
        const int column = static_cast<int>(parseError.offset - before.lastIndexOf('\n'));
        *error = QStringLiteral("not valid JSON at line %1, column %2: %3")
                     .arg(line)
                     .arg(column)
                     .arg(parseError.errorString());
        return false;
    }
    if (!document.isObject()) {
        *error = QStringLiteral("the library must be a JSON object");
        return false;
    }
    ChangerLibrary library;
    LibraryParser parser;
    if (!parser.parse(document.object(), &library)) {
        *error = parser.error();
        return false;
    }
    *out = library;
    return true;
}

bool loadLibraryFile(const QString& path, ChangerLibrary* out, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: cannot read: %2").arg(path, file.errorString());
        return false;
    }
    QString problem;
    if (!parseLibrary(file.readAll(), out, &problem)) {
        *error = QStringLiteral("%1: %2").arg(path, problem);
        return false;
    }
    return true;
}

QByteArray libraryToJson(const ChangerLibrary& library) {
    QJsonObject root;
    root.insert(QStringLiteral("mode"), library.changerMode);
    QJsonArray names;
    for (const QByteArray& name : library.userFileNames)
        names.append(textValue(name));
    root.insert(QStringLiteral("userFileNames"), names);
    QJsonArray program;
    for (const ProgramStep& step : library.program) {
        QJsonObject object{{QStringLiteral("disc"), step.disc}};
        object.insert(QStringLiteral("track"), step.track == kAllTracks
                                                   ? QJsonValue(QStringLiteral("all"))
                                                   : QJsonValue(step.track));
        program.append(object);
    }
    root.insert(QStringLiteral("program"), program);
    QJsonArray discs;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const SimDisc& disc = library.disc(slot);
        if (!disc.present)
            continue;
        QJsonObject object{{QStringLiteral("slot"), slot}};
        if (disc.lowest != 1)
            object.insert(QStringLiteral("firstTrack"), disc.lowest);
        QJsonArray toc;
        for (const Msf& msf : disc.toc)
            toc.append(msfText(msf));
        object.insert(QStringLiteral("toc"), toc);
        if ((disc.info & ~kInfoCdText) != 0)
            object.insert(QStringLiteral("info"), disc.info);
        if (disc.hasCdText()) {
            QJsonArray tracks;
            for (const QByteArray& title : disc.cdTextTracks)
                tracks.append(textValue(title));
            object.insert(QStringLiteral("cdText"),
                          QJsonObject{{QStringLiteral("title"), textValue(disc.cdTextTitle)},
                                      {QStringLiteral("tracks"), tracks}});
        }
        if (disc.hasMemoryTitles()) {
            QJsonArray tracks;
            const int last = disc.memoryTracks.isEmpty() ? 0 : disc.memoryTracks.lastKey();
            for (int track = 1; track <= last; ++track)
                tracks.append(textValue(disc.memoryTracks.value(track)));
            object.insert(QStringLiteral("memory"),
                          QJsonObject{{QStringLiteral("title"), textValue(disc.memoryTitle)},
                                      {QStringLiteral("tracks"), tracks}});
        }
        QJsonArray userFiles;
        for (int bit = 0; bit < kUserFileCount; ++bit) {
            if (disc.userFileByte & (1u << bit))
                userFiles.append(bit + 1);
        }
        if (!userFiles.isEmpty())
            object.insert(QStringLiteral("userFiles"), userFiles);
        if (disc.musicType != 0)
            object.insert(QStringLiteral("musicType"), disc.musicType);
        if (disc.titleLocked)
            object.insert(QStringLiteral("titleLocked"), true);
        discs.append(object);
    }
    root.insert(QStringLiteral("discs"), discs);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

} // namespace tf::sim
