#pragma once

// The program list of programmed play between the changer and the program working file
// temppgm.txt (data folder): one step per 128-byte record, ten characters each,
//
//   "[  7][ 12]"   disc 7, track 12
//   "[123][ALL]"   disc 123, the whole disc

#include "model/program.h"

#include <QList>
#include <QString>

#include <optional>

namespace tf {

class Configuration;
class Link;

namespace programfile {

// The record text of a step: disc and track right-aligned in three characters, a track of
// 100 or more as "ALL".
QString stepText(const ProgramStep& step);

// The step of a record text; nullopt when it is not one (disc 1..999, track 1..99 or ALL).
std::optional<ProgramStep> stepOf(const QString& text);

// Replaces the file with exactly these steps, records 1 to n.
bool write(const QString& path, const QList<ProgramStep>& steps, QString* error = nullptr);

// The steps of records 1 to at most `limit`; reading stops at the end of the file or at an
// empty record. nullopt, with the reason, when the file cannot be read or a record is no step.
std::optional<QList<ProgramStep>> read(const QString& path, int limit, QString* error = nullptr);

} // namespace programfile

// Downloads the changer's program (the link held by the caller) and writes it to temppgm.txt
// (data folder). The file then holds exactly the changer's steps, so no step of an older
// program can pass for one of the changer's. On failure the transaction's message has been
// shown (442/443) and the file is unchanged.
bool ReadProgramList(Link& link, const Configuration& config, QString* error = nullptr);

// Sends the ProgramList frame of the first n records of temppgm.txt (fewer when the file holds
// fewer). False, with nothing sent, when the file cannot be read.
bool SendProgramList(Link& link, const Configuration& config, int n, QString* error = nullptr);

// Uploads the first n steps of temppgm.txt: ENQ, the frame, EOT, each step up to four times.
// Shows nothing; LastResult 0 on success, 255 on failure. A refusal (EOT in place of ACK) is a
// failure: the changer has not taken the program.
bool UploadProgramList(Link& link, const Configuration& config, int n, QString* error = nullptr);

// The changer's program for the program panel, holding the link once it is free. Empty when
// the changer has none or it could not be read (the read's message has been shown).
QList<ProgramStep> readChangerProgram(Link& link, const Configuration& config);

// Makes `steps` the program waiting to be sent: temppgm.txt holds them, or is removed when
// there are none. False when the file cannot be written.
bool stageProgram(const Configuration& config, const QList<ProgramStep>& steps);

// Sends the staged program, holding the link once it is free; no staged file sends an empty
// program. True only when the changer has taken it.
bool sendStagedProgram(Link& link, const Configuration& config);

} // namespace tf
