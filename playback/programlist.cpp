#include "playback/programlist.h"

namespace tf::program {

QString bracketNumber(int n) {
    return QStringLiteral("[%1]").arg(n, 3, 10, QLatin1Char(' '));
}

QString stepPrefix(int step) {
    return step < 10 ? QStringLiteral("P-0%1").arg(step) : QStringLiteral("P-%1").arg(step);
}

QString listItem(int step, const QString& discPart, const QString& trackPart) {
    return stepPrefix(step) + QStringLiteral(" : DISC ") + discPart + QStringLiteral(", TRACK ") +
           trackPart;
}

QString renumbered(const QString& item, int step) {
    return stepPrefix(step) + item.mid(4);
}

QString recordOfItem(const QString& item) {
    return item.mid(12, 5) + item.mid(25);
}

} // namespace tf::program
