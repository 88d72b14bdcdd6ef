// Fuzz entry of the simulator's library files.

#include "fuzz/fuzzentries.h"

#include "sim/simlibrary.h"

namespace tf::fuzz {

QString fuzzSimLibrary(const QByteArray& input, const QString&) {
    sim::ChangerLibrary library;
    QString error;
    if (!sim::parseLibrary(input, &library, &error)) {
        if (error.isEmpty())
            return QStringLiteral("a refused library without a reason");
        return {};
    }
    // A library the simulator accepted saves to a file it accepts again, unchanged.
    const QByteArray saved = sim::libraryToJson(library);
    sim::ChangerLibrary again;
    if (!sim::parseLibrary(saved, &again, &error))
        return QStringLiteral("a saved library does not load: ") + error;
    if (sim::libraryToJson(again) != saved)
        return QStringLiteral("a saved library loads with other contents");
    return {};
}

} // namespace tf::fuzz
