#include "application_proxy.h"

#include "local_http_server.h"

#include <QNetworkProxyFactory>

namespace {

const char LoopbackHost[] = "127.0.0.1";

QNetworkProxy proxyAt(quint16 port)
{
    return QNetworkProxy(QNetworkProxy::HttpProxy, QString::fromLatin1(LoopbackHost), port);
}

} // namespace

ApplicationProxy::ApplicationProxy(quint16 port)
    : m_previousProxy(QNetworkProxy::applicationProxy())
    , m_usedSystemConfiguration(QNetworkProxyFactory::usesSystemConfiguration())
{
    QNetworkProxy::setApplicationProxy(proxyAt(port));
}

ApplicationProxy::ApplicationProxy(const LocalHttpServer &server)
    : ApplicationProxy(server.port())
{
}

ApplicationProxy::~ApplicationProxy()
{
    QNetworkProxy::setApplicationProxy(m_previousProxy);
    // Turning the system configuration on again replaces the proxy set above.
    if (m_usedSystemConfiguration)
        QNetworkProxyFactory::setUseSystemConfiguration(true);
}

void routeApplicationThrough(const LocalHttpServer &server)
{
    QNetworkProxy::setApplicationProxy(proxyAt(server.port()));
}
