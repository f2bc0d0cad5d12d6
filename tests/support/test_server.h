#pragma once

#include <QHash>
#include <QTcpServer>

#include <functional>

// One request as it came over the wire.
struct Request
{
    QByteArray target; // as sent: "http://host/path" when the client used us as its proxy
    QByteArray path;   // without scheme, host, query or fragment
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray header(const QByteArray &name) const; // first value, case-insensitive; empty if absent
};

// One scripted answer: the raw bytes of a whole response, replayed as they are.
struct Reply
{
    QByteArray bytes;
    qint64 cutAt = -1;   // >= 0: send only this many bytes
    bool stall = false;  // then keep the connection open and silent, else close it
    int paceBytes = 0;   // > 0: at most this many bytes every paceMs
    int paceMs = 10;
};

// A response with Content-Length; extra header lines end with "\r\n".
Reply reply(int status, const QByteArray &body, const QByteArray &headers = {});
Reply chunked(const QByteArray &body, bool lastChunk = true);
// The byte at offset i is i % 251, so a piece at the wrong offset shows.
QByteArray pattern(qint64 size);

// A loopback HTTP server that replays scripted answers, chosen by path, and
// records every request. Unknown paths get a 404. It stands in for any host
// when the application uses it as its HTTP proxy.
class TestServer : public QObject
{
public:
    using Handler = std::function<Reply(const Request &)>;

    TestServer();
    quint16 port() const;
    void on(const QByteArray &path, Handler handler);
    void on(const QByteArray &path, const Reply &answer);
    void reset();

    QList<Request> requests;

private:
    void read(class QTcpSocket *socket);
    void send(QTcpSocket *socket, const Reply &answer);

    QTcpServer listener;
    QHash<QByteArray, Handler> routes;
};
