#include "common/httpstub.h"

#include <QHostAddress>
#include <QTcpSocket>
#include <QTest>

namespace tf::test {

QByteArray HttpStubRequest::header(const QByteArray& name) const {
    for (const auto& [key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

HttpStubReply HttpStubReply::text(const QByteArray& body, int status, const QByteArray& reason) {
    HttpStubReply reply;
    reply.status = status;
    reply.reason = reason;
    reply.body = body;
    reply.headers.append(
        qMakePair(QByteArray("Content-Type"), QByteArray("text/plain; charset=UTF-8")));
    return reply;
}

HttpStubReply HttpStubReply::never() {
    HttpStubReply reply;
    reply.silent = true;
    return reply;
}

HttpStub::HttpStub(QObject* parent) : QObject(parent) {
    m_clock.start();
    m_handler = [](const HttpStubRequest&) {
        return HttpStubReply::text("", 404, "Not Found");
    };
    connect(&m_server, &QTcpServer::newConnection, this, &HttpStub::onConnection);
}

bool HttpStub::listen() {
    return m_server.listen(QHostAddress::LocalHost, 0);
}

bool HttpStub::waitForRequests(int count, int timeoutMs) {
    return QTest::qWaitFor([&] { return m_requests.size() >= count; }, timeoutMs);
}

quint16 HttpStub::closedPort() {
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

void HttpStub::onConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void HttpStub::onReadyRead(QTcpSocket* socket) {
    QByteArray buffer = socket->property("buffer").toByteArray() + socket->readAll();
    socket->setProperty("buffer", buffer);
    if (socket->property("answered").toBool())
        return;
    const qsizetype headEnd = buffer.indexOf("\r\n\r\n");
    if (headEnd < 0)
        return;
    const QList<QByteArray> lines = buffer.left(headEnd).split('\n');
    HttpStubRequest request;
    const QList<QByteArray> first = lines.value(0).trimmed().split(' ');
    request.method = first.value(0);
    request.target = first.value(1);
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const qsizetype colon = line.indexOf(':');
        if (colon > 0)
            request.headers.append(
                qMakePair(line.left(colon).trimmed(), line.mid(colon + 1).trimmed()));
    }
    const qsizetype length = request.header("Content-Length").toLongLong();
    if (buffer.size() < headEnd + 4 + length)
        return; // the body is still coming
    request.body = buffer.mid(headEnd + 4, length);
    request.receivedAtMs = m_clock.elapsed();
    socket->setProperty("answered", true);
    m_requests.append(request);

    const HttpStubReply reply = m_handler(request);
    if (reply.silent)
        return;
    QByteArray out = "HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reply.reason + "\r\n";
    for (const auto& [key, value] : reply.headers)
        out += key + ": " + value + "\r\n";
    out += "Content-Length: " + QByteArray::number(reply.body.size()) + "\r\n";
    out += "Connection: close\r\n\r\n";
    out += reply.body;
    socket->write(out);
    socket->disconnectFromHost();
}

} // namespace tf::test
