#pragma once

#include "test_server.h"

#include <QJsonObject>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;
class Tovik_all_in_one;

constexpr char CataloguePath[] = "/mordex/files/public/client/installer/Tovik_AIO_config.txt";

struct Box
{
    QMessageBox::Icon icon;
    QString title;
    QString text;
};

// A catalogue of one product, "P", with one active version; `extra` adds
// members to the version.
QByteArray catalogueWith(const QString &version, const QString &link, const QJsonObject &extra = {});

// What the window tests share: the local server standing in for every host,
// a fresh HOME per test, message boxes recorded and closed as a user would,
// and what the window hands to the desktop.
class Fixture : public QObject
{
    Q_OBJECT

public:
    Fixture();
    ~Fixture() override;

protected:
    // Call from init() and cleanup().
    void startTest();
    void endTest();
    // Builds the window with this catalogue and waits until it has been read.
    void open(const QByteArray &catalogue);
    void clickDownload() const;
    bool waitForBoxes(int count, int timeoutMs = 30000) const;
    void verifyIdle() const; // the face of a window with no transfer running
    QPushButton *button(const char *name) const;
    QLabel *label(const char *name) const;
    QProgressBar *bar() const;
    QString status() const;
    QStringList downloadRequests() const; // targets of every request but the catalogue's
    // Files under HOME, relative to it.
    bool write(const QString &path, const QByteArray &content) const;
    QByteArray read(const QString &path) const;
    QStringList files() const;

    TestServer server;
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<Tovik_all_in_one> window;
    QList<Box> boxes;
    QList<QUrl> desktop;

private slots:
    void openOnDesktop(const QUrl &url);

private:
    void closeModalBox();
};
