#pragma once

#include "http_message.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <QUrl>

class QTcpSocket;

// A small HTTP/1.1 server on 127.0.0.1 that answers each route with a
// scripted response and records every request. It takes both origin-form
// targets ("/path") and the absolute form a client sends to a proxy
// ("http://any.host/path"); the route is chosen by path alone, so it can
// stand in for any host when the client uses it as its HTTP proxy.
// Every response ends with "Connection: close".
class LocalHttpServer : public QObject
{
    Q_OBJECT

public:
    explicit LocalHttpServer(QObject *parent = nullptr);
    ~LocalHttpServer() override;

    bool listen(quint16 port = 0); // 0: any free port
    void close();
    quint16 port() const;
    QUrl url(const QString &path) const; // http://127.0.0.1:port + path

    // Routes. A later route for the same path or prefix replaces the earlier
    // one. Exact paths win over prefixes, longer prefixes over shorter ones.
    void serve(const QByteArray &path, const HttpResponse &response);
    void servePrefix(const QByteArray &prefix, const HttpResponse &response);
    void serveFile(const QByteArray &path, const QString &filePath,
                   const QByteArray &contentType = "application/octet-stream");
    void serveFolder(const QByteArray &prefix, const QString &folder);
    void clearRoutes();

    QList<RecordedRequest> requests() const;
    void clearRequests();
    int openConnections() const;

signals:
    void requestReceived(const RecordedRequest &request);
    void connectionClosed();

private:
    struct Route
    {
        HttpResponse response;
        QString filePath; // read at request time when set
        bool isFolder = false;
        QByteArray contentType;
    };

    void acceptConnections();
    void readRequest(QTcpSocket *socket);
    void dropConnection(QTcpSocket *socket);
    void answer(QTcpSocket *socket, const RecordedRequest &request);
    HttpResponse responseFor(const QByteArray &path) const;
    const Route *findRoute(const QByteArray &path, QByteArray *rest) const;
    static HttpResponse fileResponse(const QString &filePath, const QByteArray &contentType);

    QTcpServer m_listener;
    QHash<QByteArray, Route> m_exact;
    QHash<QByteArray, Route> m_prefixes;
    QHash<QTcpSocket *, QByteArray> m_unanswered; // partial request heads
    QList<RecordedRequest> m_requests;
    int m_openConnections = 0;
};
