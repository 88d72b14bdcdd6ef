#pragma once

#include <QRect>
#include <QString>

#include <optional>

namespace tf {

// The per-user settings store: the main window's position (in twips, as the settings have
// always held it) and the device behind each COM number.
class UserSettings {
public:
    static constexpr int kTwipsPerPixel = 15; // at 96 dots per inch

    // The device opened for COM1..COM4. Defaults: /dev/ttyS0../dev/ttyS3 (COM1..COM4 on
    // Windows). Any other number has no device.
    static QString comDevice(int comNumber);
    static void setComDevice(int comNumber, const QString& device);
    static QString defaultComDevice(int comNumber);

    // Window position in twips; nullopt until one was stored.
    static std::optional<QRect> windowPositionTwips();
    static void setWindowPositionTwips(const QRect& twips);

    // Whether the changer is published as a desktop media player (default: yes).
    static bool mediaPlayerPublished();
    static void setMediaPlayerPublished(bool published);
};

} // namespace tf
