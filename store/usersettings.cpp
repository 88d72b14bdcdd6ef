#include "store/usersettings.h"

#include <QSettings>

namespace tf {
namespace {

QSettings store() {
    return QSettings(QStringLiteral("MYAPP"), QStringLiteral("MYAPP"));
}

QString comKey(int comNumber) {
    return QStringLiteral("Ports/COM") + QString::number(comNumber);
}

} // namespace

QString UserSettings::defaultComDevice(int comNumber) {
    if (comNumber < 1 || comNumber > 4)
        return {};
#ifdef Q_OS_WIN
    return QStringLiteral("COM") + QString::number(comNumber);
#else
    return QStringLiteral("/dev/ttyS") + QString::number(comNumber - 1);
#endif
}

QString UserSettings::comDevice(int comNumber) {
    if (comNumber < 1 || comNumber > 4)
        return {};
    const QString device = store().value(comKey(comNumber)).toString();
    return device.isEmpty() ? defaultComDevice(comNumber) : device;
}

void UserSettings::setComDevice(int comNumber, const QString& device) {
    if (comNumber < 1 || comNumber > 4)
        return;
    store().setValue(comKey(comNumber), device);
}

std::optional<QRect> UserSettings::windowPositionTwips() {
    QSettings s = store();
    s.beginGroup(QStringLiteral("WindowsPosition"));
    if (!s.contains(QStringLiteral("Top")) || !s.contains(QStringLiteral("Left")))
        return std::nullopt;
    return QRect(s.value(QStringLiteral("Left")).toInt(), s.value(QStringLiteral("Top")).toInt(),
                 s.value(QStringLiteral("Width")).toInt(),
                 s.value(QStringLiteral("Height")).toInt());
}

void UserSettings::setWindowPositionTwips(const QRect& twips) {
    QSettings s = store();
    s.beginGroup(QStringLiteral("WindowsPosition"));
    s.setValue(QStringLiteral("Top"), twips.top());
    s.setValue(QStringLiteral("Left"), twips.left());
    s.setValue(QStringLiteral("Width"), twips.width());
    s.setValue(QStringLiteral("Height"), twips.height());
}

bool UserSettings::mediaPlayerPublished() {
    return store().value(QStringLiteral("Desktop/MediaPlayer"), true).toBool();
}

void UserSettings::setMediaPlayerPublished(bool published) {
    store().setValue(QStringLiteral("Desktop/MediaPlayer"), published);
}

} // namespace tf
