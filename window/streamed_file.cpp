#include "streamed_file.h"

StreamedFile::StreamedFile(const QString &path)
    : file(path)
{
}

bool StreamedFile::write(const QByteArray &bytes)
{
    if (failed)
        return false;
    if (bytes.isEmpty())
        return true;
    if (!file.isOpen() && !file.open(QIODevice::WriteOnly)) {
        failed = true;
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        failed = true;
        file.cancelWriting();
        return false;
    }
    written += bytes.size();
    return true;
}

bool StreamedFile::commit()
{
    if (failed || !file.isOpen())
        return false;
    if (!file.commit()) {
        failed = true;
        return false;
    }
    return true;
}

qint64 StreamedFile::bytesWritten() const
{
    return written;
}

bool StreamedFile::hasFailed() const
{
    return failed;
}
