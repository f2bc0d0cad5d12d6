#include "window_driver.h"

#include <QDesktopServices>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSignalSpy>

namespace {

// The install action sends file: URLs; the folder action sends the folder's
// text as it is, a URL without a scheme.
const QStringList DesktopSchemes = {QString(), QStringLiteral("file")};

} // namespace

bool waitForCatalogue(QObject *window, int timeoutMs)
{
    qRegisterMetaType<QNetworkReply *>();
    // The first manager the window makes is the catalogue's.
    auto *manager = window->findChild<QNetworkAccessManager *>();
    QSignalSpy finished(manager, &QNetworkAccessManager::finished);
    return manager && finished.wait(timeoutMs);
}

DesktopRequests::DesktopRequests()
{
    for (const QString &scheme : DesktopSchemes)
        QDesktopServices::setUrlHandler(scheme, this, "open");
}

DesktopRequests::~DesktopRequests()
{
    for (const QString &scheme : DesktopSchemes)
        QDesktopServices::unsetUrlHandler(scheme);
}

void DesktopRequests::open(const QUrl &url)
{
    urls.append(url);
}
