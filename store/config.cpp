#include "store/config.h"

#include "store/storefiles.h"
#include "store/textfile.h"
#include "store/userfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>

#include <utility>

namespace tf {
namespace {

const QString kKeyDataDir = QStringLiteral("DATA DIR =");
const QString kKeyComNo = QStringLiteral("COM No =");
const QString kKeySilent = QStringLiteral("SILENT =");
const QString kKeyInit = QStringLiteral("INIT =");
const QString kKeyWeb = QStringLiteral("WEB =");
const QString kKeyProxySet = QStringLiteral("Proxy set =");

QString separator() {
    return QString(QDir::separator());
}

void takeNumber(const QString& line, qint16& field) {
    // A value that is not a number leaves the field as it was; the key still counts.
    if (const auto value = textfile::parseNumber(line))
        field = *value;
}

} // namespace

Configuration::Configuration(QString programDir) : m_programDir(std::move(programDir)) {
    settings.dataDir = defaultDataDir();
}

QString Configuration::programPath(const QString& name) const {
    return QDir(m_programDir).filePath(name);
}

QString Configuration::dataPath(const QString& name) const {
    return settings.dataDir + name;
}

QString Configuration::defaultDataDir() const {
    return QDir::toNativeSeparators(QDir(m_programDir).absolutePath()) + separator() +
           QStringLiteral("data") + separator();
}

QString Configuration::locateProgramDir() {
    const QString exeDir = QCoreApplication::applicationDirPath();
    if (QFileInfo(exeDir).isWritable())
        return exeDir;
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    QDir().mkpath(dataDir);
    return dataDir;
}

void Configuration::LOAD_CONFIG() {
    // The "data" folder of the program folder exists at every start, whatever folder the
    // settings name. Only an entry of exactly that name counts.
    const QDir programDir(m_programDir);
    if (!programDir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
             .contains(QStringLiteral("data")))
        programDir.mkdir(QStringLiteral("data"));

    if (!QFileInfo::exists(configPath())) {
        WriteDefaultConfig(configPath());
        firstRunFlag = true;
    } else if (!readSettings()) {
        WriteDefaultConfig(configPath());
    }
    userfiles::writeDefaults(dataPath(storefiles::kUserFileNames));
}

bool Configuration::readSettings() {
    const auto lines = textfile::readLines(configPath());
    if (!lines)
        return false;
    // Each key is searched from the line after the previous value; a key that is missing
    // consumes the rest of the file, so every later key is missing too.
    qsizetype pos = 0;
    int found = 0;
    auto seek = [&](const QString& key) {
        while (pos < lines->size()) {
            if (lines->at(pos++) == key)
                return true;
        }
        return false;
    };
    auto next = [&]() {
        return pos < lines->size() ? lines->at(pos++) : QString();
    };

    if (seek(kKeyDataDir)) {
        if (pos < lines->size())
            settings.dataDir = next();
        ++found;
    }
    if (seek(kKeyComNo)) {
        takeNumber(next(), settings.comPort);
        ++found;
    }
    if (seek(kKeySilent)) {
        takeNumber(next(), settings.silent);
        ++found;
    }
    if (seek(kKeyInit)) {
        takeNumber(next(), settings.init);
        ++found;
    }
    if (seek(kKeyWeb)) {
        takeNumber(next(), settings.noWebSearch);
        takeNumber(next(), settings.alwaysWebSearch);
        ++found;
    }
    if (seek(kKeyProxySet)) {
        takeNumber(next(), settings.proxySet);
        ++found;
    }
    return found == 6;
}

bool Configuration::writeSettings(const QString& path, const ConfigSettings& values) {
    const QStringList lines = {kKeyDataDir,
                               values.dataDir,
                               kKeyComNo,
                               textfile::paddedNumber(values.comPort),
                               kKeySilent,
                               textfile::paddedNumber(values.silent),
                               kKeyInit,
                               textfile::paddedNumber(values.init),
                               kKeyWeb,
                               textfile::paddedNumber(values.noWebSearch),
                               textfile::paddedNumber(values.alwaysWebSearch),
                               kKeyProxySet,
                               textfile::paddedNumber(values.proxySet)};
    settings = values;
    return textfile::replaceLines(path, programPath(storefiles::kConfigScratch), lines);
}

bool Configuration::WriteDefaultConfig(const QString& path) {
    ConfigSettings defaults;
    defaults.dataDir = defaultDataDir();
    return writeSettings(path, defaults);
}

bool Configuration::WriteConfigFromOptions(const OptionsValues& options) {
    ConfigSettings values;
    values.dataDir = options.folderPath + separator();
    values.comPort = 5; // no port option selected
    for (int i = 0; i < 4; ++i) {
        if (options.comSelected[i]) {
            values.comPort = static_cast<qint16>(i + 1);
            break;
        }
    }
    values.silent = options.silent ? 1 : 0;
    values.init = options.init ? 1 : 0;
    values.noWebSearch = options.noWebSearch ? 1 : 0;
    values.alwaysWebSearch = options.alwaysWebSearch ? 1 : 0;
    values.proxySet = settings.proxySet;
    return writeSettings(configPath(), values);
}

bool Configuration::MarkProxyQuestionAnswered() {
    settings.proxySet = 1;
    // Only the flag's value changes: the lines up to its key are copied as they are.
    QStringList lines = textfile::readLines(configPath()).value_or(QStringList());
    // The key is looked for where readSettings finds it, after the other keys and their values:
    // a value that reads like a key (a data folder named "Proxy set =") is not the key, and
    // cutting the file there would lose the settings after it.
    qsizetype from = 0;
    for (const auto& [earlier, values] :
         {std::pair{kKeyDataDir, 1}, std::pair{kKeyComNo, 1}, std::pair{kKeySilent, 1},
          std::pair{kKeyInit, 1}, std::pair{kKeyWeb, 2}}) {
        const qsizetype at = lines.indexOf(earlier, from);
        from = at < 0 ? lines.size() : qMin(at + 1 + values, lines.size());
    }
    const qsizetype key = lines.indexOf(kKeyProxySet, from);
    if (key < 0) {
        lines.append(kKeyProxySet);
    } else {
        lines = lines.mid(0, key + 1);
    }
    lines.append(textfile::paddedNumber(1));
    return textfile::replaceLines(configPath(), programPath(storefiles::kConfigScratch), lines);
}

bool Configuration::writeProxyHandOver(const ProxyHandOver& proxy, QString* error) const {
    const QStringList lines = {proxy.server, proxy.password, QString::number(proxy.port),
                               proxy.userName};
    return textfile::replaceFile(proxyHandOverPath(), textfile::defaultScratch(proxyHandOverPath()),
                                 textfile::joinLines(lines), error, /*ownerOnly=*/true);
}

std::optional<ProxyHandOver> Configuration::takeProxyHandOver() const {
    const auto lines = textfile::readLines(proxyHandOverPath());
    if (!lines)
        return std::nullopt;
    ProxyHandOver proxy;
    proxy.server = lines->value(0);
    proxy.password = lines->value(1);
    proxy.port = textfile::parseNumber32(lines->value(2)).value_or(0);
    proxy.userName = lines->value(3);
    QFile::remove(proxyHandOverPath());
    return proxy;
}

} // namespace tf
