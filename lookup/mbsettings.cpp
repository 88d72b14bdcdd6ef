#include "lookup/mbsettings.h"

#include <QSettings>

namespace tf {

MbOptions MbSettings::load() {
    MbOptions o;
    QSettings s(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
    s.beginGroup(QLatin1String(kGroup));
    o.order = lookupOrderFromName(s.value(QStringLiteral("Order")).toString());
    // A damaged value falls back to the default rather than to something unusable.
    const QString scheme = s.value(QStringLiteral("Scheme")).toString().trimmed().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https"))
        o.scheme = scheme;
    const QString server = s.value(QStringLiteral("Server")).toString().trimmed();
    if (!server.isEmpty())
        o.server = server;
    bool ok = false;
    const int port = s.value(QStringLiteral("Port"), 0).toInt(&ok);
    o.port = ok && port >= 0 && port <= 65535 ? port : 0;
    o.sampleFolder = s.value(QStringLiteral("SampleFolder")).toString().trimmed();
    return o;
}

void MbSettings::save(const MbOptions& o) {
    QSettings s(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
    s.beginGroup(QLatin1String(kGroup));
    s.setValue(QStringLiteral("Order"), lookupOrderName(o.order));
    s.setValue(QStringLiteral("Scheme"), o.scheme);
    s.setValue(QStringLiteral("Server"), o.server);
    s.setValue(QStringLiteral("Port"), o.port);
    s.endGroup();
    s.sync();
}

} // namespace tf
