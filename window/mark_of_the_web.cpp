#include "mark_of_the_web.h"

#ifdef Q_OS_WIN
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <shobjidl.h>
#include <windows.h>

namespace {

// This program, to the Attachment Manager, which keeps settings per program.
const GUID ClientGuid = {0x99050934, 0x6f69, 0x413f, {0x8a, 0xae, 0xee, 0x77, 0xd0, 0x7a, 0xfc, 0x54}};

LPCWSTR wide(const QString &text)
{
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

// The Attachment Manager writes the tag as the user's policy asks, and has
// the antivirus scan the file on the way.
bool saveThroughAttachmentManager(const QString &path, const QString &source)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAttachmentExecute *manager = nullptr;
    bool saved = SUCCEEDED(CoCreateInstance(CLSID_AttachmentServices, nullptr, CLSCTX_INPROC_SERVER,
                                            __uuidof(IAttachmentExecute), reinterpret_cast<void **>(&manager)));
    if (saved) {
        const QString nativePath = QDir::toNativeSeparators(path);
        saved = SUCCEEDED(manager->SetClientGuid(ClientGuid)) && SUCCEEDED(manager->SetLocalPath(wide(nativePath)))
                && SUCCEEDED(manager->SetSource(wide(source))) && SUCCEEDED(manager->Save());
        manager->Release();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return saved;
}

// Where there is no Attachment Manager (Wine, a stripped system), or it fails
// (a path too long for it), the stream is written as it would write it. Never
// for a file that is gone: opening the stream would make an empty one.
bool writeStream(const QString &path, const QString &source)
{
    if (!QFileInfo(path).isFile())
        return false;
    QFile stream(path + QLatin1String(":Zone.Identifier"));
    const QByteArray text = "[ZoneTransfer]\r\nZoneId=3\r\nHostUrl=" + source.toUtf8() + "\r\n";
    return stream.open(QIODevice::WriteOnly | QIODevice::Truncate) && stream.write(text) == text.size()
            && stream.flush();
}

} // namespace

bool MarkOfTheWeb::tag(const QString &path, const QUrl &source)
{
    // A password in the address stays out of the file; the fragment never reached the server.
    const QString origin
            = QString::fromLatin1(source.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment).toEncoded());
    return saveThroughAttachmentManager(path, origin) || writeStream(path, origin);
}

#else

bool MarkOfTheWeb::tag(const QString &, const QUrl &)
{
    return true;
}

#endif
