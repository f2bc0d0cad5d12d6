#include "response_stream.h"

#include <QTcpSocket>

#include <algorithm>
#include <limits>

namespace {

// Never more than this waits in the socket's buffer, so that a large or
// slow body costs little memory whatever the client's pace.
const qint64 HighWaterBytes = 64 * 1024;
const qint64 Unlimited = std::numeric_limits<qint64>::max();

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 303: return "See Other";
    case 307: return "Temporary Redirect";
    case 308: return "Permanent Redirect";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    case 503: return "Service Unavailable";
    default: return "Status";
    }
}

} // namespace

ResponseStream::ResponseStream(QTcpSocket *socket, const HttpResponse &response)
    : QObject(socket)
    , m_socket(socket)
    , m_response(response)
{
    connect(m_socket, &QTcpSocket::bytesWritten, this, &ResponseStream::pump);
    connect(&m_pace, &QTimer::timeout, this, &ResponseStream::onTick);
}

void ResponseStream::start()
{
    if (!m_response.raw)
        m_socket->write(head());
    m_allowance = m_response.bytesPerTick > 0 ? m_response.bytesPerTick : Unlimited;
    if (m_response.bytesPerTick > 0)
        m_pace.start(m_response.tickMs);
    pump();
}

void ResponseStream::pump()
{
    if (m_finished || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    while (m_sent < m_response.bodySize()) {
        const qint64 size = nextPieceSize();
        if (size <= 0)
            return; // wait for bytesWritten or the next tick
        writePiece(size);
    }
    finish();
}

void ResponseStream::onTick()
{
    // A fresh allowance each tick, not an accumulated one: a client that
    // stalled for a while does not get a burst afterwards.
    m_allowance = m_response.bytesPerTick;
    pump();
}

qint64 ResponseStream::nextPieceSize() const
{
    const qint64 room = HighWaterBytes - m_socket->bytesToWrite();
    qint64 size = std::min({room, m_allowance, m_response.bodySize() - m_sent});
    if (m_response.framing == HttpResponse::Framing::Chunked)
        size = std::min<qint64>(size, m_response.chunkSize);
    return size;
}

void ResponseStream::writePiece(qint64 size)
{
    const QByteArray piece = m_response.bodyBytes(m_sent, size);
    if (m_response.framing == HttpResponse::Framing::Chunked && !m_response.raw)
        m_socket->write(QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n");
    else
        m_socket->write(piece);
    m_sent += piece.size();
    if (m_allowance != Unlimited)
        m_allowance -= piece.size();
}

void ResponseStream::finish()
{
    m_finished = true;
    m_pace.stop();
    const bool chunked = m_response.framing == HttpResponse::Framing::Chunked;
    if (chunked && !m_response.omitLastChunk && !m_response.raw)
        m_socket->write("0\r\n\r\n");
    if (!m_response.holdOpen)
        m_socket->disconnectFromHost(); // flushes what is buffered, then closes
}

QByteArray ResponseStream::head() const
{
    QByteArray head = "HTTP/1.1 " + QByteArray::number(m_response.status) + ' '
                      + reasonPhrase(m_response.status) + "\r\n";
    switch (m_response.framing) {
    case HttpResponse::Framing::ContentLength: {
        const qint64 length = m_response.announcedLength >= 0 ? m_response.announcedLength
                                                              : m_response.bodySize();
        head += "Content-Length: " + QByteArray::number(length) + "\r\n";
        break;
    }
    case HttpResponse::Framing::Chunked:
        head += "Transfer-Encoding: chunked\r\n";
        break;
    case HttpResponse::Framing::CloseDelimited:
        break;
    }
    for (const auto &field : m_response.headers)
        head += field.first + ": " + field.second + "\r\n";
    return head + "Connection: close\r\n\r\n";
}
