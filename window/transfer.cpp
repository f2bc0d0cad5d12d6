#include "transfer.h"

#include "sha256.h"
#include "streamed_file.h"
#include "timings.h"

#include <QDateTime>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QStorageInfo>

namespace {

constexpr int MaxIdleRetries = 3;
// How often a transfer held back by a slow disk looks again.
constexpr int DiskWaitMs = 5;
// Room kept free for the system: half of the free space, at most this.
constexpr qint64 FreeSpaceMargin = 16 * 1024 * 1024;
// A longer wait is no wait but a mistake, such as a Unix time.
constexpr qint64 LongestSaneWaitMs = 365LL * 24 * 3600 * 1000;

bool isIdentity(const QByteArray &encoding)
{
    const QByteArray name = encoding.trimmed().toLower();
    return name.isEmpty() || name == "identity";
}

// What a 503 or 429 asks to wait before the next request, in this build's
// milliseconds: -1 when it asks nothing that can be read.
int retryAfterMs(const QNetworkReply &reply)
{
    const QByteArray value = reply.rawHeader("Retry-After").trimmed();
    bool isNumber = false;
    const qint64 seconds = value.toLongLong(&isNumber);
    const QDateTime at = QDateTime::fromString(QString::fromLatin1(value), Qt::RFC2822Date);
    QDateTime sent = QDateTime::fromString(QString::fromLatin1(reply.rawHeader("Date")), Qt::RFC2822Date);
    if (!sent.isValid())
        sent = QDateTime::currentDateTimeUtc(); // the server's clock, else ours
    const qint64 ms = isNumber ? qMin(seconds, LongestSaneWaitMs) * 1000 : at.isValid() ? sent.msecsTo(at) : -1;
    if (ms < 0 || ms > LongestSaneWaitMs)
        return -1;
    return int(qMin<qint64>(ms, Timings::RetryAfterCapSeconds * 1000) * Timings::SecondMs / 1000);
}

} // namespace

Transfer::Transfer(QNetworkAccessManager *manager, const QUrl &url, const QString &folder, const QString &name,
                   const QByteArray &sha256, QObject *parent)
    : QObject(parent)
    , manager(manager)
    , url(url)
    , savedFolder(folder)
    , savedName(name)
    , path(folder + QLatin1Char('/') + name)
    , expectedDigest(sha256)
    , dice(Timings::retrySeed())
{
    retryTimer.setSingleShot(true);
    retryTimer.setTimerType(Qt::PreciseTimer); // a coarse one fires on ticks shared by every process
    connect(&retryTimer, &QTimer::timeout, this, [this] {
        send(!resumable ? Ask::First : mayAppend() ? Ask::Resume : Ask::Restart); // First: nothing taken yet
        emit connectionLost(false);
    });
    diskWait.setSingleShot(true);
    connect(&diskWait, &QTimer::timeout, this, [this] { settling ? settle() : drain(); });
}

Transfer::~Transfer()
{
    if (reply)
        reply->deleteLater();
}

QNetworkReply *Transfer::start()
{
    file = std::make_unique<StreamedFile>(path);
    if (!expectedDigest.isEmpty())
        hash = std::make_unique<Sha256>();
    send(Ask::First);
    return reply;
}

void Transfer::send(Ask ask)
{
    QNetworkRequest request = Timings::withStallTimeout(QNetworkRequest(url));
    if (ask == Ask::Resume) {
        request.setRawHeader("Range", "bytes=" + QByteArray::number(file->bytesWritten()) + '-');
        if (!validator.isEmpty())
            request.setRawHeader("If-Range", validator);
    }
    if (reply)
        reply->deleteLater();
    reply = manager->get(request);
    reply->setReadBufferSize(ReadBufferSize);
    connect(reply, &QNetworkReply::metaDataChanged, this, &Transfer::checkAnswer);
    connect(reply, &QNetworkReply::readyRead, this, [this] { drain(); });
    connect(reply, &QNetworkReply::finished, this, &Transfer::replyFinished);
    answer = Answer::Unchecked;
    failure = Outcome::Running;
    serverWaitMs = -1;
    rangeAsked = ask == Ask::Resume;
    askedAgain = ask != Ask::First;
    furthest = qMax(furthest, file->bytesWritten());
}

