#pragma once
#include "test_server.h"
#include "tovik_all_in_one.h"
#include <QTest>
#include <QtWidgets>
#include <memory>
constexpr char CataloguePath[] = "/mordex/files/public/client/installer/Tovik_AIO_config.txt";
struct Box
{
    QMessageBox::Icon icon;
    QString title, text;
};
// What a user sees of the window. In an expected text "%n" stands for any figure.
struct Face
{
    bool busy = false; // a transfer runs: the stop button, both lists disabled
    bool install = false, folder = true;
    QString status, total = QStringLiteral(": 0.00 KB/0.00 KB"), speed = QStringLiteral(": 0.00 Kb/s");
    QString bar = QStringLiteral("hidden"); // else "minimum-maximum value"
    QStringList lines() const; // one line per widget
};
// Sets the home folder the program saves under. Windows takes it from the user's profile, and
// from USERPROFILE where the profile's folder does not exist (so in the Windows tests' Wine prefix).
void setHome(const QString &path);
// A catalogue of one product, "P", with one active version; `extra` adds members to the version.
QByteArray catalogueWith(const QString &version, const QString &link, const QJsonObject &extra = {});
// What the window tests share: the server standing in for every host, a
// fresh HOME per test (startTest/endTest from init/cleanup), message boxes
// recorded and closed as a user would, and what the window hands to the desktop.
class Fixture : public QObject
{
    Q_OBJECT
public:
    Fixture();

protected:
    void startTest();
    void endTest();
    // Builds the window with this answer to its catalogue request, and waits until it has been read.
    void open(const Reply &catalogue);
    void open(const QByteArray &catalogue) { open(reply(200, catalogue)); }
    void clickDownload() const { QTest::mouseClick(button("btnDownload"), Qt::LeftButton); }
    bool waitForBoxes(int n, int ms = 30000) const
    {
        return QTest::qWaitFor([&] { return boxes.size() >= n; }, ms);
    }
    QStringList face() const; // as Face::lines, read from the window
    void verifyFace(const Face &expected) const;
    // `actual`, with each line that matches its line of `wanted` ("%n": any figure) written as wanted.
    static QStringList asExpected(QStringList actual, const QStringList &wanted);
    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(QLatin1String(name)); }
    QLabel *label(const char *name) const { return window->findChild<QLabel *>(QLatin1String(name)); }
    QProgressBar *bar() const { return window->findChild<QProgressBar *>(); }
    QString status() const { return window->statusBar()->currentMessage(); }
    bool write(const QString &path, const QByteArray &content) const; // files under HOME, relative to it
    QByteArray read(const QString &path) const;
    QStringList files() const;
    TestServer server;
    std::unique_ptr<QTemporaryDir> home;
    std::unique_ptr<Tovik_all_in_one> window;
    QList<Box> boxes;
    QList<QUrl> desktop;
    QStringList changesShown; // the change list after each change of its text
private slots:
    void openOnDesktop(const QUrl &url) // Qt asks the desktop only for a valid URL, but its handlers for any
    {
        if (url.isValid())
            desktop.append(url);
    }
    void closeModalBox();
};
