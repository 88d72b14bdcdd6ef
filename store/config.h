#pragma once

#include "store/storefiles.h"

#include <QString>

#include <array>
#include <optional>

namespace tf {

// The program's settings, kept in config.KWD in the program folder. All numbers are the
// file's signed 16-bit values.
struct ConfigSettings {
    QString dataDir;            // ends in a separator; every title-store file name is appended
    qint16 comPort = 1;         // 1..4 = COM1..COM4 (5 when no port was chosen)
    qint16 silent = 0;          // 1: no progress dialog for downloads and uploads
    qint16 init = 0;            // non-zero: no initial instructions at start-up
    qint16 noWebSearch = 0;     // 1: never start an internet lookup
    qint16 alwaysWebSearch = 0; // non-zero: start a lookup without asking
    qint16 proxySet = 0;        // 1: the first-run proxy question has been answered
};

// What the options window hands over when the user presses UPDATE.
struct OptionsValues {
    QString folderPath;                // the chosen data folder, without a trailing separator
    std::array<bool, 4> comSelected{}; // COM1..COM4 option buttons
    bool silent = false;
    bool init = false;
    bool noWebSearch = false;
    bool alwaysWebSearch = false;
};

// The one-shot proxy hand-over file proxy.dt, written by the proxy window and read (and
// deleted) by the next main-window start.
struct ProxyHandOver {
    QString server;
    QString password;
    qint32 port = 0;
    QString userName;
};

class Configuration {
public:
    explicit Configuration(QString programDir);

    ConfigSettings settings;
    bool firstRunFlag = false; // set when LOAD_CONFIG created config.KWD

    const QString& programDir() const { return m_programDir; }
    QString programPath(const QString& name) const; // a file in the program folder
    QString dataPath(const QString& name) const;    // a file in the data folder
    QString configPath() const { return programPath(storefiles::kConfig); }
    QString defaultDataDir() const;

    // Makes sure the data folder and config.KWD exist, reads the file (replacing it with the
    // defaults when a key is missing or out of order) and resets ufn.txt to the default names.
    void LOAD_CONFIG();
    // Writes the default settings to `path` and takes them as the current settings.
    bool WriteDefaultConfig(const QString& path);
    // Writes config.KWD from the options window's values and takes them.
    bool WriteConfigFromOptions(const OptionsValues& options);
    // Records that the first-run proxy question has been answered.
    bool MarkProxyQuestionAnswered();

    QString proxyHandOverPath() const { return programPath(storefiles::kProxyHandOver); }
    bool writeProxyHandOver(const ProxyHandOver& proxy, QString* error = nullptr) const;
    // Reads proxy.dt and deletes it; nullopt when there is none.
    std::optional<ProxyHandOver> takeProxyHandOver() const;

    // Where the program folder lies: the executable's folder when it is writable, else the
    // per-user application data folder.
    static QString locateProgramDir();

    // Reads config.KWD into `settings`; false when the file cannot be read or a key is
    // missing (LOAD_CONFIG then writes the defaults).
    bool readSettings();
    // Writes `values` as a settings file at `path` and takes them as the current settings.
    bool writeSettings(const QString& path, const ConfigSettings& values);

private:
    QString m_programDir;
};

} // namespace tf
