#pragma once
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QMap>
#include <QSslKey>
#include <QSslSocket>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <functional>
// One request as it came over the wire.
struct Request
{
    QByteArray method, path; // the path without scheme, host, query or fragment
    QMap<QByteArray, QByteArray> headers; // by lower-case name
    qint64 arrived = -1; // when its head had come whole, by TestServer::now()
    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
};
// One scripted answer: the raw bytes of a whole response, replayed as they are.
struct Reply
{
    QByteArray bytes;
    qint64 cutAt = -1; // >= 0: send only this many bytes
    bool stall = false; // then keep the connection open and silent, else close it
    int paceBytes = 0; // > 0: at most this many bytes every 10 ms
    bool hold = false; // the client gets it all before its own thread runs again: see send()
    Reply operator()(const Request &) const { return *this; } // the same answer to every request
};
// A response with Content-Length; extra header lines end with "\r\n".
inline Reply reply(int status, const QByteArray &body, const QByteArray &headers = {})
{
    return {"HTTP/1.1 " + QByteArray::number(status) + " X\r\nContent-Length: " + QByteArray::number(body.size())
            + "\r\nConnection: close\r\n" + headers + "\r\n" + body};
}
inline Reply chunked(const QByteArray &body, bool lastChunk = true, const QByteArray &headers = {}, int paceBytes = 0)
{
    QByteArray bytes = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n" + headers + "\r\n";
    for (int at = 0; at < body.size(); at += 4096)
        bytes += QByteArray::number(qMin(4096, body.size() - at), 16) + "\r\n" + body.mid(at, 4096) + "\r\n";
    return {lastChunk ? bytes + "0\r\n\r\n" : bytes, -1, false, paceBytes};
}
// The byte at offset i is i % 251, so a piece at the wrong offset shows.
inline QByteArray pattern(qint64 size)
{
    QByteArray bytes(int(size), Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i % 251);
    return bytes;
}
// A loopback HTTP server that replays scripted answers, chosen by path, and records every request; unknown
// paths get a 404. It stands in for any host as the application's HTTP proxy, https: hosts too: it opens the
// tunnel asked for (recorded as "CONNECT host:port") and answers inside it as secure.example, with the
// self-signed certificate tls().
class TestServer : public QTcpServer
{
public:
    using Handler = std::function<Reply(const Request &)>;
    TestServer()
    {
        Q_INIT_RESOURCE(tls);
        clock.start();
        listen(QHostAddress::LocalHost);
    }
    static QByteArray tlsFile()
    {
        QFile file(QStringLiteral(":/secure.example.pem"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    static QSslCertificate tls() { return QSslCertificate(tlsFile()); }
    quint16 port() const { return serverPort(); }
    void on(const QByteArray &path, Handler handler) { routes.insert(path, handler); } // or a Reply, for all alike
    void reset() { routes.clear(), requests.clear(); }
    qint64 now() const { return clock.elapsed(); } // ms
    QList<Request> requests;

private:
    void incomingConnection(qintptr handle) override
    {
        auto *socket = new QSslSocket(this); // a socket that can turn to TLS inside a tunnel
        socket->setSocketDescriptor(handle);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
    void read(QSslSocket *socket)
    {
        const QByteArray head = socket->property("head").toByteArray() + socket->readAll();
        socket->setProperty("head", head);
        if (!head.contains("\r\n\r\n") || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        const QList<QByteArray> lines = head.left(head.indexOf("\r\n\r\n")).split('\n'),
                                start = lines.value(0).split(' ');
        const QByteArray target = start.value(1); // "http://host/path" when we are the proxy
        Request request {start.value(0), target.mid(target.startsWith('/') ? 0 : target.indexOf('/', 8)), {}, now()};
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
            socket->setLocalCertificate(tls());
            socket->setPrivateKey(QSslKey(tlsFile(), QSsl::Ec));
            socket->startServerEncryption();
            return;
        }
        const auto route = routes.constFind(request.path);
        send(socket, route == routes.constEnd() ? reply(404, {}) : (*route)(request));
    }
    // Writes the answer piece by piece, then closes or stalls.
    void send(QTcpSocket *socket, const Reply &answer)
    {
        const QByteArray bytes = answer.cutAt >= 0 ? answer.bytes.left(int(answer.cutAt)) : answer.bytes;
        const int piece = answer.paceBytes > 0 ? answer.paceBytes : int(bytes.size());
        auto *timer = new QTimer(socket);
        connect(timer, &QTimer::timeout, socket, [=, sent = 0]() mutable {
            socket->write(bytes.mid(sent, piece));
            if ((sent += piece) < bytes.size())
                return;
            timer->stop();
            if (answer.hold) { // this thread is the window's too: the window's network thread reads it all first
                while (socket->bytesToWrite() && socket->waitForBytesWritten(1000)) { }
                QThread::msleep(100);
            }
            if (!answer.stall)
                socket->disconnectFromHost();
        });
        timer->start(answer.paceBytes > 0 ? 10 : 0);
    }
    QHash<QByteArray, Handler> routes;
    QElapsedTimer clock;
};
