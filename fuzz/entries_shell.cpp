// Fuzz entries of the program folder's settings files: config.KWD and proxy.dt.

#include "fuzz/fuzzentries.h"

#include "base/codepage.h"
#include "store/config.h"

#include <QFile>

namespace tf::fuzz {
namespace {

bool sameSettings(const ConfigSettings& a, const ConfigSettings& b) {
    return a.dataDir == b.dataDir && a.comPort == b.comPort && a.silent == b.silent &&
           a.init == b.init && a.noWebSearch == b.noWebSearch &&
           a.alwaysWebSearch == b.alwaysWebSearch && a.proxySet == b.proxySet;
}

} // namespace

QString fuzzConfig(const QByteArray& input, const QString& dir) {
    // Only the reader and the writer: LOAD_CONFIG would write ufn.txt into whatever data
    // folder the input names.
    Configuration config(dir);
    QFile::remove(config.configPath());
    putFile(dir, QStringLiteral("config.KWD"), input);
    if (!config.readSettings())
        return {};
    // Settings read from a file, written and read again, are the same settings.
    ConfigSettings read = config.settings;
    read.dataDir = codepage::withoutControls(read.dataDir);
    if (!config.writeSettings(config.configPath(), config.settings))
        return QStringLiteral("writeSettings failed");
    Configuration again(dir);
    if (!again.readSettings())
        return QStringLiteral("a written config.KWD does not read back");
    if (!sameSettings(read, again.settings))
        return QStringLiteral("config.KWD reads back with other settings");
    if (!again.MarkProxyQuestionAnswered())
        return QStringLiteral("MarkProxyQuestionAnswered failed");
    Configuration marked(dir);
    if (!marked.readSettings() || marked.settings.proxySet != 1)
        return QStringLiteral("the proxy question's flag does not read back");
    return {};
}

QString fuzzProxy(const QByteArray& input, const QString& dir) {
    Configuration config(dir);
    putFile(dir, QStringLiteral("proxy.dt"), input);
    const auto proxy = config.takeProxyHandOver();
    if (!proxy)
        return QStringLiteral("an existing proxy.dt read as missing");
    if (QFile::exists(config.proxyHandOverPath()))
        return QStringLiteral("proxy.dt kept after it was taken");
    // Handed over again, the same values arrive (control characters as blanks).
    QString error;
    if (!config.writeProxyHandOver(*proxy, &error))
        return QStringLiteral("writeProxyHandOver failed: ") + error;
    const auto again = config.takeProxyHandOver();
    if (!again || again->server != codepage::withoutControls(proxy->server) ||
        again->password != codepage::withoutControls(proxy->password) ||
        again->port != proxy->port || again->userName != codepage::withoutControls(proxy->userName))
        return QStringLiteral("proxy.dt does not read back");
    return {};
}

} // namespace tf::fuzz
