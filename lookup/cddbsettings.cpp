#include "lookup/cddbsettings.h"

#include <QSettings>

namespace tf {

namespace {

QSettings store() {
    return QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
}

// A damaged value falls back to the default rather than to something unusable.
QString text(const QSettings& s, const char* key, const QString& fallback) {
    const QString value = s.value(QLatin1String(key), fallback).toString().trimmed();
    return value.isEmpty() ? fallback : value;
}

int number(const QSettings& s, const char* key, int fallback, int low, int high) {
    bool ok = false;
    const int value = s.value(QLatin1String(key), fallback).toInt(&ok);
    return ok && value >= low && value <= high ? value : fallback;
}

} // namespace

CddbOptions CddbSettings::load() {
    const CddbOptions defaults;
    CddbOptions o;
    QSettings s = store();
    s.beginGroup(QLatin1String(kGroup));
    o.scheme = text(s, "Scheme", defaults.scheme).toLower();
    if (o.scheme != QLatin1String("http") && o.scheme != QLatin1String("https"))
        o.scheme = defaults.scheme;
    o.server = text(s, "Server", defaults.server);
    o.port = number(s, "Port", 0, 0, 65535);
    o.queryPath = text(s, "QueryPath", defaults.queryPath);
    o.submitPath = text(s, "SubmitPath", defaults.submitPath);
    o.email = s.value(QStringLiteral("Email")).toString().trimmed();
    o.proxyHost = s.value(QStringLiteral("ProxyHost")).toString().trimmed();
    o.proxyPort = number(s, "ProxyPort", 0, 0, 65535);
    o.proxyUser = s.value(QStringLiteral("ProxyUser")).toString();
    o.offlineFolder = s.value(QStringLiteral("OfflineFolder")).toString().trimmed();
    o.offlineMode = offlineModeFromName(s.value(QStringLiteral("OfflineMode")).toString());
    return o;
}

void CddbSettings::save(const CddbOptions& o) {
    QSettings s = store();
    s.beginGroup(QLatin1String(kGroup));
    s.setValue(QStringLiteral("Scheme"), o.scheme);
    s.setValue(QStringLiteral("Server"), o.server);
    s.setValue(QStringLiteral("Port"), o.port);
    s.setValue(QStringLiteral("QueryPath"), o.queryPath);
    s.setValue(QStringLiteral("SubmitPath"), o.submitPath);
    s.setValue(QStringLiteral("Email"), o.email);
    s.setValue(QStringLiteral("ProxyHost"), o.proxyHost);
    s.setValue(QStringLiteral("ProxyPort"), o.proxyPort);
    s.setValue(QStringLiteral("ProxyUser"), o.proxyUser);
    s.setValue(QStringLiteral("OfflineFolder"), o.offlineFolder);
    s.setValue(QStringLiteral("OfflineMode"), offlineModeName(o.offlineMode));
    s.endGroup();
    s.sync();
}

bool CddbSettings::exist() {
    QSettings s = store();
    return s.childGroups().contains(QLatin1String(kGroup));
}

QString CddbSettings::offlineModeName(CddbOptions::Offline mode) {
    switch (mode) {
    case CddbOptions::Offline::Before:
        return QStringLiteral("before");
    case CddbOptions::Offline::Instead:
        return QStringLiteral("instead");
    case CddbOptions::Offline::Off:
        break;
    }
    return QStringLiteral("off");
}

CddbOptions::Offline CddbSettings::offlineModeFromName(const QString& name) {
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("before"))
        return CddbOptions::Offline::Before;
    if (n == QLatin1String("instead"))
        return CddbOptions::Offline::Instead;
    return CddbOptions::Offline::Off;
}

} // namespace tf
