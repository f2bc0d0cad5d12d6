#include "test_server.h"
#include <QFile>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>
Reply reply(int status, const QByteArray &body, const QByteArray &headers)
{
    return {"HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\nConnection: close\r\n" + headers + "\r\n" + body};
}
Reply chunked(const QByteArray &body, bool lastChunk)
{
    QByteArray bytes = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n\r\n";
    for (int at = 0; at < body.size(); at += 4096)
        bytes += QByteArray::number(qMin(4096, body.size() - at), 16) + "\r\n" + body.mid(at, 4096) + "\r\n";
    return {lastChunk ? bytes + "0\r\n\r\n" : bytes};
}
QByteArray pattern(qint64 size)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i % 251);
    return bytes;
}
void Listener::incomingConnection(qintptr handle)
{
    auto *socket = new QSslSocket(this);
    socket->setSocketDescriptor(handle);
    addPendingConnection(socket);
}
static QByteArray tlsFile()
{
    QFile file(QStringLiteral(":/secure.example.pem"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
QSslCertificate TestServer::tls()
{
    return QSslCertificate(tlsFile());
}
TestServer::TestServer()
{
    Q_INIT_RESOURCE(tls);
    clock.start();
    listener.listen(QHostAddress::LocalHost);
    connect(&listener, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = listener.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    });
}
void TestServer::read(QTcpSocket *socket)
{
    const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
    socket->setProperty("head", head);
    if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
        return;
    socket->setProperty("answered", true);
    const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n');
    const QByteArray target = lines.value(0).split(' ').value(1); // "http://host/path" when we are the proxy
    Request request {
            lines.value(0).split(' ').value(0), target.mid(target.startsWith('/') ? 0 : target.indexOf('/', 8)), {}};
    request.arrived = clock.elapsed();
    for (char stop : {'?', '#'})
        request.path.truncate(request.path.contains(stop) ? request.path.indexOf(stop) : request.path.size());
    for (const QByteArray &line : lines.mid(1))
        request.headers.insert(line.left(line.indexOf(':')).trimmed().toLower(),
                               line.mid(line.indexOf(':') + 1).trimmed());
    requests.append(request);
    if (request.method == "CONNECT") { // the tunnel; what comes through it is read anew
        requests.last().path = target;
        socket->write("HTTP/1.1 200 Connection established\r\n\r\n");
        socket->setProperty("head", QByteArray());
        socket->setProperty("answered", false);
        auto *tls = static_cast<QSslSocket *>(socket);
        tls->setLocalCertificate(TestServer::tls());
        tls->setPrivateKey(QSslKey(tlsFile(), QSsl::Ec));
        tls->startServerEncryption();
        return;
    }
    const auto route = routes.constFind(request.path);
    send(socket, route == routes.constEnd() ? reply(404, {}) : (*route)(request));
}
// Writes the answer piece by piece, then closes or stalls.
void TestServer::send(QTcpSocket *socket, const Reply &answer)
{
    const QByteArray bytes = answer.cutAt >= 0 ? answer.bytes.left(int(answer.cutAt)) : answer.bytes;
    const int piece = answer.paceBytes > 0 ? answer.paceBytes : int(bytes.size());
    auto *timer = new QTimer(socket);
    connect(timer, &QTimer::timeout, socket, [=, sent = 0]() mutable {
        socket->write(bytes.mid(sent, piece));
        sent += piece;
        if (sent < bytes.size())
            return;
        timer->stop();
        if (!answer.stall)
            socket->disconnectFromHost();
    });
    timer->start(answer.paceBytes > 0 ? 10 : 0);
}
