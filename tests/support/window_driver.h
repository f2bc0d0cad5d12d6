#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QUrl>

// Where the window looks for its catalogue, whatever host the proxy stands in for.
constexpr char CataloguePath[] = "/mordex/files/public/client/installer/Tovik_AIO_config.txt";

// Returns once the window has read the reply to its catalogue request.
bool waitForCatalogue(QObject *window, int timeoutMs = 10000);

// Takes what the window hands to the desktop (files and folders) instead of
// a file manager, for as long as it lives.
class DesktopRequests : public QObject
{
    Q_OBJECT

public:
    DesktopRequests();
    ~DesktopRequests() override;

    QList<QUrl> urls;

public slots:
    void open(const QUrl &url);
};
