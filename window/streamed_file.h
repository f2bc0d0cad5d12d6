#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#ifdef Q_OS_WIN
#include <QFile>
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
    // Once the last bytes are written: isBehind() then waits for all of them.
    void handOverRest();

private:
    bool open();
    bool fail();
    bool startWriteback();
    bool putInPlace();

#ifdef Q_OS_WIN
    // QSaveFile removes its temporary file when replacing the target fails,
    // which on Windows may fail for a moment only: the temporary file is
    // kept for another try, and removed here unless it took the target's place.
    QFile file;
    QString target;
    bool placed = false;
#else
    QSaveFile file;
#endif
    qint64 written = 0;
    qint64 handedToDisk = 0; // asked to be written to disk
    qint64 olderSteps = 0; // where the last step handed to the disk begins
    qint64 stored = 0; // known to be on disk
    QElapsedTimer behindFor;
    bool failed = false;
};
