#pragma once
#include <QElapsedTimer>
#include <QHash>
#include <QMap>
#include <QSslCertificate>
#include <QTcpServer>
#include <functional>
// One request as it came over the wire.
struct Request
{
    QByteArray method;
    QByteArray path; // without scheme, host, query or fragment
    QMap<QByteArray, QByteArray> headers; // by lower-case name
    QByteArray header(const QByteArray &name) const { return headers.value(name.toLower()); }
    qint64 arrived = -1; // when its head had come whole, by now()
};
// One scripted answer: the raw bytes of a whole response, replayed as they are.
struct Reply
{
    QByteArray bytes;
    qint64 cutAt = -1; // >= 0: send only this many bytes
    bool stall = false; // then keep the connection open and silent, else close it
    int paceBytes = 0; // > 0: at most this many bytes every 10 ms
    Reply operator()(const Request &) const { return *this; } // the same answer to every request
};
// A response with Content-Length; extra header lines end with "\r\n".
Reply reply(int status, const QByteArray &body, const QByteArray &headers = {});
Reply chunked(const QByteArray &body, bool lastChunk = true);
// The byte at offset i is i % 251, so a piece at the wrong offset shows.
QByteArray pattern(qint64 size);
// Its sockets can turn to TLS, for a tunnel to an https: host.
class Listener : public QTcpServer
{
    void incomingConnection(qintptr handle) override;
};
// A loopback HTTP server that replays scripted answers, chosen by path, and
// records every request. Unknown paths get a 404. It stands in for any host
// when the application uses it as its HTTP proxy, https: hosts too: it opens
// the tunnel asked for (recorded as "CONNECT host:port") and answers inside it
// as secure.example, with a self-signed certificate (tls()).
class TestServer : public QObject
{
public:
    using Handler = std::function<Reply(const Request &)>;
    TestServer();
    static QSslCertificate tls();
    quint16 port() const { return listener.serverPort(); }
    void on(const QByteArray &path, Handler handler) { routes.insert(path, handler); } // or a Reply, for all alike
    void reset() { routes.clear(), requests.clear(); }
    qint64 now() const { return clock.elapsed(); } // ms
    QList<Request> requests;

private:
    void read(class QTcpSocket *socket);
    void send(QTcpSocket *socket, const Reply &answer);
    Listener listener;
    QHash<QByteArray, Handler> routes;
    QElapsedTimer clock;
};
