#pragma once

#include <QByteArray>
#include <QString>
#ifdef Q_OS_WIN
#include <QTemporaryFile>
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

    // Opens the temporary file with the first bytes; false once anything failed.
    bool write(const QByteArray &bytes);
    bool commit();

    qint64 bytesWritten() const;
    bool hasFailed() const;

private:
    bool open();
    void startWriteback();
    bool putInPlace();

#ifdef Q_OS_WIN
    // QSaveFile removes its temporary file when replacing the target fails,
    // which on Windows may fail for a moment only: the file is kept for
    // another try, and replaced here.
    QTemporaryFile file;
    QString target;
#else
    QSaveFile file;
#endif
    qint64 written = 0;
    qint64 handedToDisk = 0;
    bool failed = false;
};
