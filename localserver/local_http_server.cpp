#include "local_http_server.h"

#include "response_stream.h"

#include <QFile>
#include <QHostAddress>
#include <QTcpSocket>

namespace {

const int MaxRequestHeadBytes = 64 * 1024;
const QByteArray HeadEnd = "\r\n\r\n";
const QByteArray LineEnd = "\r\n";
const QByteArray SchemeSeparator = "://";

// The path of an origin-form ("/a/b?q") or absolute-form
// ("http://host:port/a/b?q") target, without query or fragment.
QByteArray routePath(const QByteArray &target)
{
    QByteArray path = target;
    const int scheme = target.indexOf(SchemeSeparator);
    if (!target.startsWith('/') && scheme >= 0) {
        const int slash = target.indexOf('/', scheme + SchemeSeparator.size());
        path = slash >= 0 ? target.mid(slash) : QByteArray("/");
    }
    for (const char end : {'?', '#'}) {
        const int at = path.indexOf(end);
        if (at >= 0)
            path.truncate(at);
    }
    return path;
}

bool parseRequestHead(const QByteArray &head, RecordedRequest *request)
{
    const QList<QByteArray> lines = head.split('\n');
    const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
    if (requestLine.size() != 3 || !requestLine.at(2).startsWith("HTTP/"))
        return false;
    request->method = requestLine.at(0);
    request->target = requestLine.at(1);
    request->version = requestLine.at(2);
    request->path = routePath(request->target);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon <= 0)
            return false;
        request->headers.append({line.left(colon), line.mid(colon + 1).trimmed()});
    }
    return true;
}

bool escapesFolder(const QByteArray &relativePath)
{
    const QList<QByteArray> segments = relativePath.split('/');
    return relativePath.isEmpty() || segments.contains("..") || relativePath.contains('\\');
}

} // namespace

LocalHttpServer::LocalHttpServer(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<RecordedRequest>();
    connect(&m_listener, &QTcpServer::newConnection, this, &LocalHttpServer::acceptConnections);
}

LocalHttpServer::~LocalHttpServer()
{
    // The sockets are children of the listener, which goes after the other
    // members: detach them first so that their last signals find no one.
    const auto sockets = m_listener.findChildren<QTcpSocket *>();
    for (QTcpSocket *socket : sockets) {
        socket->disconnect(this);
        delete socket;
    }
}

bool LocalHttpServer::listen(quint16 port)
{
    return m_listener.listen(QHostAddress::LocalHost, port);
}

void LocalHttpServer::close()
{
    m_listener.close();
}

quint16 LocalHttpServer::port() const
{
    return m_listener.serverPort();
}

QUrl LocalHttpServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(port()).arg(path));
}

void LocalHttpServer::serve(const QByteArray &path, const HttpResponse &response)
{
    m_exact.insert(path, Route{response, QString(), false, QByteArray()});
}

void LocalHttpServer::servePrefix(const QByteArray &prefix, const HttpResponse &response)
{
    m_prefixes.insert(prefix, Route{response, QString(), false, QByteArray()});
}

void LocalHttpServer::serveFile(const QByteArray &path, const QString &filePath,
                                const QByteArray &contentType)
{
    m_exact.insert(path, Route{HttpResponse(), filePath, false, contentType});
}

void LocalHttpServer::serveFolder(const QByteArray &prefix, const QString &folder)
{
    m_prefixes.insert(prefix, Route{HttpResponse(), folder, true, "application/octet-stream"});
}

void LocalHttpServer::clearRoutes()
{
    m_exact.clear();
    m_prefixes.clear();
}

QList<RecordedRequest> LocalHttpServer::requests() const
{
    return m_requests;
}

void LocalHttpServer::clearRequests()
{
    m_requests.clear();
}

int LocalHttpServer::openConnections() const
{
    return m_openConnections;
}

void LocalHttpServer::acceptConnections()
{
    while (QTcpSocket *socket = m_listener.nextPendingConnection()) {
        ++m_openConnections;
        m_unanswered.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { dropConnection(socket); });
        readRequest(socket);
    }
}

void LocalHttpServer::readRequest(QTcpSocket *socket)
{
    const QByteArray incoming = socket->readAll();
    if (!m_unanswered.contains(socket))
        return; // already answered: anything more from the client is ignored
    QByteArray &buffer = m_unanswered[socket];
    buffer += incoming;
    const int end = buffer.indexOf(HeadEnd);
    if (end < 0 && buffer.size() <= MaxRequestHeadBytes)
        return;
    const QByteArray head = buffer.left(end);
    m_unanswered.remove(socket);

    RecordedRequest request;
    if (end < 0 || !parseRequestHead(head, &request)) {
        (new ResponseStream(socket, HttpResponse::error(400, "Bad Request\n")))->start();
        return;
    }
    m_requests.append(request);
    emit requestReceived(request);
    answer(socket, request);
}

void LocalHttpServer::dropConnection(QTcpSocket *socket)
{
    m_unanswered.remove(socket);
    --m_openConnections;
    socket->deleteLater();
    emit connectionClosed();
}

void LocalHttpServer::answer(QTcpSocket *socket, const RecordedRequest &request)
{
    // A slot connected to requestReceived may have closed the connection.
    if (socket->state() != QAbstractSocket::ConnectedState)
        return;
    (new ResponseStream(socket, responseFor(request.path).rangeOf(request)))->start();
}

HttpResponse LocalHttpServer::responseFor(const QByteArray &path) const
{
    QByteArray rest;
    const Route *route = findRoute(path, &rest);
    if (!route)
        return HttpResponse::error(404, "Not Found\n");
    if (route->filePath.isEmpty())
        return route->response;
    if (!route->isFolder)
        return fileResponse(route->filePath, route->contentType);
    const QByteArray relative = QByteArray::fromPercentEncoding(rest);
    if (escapesFolder(relative))
        return HttpResponse::error(404, "Not Found\n");
    return fileResponse(route->filePath + QLatin1Char('/') + QString::fromUtf8(relative),
                        route->contentType);
}

// Exact routes first, then the longest matching prefix. An exact route also
// matches a request whose path names it percent-encoded ("my%20setup.exe").
const LocalHttpServer::Route *LocalHttpServer::findRoute(const QByteArray &path,
                                                         QByteArray *rest) const
{
    const QByteArray decoded = QByteArray::fromPercentEncoding(path);
    for (const QByteArray &candidate : {path, decoded}) {
        const auto exact = m_exact.constFind(candidate);
        if (exact != m_exact.cend())
            return &exact.value();
    }
    const Route *best = nullptr;
    int bestLength = -1;
    for (auto it = m_prefixes.cbegin(); it != m_prefixes.cend(); ++it) {
        if (path.startsWith(it.key()) && it.key().size() > bestLength) {
            best = &it.value();
            bestLength = it.key().size();
            *rest = path.mid(bestLength);
        }
    }
    return best;
}

HttpResponse LocalHttpServer::fileResponse(const QString &filePath, const QByteArray &contentType)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return HttpResponse::error(404, "Not Found\n");
    return HttpResponse::content(file.readAll(), contentType);
}