// Decides, once the final status of a reply is known, whether its body is kept.
void Transfer::checkAnswer()
{
    const QVariant code = reply ? reply->attribute(QNetworkRequest::HttpStatusCodeAttribute) : QVariant();
    if (answer != Answer::Unchecked || !code.isValid() || code.toInt() / 100 == 3)
        return; // no answer yet, or a redirect being followed
    const int status = code.toInt();
    if (rangeAsked && status == 206) {
        static const QRegularExpression range(QStringLiteral("^bytes (\\d+)-(\\d+)/(\\d+)$"));
        const auto match = range.match(QString::fromLatin1(reply->rawHeader("Content-Range").trimmed()));
        const QByteArray sameValidator = reply->rawHeader(validator.startsWith('"') ? "ETag" : "Last-Modified");
        const bool rest = match.hasMatch() && match.captured(1).toLongLong() == file->bytesWritten()
                && match.captured(2).toLongLong() == total - 1 && match.captured(3).toLongLong() == total;
        if (rest && isIdentity(reply->rawHeader("Content-Encoding"))
            && (validator.isEmpty() || sameValidator.isEmpty() || sameValidator == validator)) {
            answer = Answer::Taken;
            appendedUnproven = appendedUnproven || validator.isEmpty();
        } else {
            refuse(Outcome::CutShort);
        }
    } else if (status / 100 == 2 && (!rangeAsked || status == 200)) {
        takeWholeBody();
    } else {
        refuse(askedAgain ? Outcome::CutShort : Outcome::NothingReceived);
        if (status == 503 || status == 429)
            serverWaitMs = retryAfterMs(*reply);
    }
}

// A first answer, a restart, or a server that starts over instead of resuming.
void Transfer::takeWholeBody()
{
    if (askedAgain) {
        file = std::make_unique<StreamedFile>(path);
        if (hash)
            hash = std::make_unique<Sha256>();
        appendedUnproven = false;
    }
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    total = length.isValid() ? length.toLongLong() : -1;
    const QByteArray etag = reply->rawHeader("ETag").trimmed();
    validator = etag.startsWith('"') ? etag : reply->rawHeader("Last-Modified").trimmed();
    resumable = total >= 0 && isIdentity(reply->rawHeader("Content-Encoding"))
            && (reply->rawHeader("Accept-Ranges").toLower().contains("bytes") || !validator.isEmpty());
    url = reply->url();
    if (!fitsOnDisk()) {
        refuse(Outcome::SaveFailed);
        return;
    }
    answer = Answer::Taken;
    if (askedAgain)
        emit progress(0, total);
}

// A difference, not a sum: a hostile length near the largest qint64 cannot wrap around.
bool Transfer::fitsOnDisk() const
{
    const QStorageInfo volume(QFileInfo(path).absolutePath());
    const qint64 free = volume.bytesAvailable();
    return total < 0 || !volume.isValid() || total <= free - qMin(FreeSpaceMargin, free / 2);
}

// The reply is stopped from the event loop, not from inside its own signal.
void Transfer::refuse(Outcome why)
{
    answer = Answer::Refused;
    failure = why;
    QTimer::singleShot(0, reply, &QNetworkReply::abort);
}

// While the disk lags behind, the rest stays in the reply, which then stops
// reading from the network, and is taken a little later: the window does not
// wait for the disk, except where isBehind() says it does (Linux before 6.5,
// or a disk behind for a second). At the reply's end `all` takes everything.
void Transfer::drain(bool all)
{
    if (!reply || !reply->isReadable())
        return; // an aborted reply holds nothing more
    checkAnswer();
    bool wrote = false;
    for (;;) {
        if (!all && answer == Answer::Taken && file->isBehind()) {
            diskWait.start(DiskWaitMs);
            break;
        }
        const QByteArray piece = reply->read(ReadBufferSize);
        if (piece.isEmpty())
            break;
        if (answer != Answer::Taken)
            continue; // an error page or a redirect's body is never the file
        if (!file->write(piece)) {
            refuse(Outcome::SaveFailed);
            return;
        }
        if (hash)
            hash->add(piece);
        wrote = true;
    }
    if (wrote && !cancelled)
        emit progress(file->bytesWritten(), total);
}

