#include "operations/memorytitles.h"

namespace tf::memorytitles {

MemoryTitles fromRecords(const QStringList& lines) {
    MemoryTitles out;
    int k = 0;
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines.at(i) != QLatin1Char('#') + QString::number(k))
            continue;
        const QString& title = lines.at(++i); // the title line is never taken for a key
        if (k == 0)
            out.discTitle = title;
        else
            out.trackTitles.insert(k, title);
        ++k;
    }
    return out;
}

} // namespace tf::memorytitles
