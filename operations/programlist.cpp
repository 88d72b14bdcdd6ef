#include "operations/programlist.h"

#include "link/link.h"
#include "operations/exchange.h"
#include "store/config.h"
#include "store/recordfile.h"
#include "store/storefiles.h"
#include "store/storeio.h"
#include "store/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace tf {

namespace {

constexpr qint16 kTxProgramUpload = 2;
constexpr int kStepTextLength = 10;

QString programPath(const Configuration& config) {
    return config.dataPath(storefiles::kProgram);
}

} // namespace

namespace programfile {

QString stepText(const ProgramStep& step) {
    const QString track =
        step.wholeDisc() ? QStringLiteral("ALL") : QStringLiteral("%1").arg(step.track, 3);
    return QStringLiteral("[%1][%2]").arg(step.disc, 3).arg(track);
}

std::optional<ProgramStep> stepOf(const QString& text) {
    if (text.size() != kStepTextLength || text.at(0) != QLatin1Char('[') ||
        text.mid(4, 2) != QLatin1String("][") || text.at(9) != QLatin1Char(']'))
        return std::nullopt;
    const auto disc = textfile::parseNumber(text.mid(1, 3));
    if (!disc || *disc < 1)
        return std::nullopt;
    ProgramStep step;
    step.disc = quint16(*disc);
    const QString track = text.mid(6, 3);
    if (track == QLatin1String("ALL")) {
        step.track = kWholeDiscTrack;
        return step;
    }
    const auto number = textfile::parseNumber(track);
    if (!number || *number < 1 || *number > 99)
        return std::nullopt;
    step.track = quint8(*number);
    return step;
}

bool write(const QString& path, const QList<ProgramStep>& steps, QString* error) {
    QByteArray bytes;
    for (int i = 0; i < steps.size(); ++i)
        recordfile::putRecord(bytes, i + 1, stepText(steps.at(i)));
    const QString scratch = QFileInfo(path).dir().filePath(storefiles::kProgramScratch);
    return textfile::replaceFile(path, scratch, bytes, error);
}

std::optional<QList<ProgramStep>> read(const QString& path, int limit, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        storeio::fail(error, QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    const int records = int((bytes.size() + recordfile::kRecordSize - 1) / recordfile::kRecordSize);
    QList<ProgramStep> steps;
    for (int k = 1; k <= records && steps.size() < limit; ++k) {
        const auto text = recordfile::recordFromBytes(bytes, k);
        if (text && text->isEmpty())
            break;
        const auto step = text ? stepOf(*text) : std::nullopt;
        if (!step) {
            storeio::fail(
                error, QStringLiteral("Record %1 of %2 is not a program step.").arg(k).arg(path));
            return std::nullopt;
        }
        steps.append(*step);
    }
    return steps;
}

} // namespace programfile

bool ReadProgramList(Link& link, const Configuration& config, QString* error) {
    QList<ProgramStep> steps;
    if (!link.ReadProgramList(steps))
        return false;
    return programfile::write(programPath(config), steps, error);
}

bool SendProgramList(Link& link, const Configuration& config, int n, QString* error) {
    const auto steps =
        programfile::read(programPath(config), qBound(0, n, kMaxProgramSteps), error);
    if (!steps)
        return false;
    link.SendProgramList(*steps);
    return true;
}

bool UploadProgramList(Link& link, const Configuration& config, int n, QString* error) {
    // The steps are read once, so every repeat of the frame sends the same list.
    const auto steps =
        programfile::read(programPath(config), qBound(0, n, kMaxProgramSteps), error);
    if (!steps) {
        link.recordResult(false);
        return false;
    }
    link.setCurrentTransaction(kTxProgramUpload);
    const auto finish = [&link](bool ok) {
        link.recordResult(ok);
        link.setCurrentTransaction(0);
        return ok;
    };
    if (ops::openExchange(link) != ops::StepResult::Acked)
        return finish(false);
    if (ops::sendAcked(link, [&] { link.SendProgramList(*steps); }) != ops::StepResult::Acked)
        return finish(false);
    return finish(ops::closeExchange(link) == ops::StepResult::Acked);
}

QList<ProgramStep> readChangerProgram(Link& link, const Configuration& config) {
    link.Tarminal_Base_check();
    {
        const LinkHold hold(link, kLinkAudio);
        ReadProgramList(link, config);
    }
    // Without a readable working file the program is empty.
    return programfile::read(programPath(config), kMaxProgramSteps).value_or(QList<ProgramStep>());
}

bool stageProgram(const Configuration& config, const QList<ProgramStep>& steps) {
    const QString path = programPath(config);
    QFile::remove(path);
    return steps.isEmpty() || programfile::write(path, steps);
}

bool sendStagedProgram(Link& link, const Configuration& config) {
    const QString path = programPath(config);
    // No working file means an empty program: it goes out as an empty list.
    const bool empty = !QFile::exists(path);
    if (empty && !programfile::write(path, {}))
        return false;
    const int n =
        int(programfile::read(path, kMaxProgramSteps).value_or(QList<ProgramStep>()).size());
    bool ok = link.Tarminal_Base_check();
    if (ok) {
        const LinkHold hold(link, kLinkAudio);
        ok = UploadProgramList(link, config, n);
    }
    if (empty)
        QFile::remove(path);
    return ok;
}

} // namespace tf