void Transfer::replyFinished()
{
    if (result != Outcome::Running)
        return;
    if (cancelled) {
        end(Outcome::Cancelled);
        return;
    }
    drain(true);
    if (result != Outcome::Running)
        return; // ended while the last bytes were reported: the window closed
    if (failure != Outcome::Running || file->hasFailed()) {
        if (serverWaitMs >= 0 && !file->hasFailed())
            retry(false, failure); // a busy server said when to come back
        else
            end(file->hasFailed() ? Outcome::SaveFailed : failure);
        return;
    }
    const qint64 written = file->bytesWritten();
    if (answer == Answer::Unchecked) {
        // No answer at all: a resume or restart may be asked again, a first request not.
        if (askedAgain)
            retry(false);
        else
            end(Outcome::NothingReceived);
        return;
    }
    // Once every announced byte is in, an error after the last one is no reason
    // to ask for more: the digest, if any, decides.
    const bool complete = total >= 0 ? written == total : reply->error() == QNetworkReply::NoError;
    if (complete) {
        if (written == 0)
            end(Outcome::NothingReceived);
        else
            verify();
    } else if (resumable) {
        retry(written > furthest); // a restart must get further than the file had got
    } else {
        end(written > 0 ? Outcome::CutShort : Outcome::NothingReceived);
    }
}

void Transfer::retry(bool broughtBytes, Outcome otherwise)
{
    if (broughtBytes)
        idleRetries = 0;
    if (idleRetries >= MaxIdleRetries) {
        end(otherwise);
        return;
    }
    // Between half and all of the doubling wait, so that clients dropped
    // together do not all come back together.
    const int wait = Timings::RetryBaseMs << idleRetries;
    retryTimer.start(serverWaitMs >= 0 ? serverWaitMs : dice.bounded(wait / 2, wait + 1));
    ++idleRetries;
    emit connectionLost(true);
}

// Without a validator, nothing shows that the rest came from the same file: only
// the digest can vouch for appended bytes, or else the download starts over.
bool Transfer::mayAppend() const
{
    return !validator.isEmpty() || hash;
}

void Transfer::verify()
{
    if (!hash || hash->result() == expectedDigest)
        settle();
    else if (appendedUnproven && !restartedForDigest)
        startOver(); // perhaps the file changed on the server between two answers
    else
        end(Outcome::Damaged);
}

// The last bytes go to disk while the window stays free (as far as isBehind()
// can tell), so that the commit's flush finds little left to write. On Windows
// the file is also tagged, scanned and put in place meanwhile: the commit only
// reports it.
void Transfer::settle()
{
    if (!settling) {
        settling = true;
        file->handOverRest(url);
        emit saving();
        if (result != Outcome::Running)
            return; // the window closed and finished it meanwhile
    }
    if (file->isBehind())
        diskWait.start(DiskWaitMs);
    else
        end(file->hasFailed() ? Outcome::SaveFailed : Outcome::Received);
}

void Transfer::finishNow()
{
    if (result != Outcome::Running)
        return;
    if (!settling) {
        drain(true); // the reply may not have told its end yet
        if (answer != Answer::Taken || failure != Outcome::Running || total <= 0 || file->bytesWritten() != total)
            return;
        verify(); // settles, or ends as damaged, or starts over
    }
    if (settling && result == Outcome::Running)
        end(Outcome::Received);
}

void Transfer::startOver()
{
    restartedForDigest = true;
    file = std::make_unique<StreamedFile>(path);
    hash = std::make_unique<Sha256>();
    furthest = 0;
    idleRetries = 0;
    send(Ask::Restart);
    emit connectionLost(false);
}

void Transfer::cancel()
{
    if (result != Outcome::Running)
        return;
    cancelled = true;
    retryTimer.stop();
    if (reply && reply->isRunning())
        reply->abort(); // its finished signal ends the transfer
    end(Outcome::Cancelled);
}

void Transfer::end(Outcome why)
{
    if (result != Outcome::Running)
        return;
    result = why;
    retryTimer.stop();
    diskWait.stop();
    emit ended(reply);
}

bool Transfer::commit()
{
    return result == Outcome::Received && file->commit();
}
