#pragma once

// A tiny HTTP/1.1 server on 127.0.0.1 for tests: it records every request as received and
// answers each with what a handler returns (or never, for time-out tests). One request per
// connection: every answer closes the connection.

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

namespace tf::test {

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

struct HttpStubRequest {
    QByteArray method;
    QByteArray target; // as on the request line: "/path?query" or, through a proxy, a full URL
    HttpHeaders headers;
    QByteArray body;
    qint64 receivedAtMs = 0; // on the stub's own monotonic clock

    // The value of a header, name compared without regard to case; empty when absent.
    QByteArray header(const QByteArray& name) const;
};

struct HttpStubReply {
    int status = 200;
    QByteArray reason = "OK";
    HttpHeaders headers;
    QByteArray body;
    bool silent = false; // accept the request, never answer

    static HttpStubReply text(const QByteArray& body, int status = 200,
                              const QByteArray& reason = "OK");
    static HttpStubReply never();
};

class HttpStub : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<HttpStubReply(const HttpStubRequest&)>;

    explicit HttpStub(QObject* parent = nullptr);

    bool listen(); // 127.0.0.1, a free port
    quint16 port() const { return m_server.serverPort(); }
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    const QList<HttpStubRequest>& requests() const { return m_requests; }
    // Waits (spinning the event loop, test code only) until `count` requests have arrived.
    bool waitForRequests(int count, int timeoutMs = 5000);

    // A loopback port on which nobody listens: connecting to it is refused.
    static quint16 closedPort();

private:
    void onConnection();
    void onReadyRead(QTcpSocket* socket);

    QTcpServer m_server;
    Handler m_handler;
    QList<HttpStubRequest> m_requests;
    QElapsedTimer m_clock;
};

} // namespace tf::test
