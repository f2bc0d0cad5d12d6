#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <memory>

class QNetworkAccessManager;
class QNetworkReply;
class Sha256;
class StreamedFile;

// One download, from the first request to the file in place: the requests
// that resume it after a dropped connection, the file being saved, the
// checksum and the free-space check. It knows no widget: the window follows
// its signals and tells the user the outcome.
class Transfer : public QObject
{
    Q_OBJECT

public:
    enum class Outcome { Running, Received, Cancelled, CutShort, NothingReceived, SaveFailed, Damaged };

    // A reply holds at most this much before the bytes go to disk, so memory
    // stays flat whatever the size of the file.
    static constexpr qint64 ReadBufferSize = 1024 * 1024;

    // Saves to `folder` + "/" + `name`; `sha256`: the expected digest (32 bytes), or empty for no check.
    Transfer(QNetworkAccessManager *manager, const QUrl &url, const QString &folder, const QString &name,
             const QByteArray &sha256, QObject *parent);
    ~Transfer() override;

    QNetworkReply *start();
    // Ends the transfer as cancelled, at once: `ended` is emitted before this returns.
    void cancel();
    // Puts the file in place after `ended` with Received.
    bool commit();
    // The window is closing: a transfer whose every byte is in is verified and
    // ended now, without waiting for the disk or the reply's end; any other
    // transfer goes on (and goes with the window).
    void finishNow();

    Outcome outcome() const { return result; }
    QNetworkReply *lastReply() const { return reply; }
    // Where the file is saved, as given when the transfer was made.
    const QString &folder() const { return savedFolder; }
    const QString &fileName() const { return savedName; }

signals:
    // Bytes in the file so far, and the announced length (-1: not announced).
    void progress(qint64 bytesRead, qint64 totalBytes);
    // True: the connection was lost, or a busy server asked to wait, and a retry waits; false: asking again.
    void connectionLost(bool waiting);
    // Every byte is in and verified: the file settles on disk (on Windows it is
    // also tagged and scanned) until `ended`.
    void saving();
    void ended(QNetworkReply *last);

private:
    enum class Answer { Unchecked, Taken, Refused };
    // A resume asks for the rest of the file; a restart for all of it again.
    enum class Ask { First, Resume, Restart };

    void send(Ask ask);
    bool mayAppend() const;
    void startOver();
    void checkAnswer();
    void takeWholeBody();
    bool fitsOnDisk() const;
    void refuse(Outcome why);
    void drain(bool all = false);
    void replyFinished();
    void retry(bool broughtBytes, Outcome otherwise = Outcome::CutShort);
    void verify();
    void settle();
    void end(Outcome why);

    QNetworkAccessManager *manager;
    QUrl url; // the link, then the address the first answer finally came from
    QString savedFolder, savedName, path;
    QByteArray expectedDigest;
    std::unique_ptr<StreamedFile> file;
    std::unique_ptr<Sha256> hash;
    QPointer<QNetworkReply> reply;
    QTimer retryTimer;
    QTimer diskWait;
    QRandomGenerator dice; // spreads the retry waits

    Answer answer = Answer::Unchecked;
    Outcome failure = Outcome::Running; // decided while the reply still runs
    Outcome result = Outcome::Running;
    bool rangeAsked = false;
    bool askedAgain = false; // the current request is a resume or a restart
    bool cancelled = false;
    bool settling = false; // every byte is in, and waits to be on disk
    qint64 total = -1;
    QByteArray validator; // the first answer's strong ETag or Last-Modified
    bool resumable = false;
    bool appendedUnproven = false; // a resume appended without a validator: only the digest vouches for it
    bool restartedForDigest = false;
    qint64 furthest = 0; // the most bytes the file had held when the current reply was asked
    int idleRetries = 0; // retries in a row that brought no byte
    int serverWaitMs = -1; // what a busy server asked to wait; -1: nothing
};
