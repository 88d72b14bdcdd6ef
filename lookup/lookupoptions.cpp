#include "lookup/lookupoptions.h"

namespace tf {

ClientIdentity defaultClientIdentity() {
    return {QStringLiteral("4718302 "), QStringLiteral("3C9A51E07B28D46F915E0A2C84B7D360"),
            QStringLiteral("1"), QStringLiteral("regString")};
}

void LookupOptions::SetClientInfo(const QString& id, const QString& tag, const QString& version,
                                  const QString& registration) {
    m_client = {id, tag, version, registration};
}

void LookupOptions::takeProxy(const ProxyHandOver& handOver) {
    proxy.server = handOver.server.trimmed();
    proxy.password = handOver.password;
    proxy.port = handOver.port;
    proxy.userName = handOver.userName;
}

QNetworkProxy LookupOptions::networkProxy() const {
    if (!proxy.isSet())
        return QNetworkProxy(QNetworkProxy::NoProxy);
    const quint16 port =
        proxy.port > 0 && proxy.port <= 65535 ? quint16(proxy.port) : quint16(kDefaultProxyPort);
    return QNetworkProxy(QNetworkProxy::HttpProxy, proxy.server, port, proxy.userName,
                         proxy.password);
}

} // namespace tf
