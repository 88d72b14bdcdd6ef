#include "ctl/librarycommands.h"

#include "ctl/consoleui.h"
#include "ctl/ctlsession.h"
#include "model/discid.h"
#include "portability/library.h"
#include "portability/librarycsv.h"
#include "portability/libraryimport.h"
#include "portability/libraryjson.h"
#include "store/textfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <cstdio>

namespace tf::ctl {

namespace {

int usage(const QString& command, const QString& text) {
    printError(text + QLatin1Char('\n') + commandHelp(command));
    return kExitUsage;
}

void printOut(const QByteArray& bytes) {
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

int discId(const CommandOptions& o) {
    static const QRegularExpression entry(QStringLiteral("^(\\d{1,2}):(\\d{1,2}):(\\d{1,2})$"));
    if (o.positional.size() < 2)
        return usage(QStringLiteral("discid"),
                     QStringLiteral("Give the start of every track and then the lead-out."));
    QList<TocTime> toc;
    for (const QString& text : o.positional) {
        const auto t = library::parseTocEntry(text);
        if (!t)
            return usage(QStringLiteral("discid"),
                         QStringLiteral("\"%1\" is not minutes:seconds:frames (seconds below 60, "
                                        "frames below 75).")
                             .arg(text));
        toc.append(*t);
    }
    QString problem;
    const auto id = ComputeDiscId(toc, &problem);
    if (!id) {
        printError(problem);
        return kExitData;
    }
    printOut((discIdText(*id) + QLatin1Char('\n') + tocText(toc) + QLatin1Char('\n')).toUtf8());
    return kExitOk;
}

bool dataFolderExists(const Session& s) {
    if (QFileInfo(s.dataDir()).isDir())
        return true;
    printError(QStringLiteral("The data folder %1 does not exist.").arg(s.dataDir()));
    return false;
}

int exportLibrary(Session& s, const CommandOptions& o) {
    const QString format = o.values.value(QStringLiteral("--format"), QStringLiteral("json"));
    if (format != QLatin1String("json") && format != QLatin1String("csv"))
        return usage(QStringLiteral("export"), QStringLiteral("Unknown format ") + format);
    if (!o.positional.isEmpty())
        return usage(QStringLiteral("export"),
                     QStringLiteral("export takes no file name; use --output."));
    if (!dataFolderExists(s))
        return kExitData;
    QStringList warnings;
    const library::Library lib = library::load(s.dataDir(), &warnings);
    for (const QString& w : warnings)
        printError(QStringLiteral("warning: ") + w);
    const QByteArray bytes =
        format == QLatin1String("csv") ? library::toCsv(lib) : library::toJson(lib);
    const QString output = o.values.value(QStringLiteral("--output"));
    if (output.isEmpty()) {
        printOut(bytes);
        return kExitOk;
    }
    QString error;
    if (!textfile::replaceFile(output, textfile::defaultScratch(output), bytes, &error)) {
        printError(error);
        return kExitData;
    }
    return kExitOk;
}

int importLibrary(Session& s, const CommandOptions& o) {
    if (o.positional.size() != 1)
        return usage(QStringLiteral("import"), QStringLiteral("Give one file to import."));
    const QString path = o.positional.first();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        printError(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
        return kExitData;
    }
    const QByteArray bytes = file.readAll();
    QString format = o.values.value(QStringLiteral("--format"));
    if (format.isEmpty())
        format = bytes.trimmed().startsWith('{') ? QStringLiteral("json") : QStringLiteral("csv");
    if (format != QLatin1String("json") && format != QLatin1String("csv"))
        return usage(QStringLiteral("import"), QStringLiteral("Unknown format ") + format);

    QString error;
    const auto lib = format == QLatin1String("json") ? library::fromJson(bytes, &error)
                                                     : library::fromCsv(bytes, &error);
    if (!lib) {
        printError(QStringLiteral("%1: %2; nothing was written.").arg(path, error));
        return kExitData;
    }
    if (const auto problem = library::validate(*lib)) {
        printError(QStringLiteral("%1: %2; nothing was written.").arg(path, *problem));
        return kExitData;
    }
    library::ImportOptions options;
    options.dryRun = o.flags.contains(QStringLiteral("--dry-run"));
    options.force = o.flags.contains(QStringLiteral("--force"));
    if (!options.dryRun && !QDir().mkpath(s.dataDir())) {
        printError(QStringLiteral("Cannot create the data folder %1.").arg(s.dataDir()));
        return kExitData;
    }
    const library::ImportReport report = library::importInto(s.dataDir(), *lib, options);
    QByteArray out;
    const QString prefix =
        options.dryRun ? QStringLiteral("would change ") : QStringLiteral("changed ");
    for (const QString& change : report.changes)
        out += (prefix + change + QLatin1Char('\n')).toUtf8();
    if (report.changes.isEmpty())
        out += "no changes\n";
    printOut(out);
    for (const QString& refused : report.refused)
        printError(QStringLiteral("refused ") + refused);
    if (!report.ok()) {
        printError(report.error + QStringLiteral("; the import stopped there."));
        return kExitData;
    }
    return report.refused.isEmpty() ? kExitOk : kExitRefused;
}

} // namespace

bool isLibraryCommand(const QString& command) {
    return command == QLatin1String("discid") || command == QLatin1String("export") ||
           command == QLatin1String("import");
}

int runLibraryCommand(Session& session, const Arguments& args) {
    QString error;
    const QStringList withValue{QStringLiteral("--format"), QStringLiteral("--output")};
    const QStringList flags =
        args.command == QLatin1String("import")
            ? QStringList{QStringLiteral("--dry-run"), QStringLiteral("--force")}
            : QStringList{};
    const auto options =
        splitOptions(args.rest, args.command == QLatin1String("discid") ? QStringList{} : withValue,
                     flags, &error);
    if (!options)
        return usage(args.command, error);
    if (args.command == QLatin1String("discid"))
        return discId(*options);
    if (args.command == QLatin1String("import") &&
        options->values.contains(QStringLiteral("--output")))
        return usage(args.command, QStringLiteral("unknown option --output"));
    session.loadConfiguration();
    if (args.command == QLatin1String("export"))
        return exportLibrary(session, *options);
    return importLibrary(session, *options);
}

} // namespace tf::ctl
