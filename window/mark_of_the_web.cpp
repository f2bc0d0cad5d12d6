#include "mark_of_the_web.h"

#ifdef Q_OS_WIN
#include "build_settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <shobjidl.h>
#include <urlmon.h>
#include <windows.h>

namespace {

// This program, to the Attachment Manager, which keeps settings per program.
const GUID ClientGuid = {0x99050934, 0x6f69, 0x413f, {0x8a, 0xae, 0xee, 0x77, 0xd0, 0x7a, 0xfc, 0x54}};
const char ZoneStream[] = ":Zone.Identifier";
// The longest address the Attachment Manager takes (INTERNET_MAX_URL_LENGTH).
constexpr int MaxAddressLength = 2083;

// What the Attachment Manager made of the file.
enum class Check { Saved, Refused, Unavailable };

LPCWSTR wide(const QString &text)
{
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

// A password in the address stays out of the file; the fragment never reached
// the server. An address too long to be taken names the Internet zone alone.
QString addressOf(const QUrl &url)
{
    const QString address = QString::fromLatin1(url.adjusted(QUrl::RemoveUserInfo | QUrl::RemoveFragment).toEncoded());
    return address.size() > MaxAddressLength ? QStringLiteral("about:internet") : address;
}

// The Attachment Manager writes the tag as the user's policy asks, and has
// the antivirus scan the file on the way. Given the name the file will have,
// it judges the file by that name's type, not by the temporary one's.
Check checkThroughAttachmentManager(const QString &path, const QString &name, const QString &source,
                                    const QString &referrer)
{
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAttachmentExecute *manager = nullptr;
    Check check = Check::Unavailable;
    if (SUCCEEDED(CoCreateInstance(CLSID_AttachmentServices, nullptr, CLSCTX_INPROC_SERVER,
                                   __uuidof(IAttachmentExecute), reinterpret_cast<void **>(&manager)))) {
        if (SUCCEEDED(manager->SetClientGuid(ClientGuid))
            && SUCCEEDED(manager->SetLocalPath(wide(QDir::toNativeSeparators(path))))
            && SUCCEEDED(manager->SetFileName(wide(name))) && SUCCEEDED(manager->SetSource(wide(source)))
            && SUCCEEDED(manager->SetReferrer(wide(referrer)))) {
            // As browsers read it: blocked by the zone policy, or found infected by the antivirus.
            const HRESULT saved = manager->Save();
            check = SUCCEEDED(saved)                                      ? Check::Saved
                    : saved == INET_E_SECURITY_PROBLEM || saved == E_FAIL ? Check::Refused
                                                                          : Check::Unavailable;
        }
        manager->Release();
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return check;
}

// Where there is no Attachment Manager (Wine, a stripped system), or it fails
// (a path too long for it), the stream is written as it would write it. Never
// for a file that is gone: opening the stream would make an empty one.
void writeStream(const QString &path, const QString &source, const QString &referrer)
{
    if (!QFileInfo(path).isFile())
        return;
    QFile stream(path + QLatin1String(ZoneStream));
    const QByteArray text = "[ZoneTransfer]\r\nZoneId=3\r\nReferrerUrl=" + referrer.toUtf8()
            + "\r\nHostUrl=" + source.toUtf8() + "\r\n";
    if (stream.open(QIODevice::WriteOnly | QIODevice::Truncate))
        stream.write(text);
}

} // namespace

bool MarkOfTheWeb::tag(const QString &path, const QString &name, const QUrl &source)
{
    // The referrer: the catalogue, where every download link is read, as the page a browser would name.
    const QString origin = addressOf(source),
                  referrer = addressOf(QUrl(QString::fromLatin1(BuildSettings::CatalogueUrl)));
    const Check check = checkThroughAttachmentManager(path, name, origin, referrer);
    if (check == Check::Unavailable)
        writeStream(path, origin, referrer);
    return check != Check::Refused && QFileInfo(path).isFile();
}

void MarkOfTheWeb::follow(const QString &from, const QString &to)
{
    const QString stream = from + QLatin1String(ZoneStream);
    if (!QFileInfo::exists(stream))
        return;
    if (!to.isEmpty()) {
        QFile::remove(to + QLatin1String(ZoneStream));
        QFile::rename(stream, to + QLatin1String(ZoneStream));
    }
    QFile::remove(stream);
}

#endif
