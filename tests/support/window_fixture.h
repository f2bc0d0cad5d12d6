#pragma once

#include "local_http_server.h"
#include "message_box_recorder.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class Tovik_all_in_one;

// A catalogue of one product, "P", with one active version.
QByteArray catalogueWith(const QString &version, const QString &link);

// What the download tests share: a local server, a message-box recorder and
// the real window, with a few ways of looking at it as a user would.
class WindowFixture : public QObject
{
    Q_OBJECT

public:
    WindowFixture();
    ~WindowFixture() override;

protected:
    // A fresh start for each test function: no routes, no requests, no boxes.
    void startTest();
    // Closes the window before what it wrote is looked at or removed.
    void endTest();
    // Builds the window with a one-version catalogue and waits until it has
    // read it and chosen that version.
    void load(const QString &version, const QString &link);
    void clickDownload() const;
    // The face of a window with no transfer running.
    void verifyIdle() const;
    QPushButton *button(const char *name) const;
    QLabel *label(const char *name) const;
    QProgressBar *bar() const;
    QString status() const;
    // "GET <target>" of every request but the catalogue's, in order.
    QStringList downloadRequests() const;

    LocalHttpServer server;
    std::unique_ptr<MessageBoxRecorder> boxes;
    std::unique_ptr<Tovik_all_in_one> window;
};
