#pragma once

#include <QNetworkProxy>

class LocalHttpServer;

// Sends every request of the application through the local server as its
// HTTP proxy, so that a URL built into the program, whatever its host,
// reaches the server. The earlier proxy setting returns on destruction.
class ApplicationProxy
{
public:
    explicit ApplicationProxy(quint16 port);
    explicit ApplicationProxy(const LocalHttpServer &server);
    ~ApplicationProxy();
    ApplicationProxy(const ApplicationProxy &) = delete;
    ApplicationProxy &operator=(const ApplicationProxy &) = delete;

private:
    QNetworkProxy m_previousProxy;
    bool m_usedSystemConfiguration;
};

// The same without the restoring, for a test that keeps the route to the end.
void routeApplicationThrough(const LocalHttpServer &server);
