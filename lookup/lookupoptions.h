#pragma once

#include "store/config.h"

#include <QNetworkProxy>
#include <QString>

namespace tf {

// Who the program is to the online database.
struct ClientIdentity {
    QString id;
    QString tag;
    QString version;
    QString registration;
};

// The identity this release announces.
ClientIdentity defaultClientIdentity();

// The proxy through which the online database is reached.
struct ProxyOptions {
    QString server;
    QString password;
    qint32 port = 0;
    QString userName;

    bool isSet() const { return !server.trimmed().isEmpty(); }
};

// The lookup component's options: what start-up hands over (client identity, program folder,
// proxy) and what a lookup sets before it runs. The online client reads them from here.
class LookupOptions {
public:
    static constexpr qint32 kDefaultProxyPort = 8080;

    void SetClientInfo(const QString& id, const QString& tag, const QString& version,
                       const QString& registration);
    const ClientIdentity& clientIdentity() const { return m_client; }

    QString folder;       // the program folder: the component keeps its files there
    int startFlag = 0;    // cleared at every start
    int lookupOption = 0; // set before every lookup
    ProxyOptions proxy;

    // Takes the proxy values handed over by the proxy settings window.
    void takeProxy(const ProxyHandOver& handOver);

    // The proxy for network requests; no proxy when none was set. A port that is missing or
    // not a usable number gives the usual HTTP proxy port instead of stopping anything.
    QNetworkProxy networkProxy() const;

private:
    ClientIdentity m_client;
};

} // namespace tf
