#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QUrl>
#ifdef Q_OS_WIN
#include <QDeadlineTimer>
#include <QFile>

#include <functional>
#include <memory>
#else
#include <QSaveFile>
#endif

// The file a transfer is saved to. Bytes go to a temporary file beside the
// target while they arrive; the target appears, or is replaced, in one piece
// only on commit. Destroying the object uncommitted removes the temporary
// file and leaves an earlier file untouched.
class StreamedFile
{
public:
    explicit StreamedFile(const QString &path);
    ~StreamedFile();

    // Opens the temporary file with the first bytes; false once anything failed.
    bool write(const QByteArray &bytes);
    bool commit();

    qint64 bytesWritten() const;
    bool hasFailed() const;
    // True while the disk is more than a step behind: the caller then holds
    // the next bytes back and asks again a little later.
    bool isBehind();
    // Once the last bytes, from `source`, are written: isBehind() then waits
    // for all of them. On Windows it also waits while the file is tagged with
    // its source, scanned and put in place, none of which the window waits
    // for: commit() then only tells whether it took its place.
    void handOverRest(const QUrl &source = QUrl());

private:
    bool open();
    bool fail();
    bool startWriteback();

#ifdef Q_OS_WIN
    struct Job;
    static std::shared_ptr<Job> inBackground(const std::function<bool()> &call);
    void flushInBackground();
    bool tryToPlace();

    // QSaveFile removes its temporary file when replacing the target fails,
    // which on Windows may fail for a moment only: the temporary file is
    // kept for another try, and removed here unless it took the target's place.
    QFile file; // on the handle that made the temporary file
    QString target, temporary;
    QUrl source;
    std::shared_ptr<Job> job; // the flush or the tag under way off the window's thread
    qint64 jobCovers = 0; // what is on disk once the job is done
    bool lastBytesIn = false;
    bool placed = false;
    QDeadlineTimer nextTry, replaceDeadline {QDeadlineTimer::Forever};
    int retryPause = 0;
#else
    bool putInPlace();

    QSaveFile file;
#endif
    qint64 written = 0;
    qint64 handedToDisk = 0; // asked to be written to disk
    qint64 olderSteps = 0; // where the last step handed to the disk begins
    qint64 stored = 0; // known to be on disk
    QElapsedTimer behindFor;
    bool failed = false;
};
