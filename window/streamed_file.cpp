#include "streamed_file.h"

#ifdef Q_OS_LINUX
#include <fcntl.h>
#endif
#ifdef Q_OS_WIN
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>

#include <io.h>
#include <windows.h>
#endif

namespace {

// How much is written before the disk is asked to start storing it.
constexpr qint64 WritebackStep = 8 * 1024 * 1024;

#ifdef Q_OS_WIN
// How long a target that is held open elsewhere may keep the file from its place.
constexpr int ReplaceRetryMs = 2000;

// The form of a path that is not limited to 260 characters.
QString longNativePath(const QString &path)
{
    const QString native = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
    return native.startsWith(QLatin1String("\\\\")) ? QLatin1String("\\\\?\\UNC\\") + native.mid(2)
                                                    : QLatin1String("\\\\?\\") + native;
}
#endif

} // namespace

#ifdef Q_OS_WIN
StreamedFile::StreamedFile(const QString &path)
    : target(path)
{
}

StreamedFile::~StreamedFile()
{
    if (!placed && !file.fileName().isEmpty())
        file.remove();
}

bool StreamedFile::open()
{
    // QTemporaryFile only makes the name: its close() keeps the file open,
    // and an open file cannot be moved. Destroyed, it closes the file.
    {
        QTemporaryFile named(target + QLatin1String(".XXXXXX"));
        if (!named.open())
            return false;
        named.setAutoRemove(false);
        file.setFileName(named.fileName());
    }
    return file.open(QIODevice::WriteOnly);
}
#else
StreamedFile::StreamedFile(const QString &path)
    : file(path)
{
}

StreamedFile::~StreamedFile() = default;

bool StreamedFile::open()
{
    return file.open(QIODevice::WriteOnly);
}
#endif

bool StreamedFile::write(const QByteArray &bytes)
{
    if (failed)
        return false;
    if (bytes.isEmpty())
        return true;
    if (!file.isOpen() && !open()) {
        failed = true;
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        failed = true;
#ifndef Q_OS_WIN
        file.cancelWriting();
#endif
        return false;
    }
    written += bytes.size();
    if (written - handedToDisk >= WritebackStep)
        startWriteback();
    return true;
}

// commit() waits until the whole file is on disk. Left to itself the system
// would keep a large file in memory and write all of it only then, freezing
// the window for as long; started as the bytes arrive, the writing overlaps
// the transfer and commit() waits for the last piece only. The call starts
// the writing and does not wait for it.
void StreamedFile::startWriteback()
{
#ifdef Q_OS_LINUX
    ::sync_file_range(file.handle(), handedToDisk, written - handedToDisk, SYNC_FILE_RANGE_WRITE);
#endif
    handedToDisk = written;
}

bool StreamedFile::commit()
{
    if (failed || !file.isOpen())
        return false;
    if (!putInPlace()) {
        failed = true;
        return false;
    }
    return true;
}

#ifdef Q_OS_WIN
// An antivirus scanner opens a new executable as soon as it is closed, and an
// open installer holds its file: Windows then refuses, for a while, to replace
// the target (a sharing violation, or access denied). The replace is tried
// again with growing pauses for about two seconds, for those two errors only;
// the window waits meanwhile, which only a held file makes it do.
bool StreamedFile::putInPlace()
{
    // Written through, as QSaveFile does, so that a power cut cannot leave the new name on missing bytes.
    const bool stored = file.flush() && FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(file.handle())));
    file.close();
    if (!stored || file.error() != QFileDevice::NoError)
        return false;
    const QString from = longNativePath(file.fileName()), to = longNativePath(target);
    const QDeadlineTimer deadline(ReplaceRetryMs);
    for (int pause = 20;; pause = qMin(pause * 2, 320)) {
        if (MoveFileExW(reinterpret_cast<LPCWSTR>(from.utf16()), reinterpret_cast<LPCWSTR>(to.utf16()),
                        MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
            placed = true;
            return true;
        }
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || deadline.hasExpired())
            return false;
        QThread::msleep(pause);
    }
}
#else
bool StreamedFile::putInPlace()
{
    return file.commit();
}
#endif

qint64 StreamedFile::bytesWritten() const
{
    return written;
}

bool StreamedFile::hasFailed() const
{
    return failed;
}
