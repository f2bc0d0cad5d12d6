#include "http_message.h"

#include <algorithm>

namespace {

const int PatternModulus = 251;
const int PacingTickMs = 50;
const int MillisecondsPerSecond = 1000;

} // namespace

QByteArray RecordedRequest::header(const QByteArray &name) const
{
    for (const auto &field : headers) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0)
            return field.second;
    }
    return QByteArray();
}

bool RecordedRequest::hasHeader(const QByteArray &name) const
{
    return std::any_of(headers.cbegin(), headers.cend(), [&name](const auto &field) {
        return field.first.compare(name, Qt::CaseInsensitive) == 0;
    });
}

bool RecordedRequest::isAbsoluteForm() const
{
    return !target.startsWith('/') && target.contains("://");
}

HttpResponse HttpResponse::content(const QByteArray &body, const QByteArray &contentType)
{
    HttpResponse response;
    response.body = body;
    response.headers.append({"Content-Type", contentType});
    return response;
}

HttpResponse HttpResponse::chunked(const QByteArray &body, int chunkSize)
{
    HttpResponse response = content(body);
    response.framing = Framing::Chunked;
    response.chunkSize = chunkSize;
    return response;
}

HttpResponse HttpResponse::trickle(const QByteArray &body, qint64 bytesPerTick, int tickMs,
                                   bool announceLength)
{
    HttpResponse response = content(body);
    if (!announceLength)
        response.framing = Framing::CloseDelimited;
    return response.throttled(bytesPerTick, tickMs);
}

HttpResponse HttpResponse::cutShort(const QByteArray &sentPart, qint64 announcedLength)
{
    HttpResponse response = content(sentPart);
    response.announcedLength = announcedLength;
    return response;
}

HttpResponse HttpResponse::chunkedCutShort(const QByteArray &sentPart, int chunkSize)
{
    HttpResponse response = chunked(sentPart, chunkSize);
    response.omitLastChunk = true;
    return response;
}

HttpResponse HttpResponse::error(int status, const QByteArray &body)
{
    HttpResponse response = content(body, "text/html; charset=utf-8");
    response.status = status;
    return response;
}

HttpResponse HttpResponse::redirect(int status, const QByteArray &location)
{
    const QByteArray page = "<html><body>Moved to <a href=\"" + location + "\">" + location
                            + "</a></body></html>\n";
    HttpResponse response = content(page, "text/html; charset=utf-8");
    response.status = status;
    response.headers.append({"Location", location});
    return response;
}

HttpResponse HttpResponse::stall(qint64 announcedLength, const QByteArray &sentPart)
{
    HttpResponse response = cutShort(sentPart, announcedLength);
    response.holdOpen = true;
    return response;
}

HttpResponse HttpResponse::generated(qint64 size, qint64 bytesPerSecond)
{
    HttpResponse response = content(QByteArray());
    response.generatedSize = size;
    if (bytesPerSecond > 0) {
        const qint64 perTick = bytesPerSecond * PacingTickMs / MillisecondsPerSecond;
        response.throttled(std::max<qint64>(perTick, 1), PacingTickMs);
    }
    return response;
}

HttpResponse HttpResponse::rawBytes(const QByteArray &wholeResponse)
{
    HttpResponse response;
    response.body = wholeResponse;
    response.raw = true;
    return response;
}

HttpResponse &HttpResponse::throttled(qint64 bytesPerTick, int tickMs)
{
    this->bytesPerTick = bytesPerTick;
    this->tickMs = tickMs;
    return *this;
}

HttpResponse HttpResponse::rangeOf(const RecordedRequest &request) const
{
    const QByteArray range = request.header("Range");
    QByteArray etag;
    for (const auto &field : headers)
        etag = field.first.compare("ETag", Qt::CaseInsensitive) == 0 ? field.second : etag;
    const bool sameFile = !request.hasHeader("If-Range") || request.header("If-Range") == etag;
    bool isNumber = false;
    const qint64 from = range.mid(6, range.size() - 7).toLongLong(&isNumber);
    if (generatedSize < 0 || status != 200 || etag.isEmpty() || !range.startsWith("bytes=") || !range.endsWith('-')
        || !isNumber || from < 0 || from >= generatedSize || !sameFile)
        return *this;
    HttpResponse rest = *this;
    rest.status = 206;
    rest.firstByte = from;
    rest.headers.append({"Content-Range", "bytes " + QByteArray::number(from) + '-'
                                              + QByteArray::number(generatedSize - 1) + '/'
                                              + QByteArray::number(generatedSize)});
    return rest;
}

qint64 HttpResponse::bodySize() const
{
    return generatedSize >= 0 ? generatedSize - firstByte : body.size();
}

QByteArray HttpResponse::bodyBytes(qint64 offset, qint64 count) const
{
    if (generatedSize >= 0)
        return patternBytes(firstByte + offset, std::min(count, bodySize() - offset));
    return body.mid(int(offset), int(count));
}

QByteArray HttpResponse::patternBytes(qint64 offset, qint64 count)
{
    // Copied from one precomputed run of the cycle: the generated bodies of
    // the benchmark are large, and a byte-by-byte loop would be the bottleneck.
    static const QByteArray cycle = [] {
        QByteArray run(2 * PatternModulus, Qt::Uninitialized);
        for (int i = 0; i < run.size(); ++i)
            run[i] = char(i % PatternModulus);
        return run;
    }();
    QByteArray bytes;
    bytes.reserve(int(std::max<qint64>(count, 0)));
    int phase = int(offset % PatternModulus);
    while (bytes.size() < count) {
        const int take = int(std::min<qint64>(PatternModulus, count - bytes.size()));
        bytes.append(cycle.constData() + phase, take);
        phase = (phase + take) % PatternModulus;
    }
    return bytes;
}
