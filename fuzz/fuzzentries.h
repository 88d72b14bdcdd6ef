#pragma once

// Entry functions of the fuzz targets, shared with the regression test that replays every
// input a fuzzer once crashed on. Each entry feeds one input to a parser and checks what it
// can cheaply check (parse, write, parse again gives the same); it returns an empty text when
// every check held, else what went wrong. Crashes are left to the sanitizers.

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace tf::fuzz {

// `workDir` is an existing, empty-or-reused folder of this process for readers that take a
// file path; entries may leave files in it.
using Entry = QString (*)(const QByteArray& input, const QString& workDir);

// The entry of a target (assembler, frame, discfile, ...); nullptr for an unknown name.
Entry entryFor(const QString& target);
QStringList targetNames();

// Qt warnings would be printed for every malformed input; the fuzzers run silent.
void silenceQtMessages();

// Entries, one per parser.
QString fuzzAssembler(const QByteArray& input, const QString& workDir);
QString fuzzFrame(const QByteArray& input, const QString& workDir);
QString fuzzDiscFile(const QByteArray& input, const QString& workDir);
QString fuzzDiscData(const QByteArray& input, const QString& workDir);
QString fuzzDiscList(const QByteArray& input, const QString& workDir);
QString fuzzTitleRecords(const QByteArray& input, const QString& workDir);
QString fuzzConfig(const QByteArray& input, const QString& workDir);
QString fuzzProxy(const QByteArray& input, const QString& workDir);
QString fuzzRecordFile(const QByteArray& input, const QString& workDir);
QString fuzzCddb(const QByteArray& input, const QString& workDir);
QString fuzzXmcd(const QByteArray& input, const QString& workDir);
QString fuzzSimLibrary(const QByteArray& input, const QString& workDir);
QString fuzzMusicBrainz(const QByteArray& input, const QString& workDir);

// Writes `bytes` to `name` in `dir` (replacing it); false when the file cannot be written.
bool putFile(const QString& dir, const QString& name, const QByteArray& bytes);

} // namespace tf::fuzz
