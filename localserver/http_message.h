#pragma once

#include <QByteArray>
#include <QList>
#include <QMetaType>
#include <QPair>

using HttpHeaders = QList<QPair<QByteArray, QByteArray>>;

// One request as the client sent it, kept so that a test can check exactly
// what went over the wire.
struct RecordedRequest
{
    QByteArray method;
    QByteArray target;  // the request-target of the request line, unchanged
    QByteArray path;    // the part of the target that chose the route
    QByteArray version;
    HttpHeaders headers; // in the order sent

    // First value of a header, by case-insensitive name; empty when absent.
    QByteArray header(const QByteArray &name) const;
    bool hasHeader(const QByteArray &name) const;
    bool isAbsoluteForm() const; // sent to a proxy: "GET http://host/path"
};

Q_DECLARE_METATYPE(RecordedRequest)

// How the server answers one route. The factory functions build the usual
// cases; the fields can be adjusted afterwards to combine them.
struct HttpResponse
{
    enum class Framing { ContentLength, Chunked, CloseDelimited };

    int status = 200;
    HttpHeaders headers; // extra headers, after the framing headers
    QByteArray body;
    qint64 generatedSize = -1;   // >= 0: the body is patternBytes() of this size
    qint64 firstByte = 0;        // a generated body sent from this offset (a 206 answer)
    Framing framing = Framing::ContentLength;
    qint64 announcedLength = -1; // Content-Length sent; -1: the real size
    int chunkSize = 16 * 1024;
    bool omitLastChunk = false;  // chunked body that ends without its zero chunk
    bool holdOpen = false;       // after the body, wait for the client to leave
    bool raw = false;            // body is the whole response, sent verbatim
    qint64 bytesPerTick = 0;     // > 0: at most this many body bytes per tick
    int tickMs = 0;

    static HttpResponse content(const QByteArray &body,
                                const QByteArray &contentType = "application/octet-stream");
    static HttpResponse chunked(const QByteArray &body, int chunkSize);
    static HttpResponse trickle(const QByteArray &body, qint64 bytesPerTick, int tickMs,
                                bool announceLength = true);
    static HttpResponse cutShort(const QByteArray &sentPart, qint64 announcedLength);
    static HttpResponse chunkedCutShort(const QByteArray &sentPart, int chunkSize);
    static HttpResponse error(int status, const QByteArray &body);
    static HttpResponse redirect(int status, const QByteArray &location);
    static HttpResponse stall(qint64 announcedLength, const QByteArray &sentPart = QByteArray());
    static HttpResponse generated(qint64 size, qint64 bytesPerSecond = 0);
    static HttpResponse rawBytes(const QByteArray &wholeResponse);

    // Paces the body: bytesPerTick bytes every tickMs milliseconds.
    HttpResponse &throttled(qint64 bytesPerTick, int tickMs);
    // For a generated body with an ETag: the 206 answer to "Range: bytes=N-"
    // (with an If-Range naming that ETag, if any); else the response unchanged.
    HttpResponse rangeOf(const RecordedRequest &request) const;

    qint64 bodySize() const;
    QByteArray bodyBytes(qint64 offset, qint64 count) const;

    // The generated body: the byte at offset i is i modulo 251, so a piece
    // that lands at the wrong offset shows.
    static QByteArray patternBytes(qint64 offset, qint64 count);
};
