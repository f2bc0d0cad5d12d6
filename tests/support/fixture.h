#pragma once
#include "test_server.h"
#include "tovik_all_in_one.h"
#include <QtNetwork>
#include <QtTest>
#include <QtWidgets>
#include <memory>
constexpr char CataloguePath[] = "/mordex/files/public/client/installer/Tovik_AIO_config.txt";
struct Box
{
    QMessageBox::Icon icon;
    QString title, text;
};
// What a user sees of the window, one line per widget, and whether the speed is counted (once a second, while a
// transfer runs). In an expected text "%n" stands for any figure.
struct Face
{
    bool busy = false; // a transfer runs: the stop button, both lists disabled
    bool install = false, folder = true;
    QString status, total = QString(": 0.00 KB/0.00 KB"), speed = QString(": 0.00 Kb/s");
    QString bar = QString("hidden"); // else "minimum-maximum value"
    QStringList lines() const
    {
        const auto on = [](bool enabled) { return QString(enabled ? "on" : "off"); };
        const QString download = busy ? "Dừng' 1452778310_Cancel" : "Tải về' 1498635164_download";
        return QString("btnDownload '  %1 on\n"
                       "btnInstall '  Cài đặt' 1464966328_adept_installer %2\n"
                       "btnOpen 'Thư mục' 1464039768_Folder %3\n"
                       "btnClose '  Đóng' 1452863351_cross-button on\n"
                       "cbName %4\ncbVer %4\nlbl_Total %5\nlbl_Speed %6\nstatus %7\nprogressBar %8\nspeedTimer %9")
                .arg(download, on(install), on(folder), on(!busy), total, speed, status, bar,
                     QString(busy ? "1000 ms" : "off"))
                .split('\n');
    }
};
// The home folder the program saves under; Windows takes USERPROFILE where the profile's folder does not exist
// (so in the tests' Wine prefix).
inline void setHome(const QString &path)
{
    qputenv("HOME", QFile::encodeName(path));
#ifdef Q_OS_WIN
    qputenv("USERPROFILE", QDir::toNativeSeparators(path).toLocal8Bit());
#endif
}
// A catalogue of one product, "P", with one active version; `extra` adds members to the version.
inline QByteArray catalogueWith(const QString &version, const QString &link, const QJsonObject &extra = {})
{
    QJsonObject entry {{"active", true}, {"downloadlink", link}, {"changelist", "notes"}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        entry.insert(it.key(), it.value());
    return QJsonDocument(QJsonObject {{"P", QJsonObject {{"data", QJsonObject {{version, entry}}}}}}).toJson();
}
// What the window tests share: the server standing in for every host, a fresh HOME per test (startTest and
// endTest), message boxes recorded and closed as a user would, and what the window hands to the desktop.
class Fixture : public QObject
{
    Q_OBJECT
public:
    Fixture()
    {
        qRegisterMetaType<QNetworkReply *>();
        QNetworkProxy::setApplicationProxy({QNetworkProxy::HttpProxy, QString("127.0.0.1"), server.port()});
        auto *poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, &Fixture::closeModalBox);
        poll->start(20); // also fires inside a box's own event loop
        // Both file actions send file: URLs; one without a scheme is caught too, should it come.
        for (const QString &scheme : {QString(), QString("file")})
            QDesktopServices::setUrlHandler(scheme, this, "openOnDesktop");
    }

protected:
    void startTest()
    {
        server.reset();
        boxes.clear(), desktop.clear(), changesShown.clear();
        home = std::make_unique<QTemporaryDir>();
        setHome(home->path());
    }
    void endTest()
    {
        window.reset(); // before what it wrote is looked at or removed
        home.reset();
    }
    // Builds the window with this answer to its catalogue request, and waits until it has been read.
    void open(const Reply &catalogue)
    {
        server.on(CataloguePath, catalogue);
        window = std::make_unique<Tovik_all_in_one>();
        window->show();
        auto *changes = window->findChild<QPlainTextEdit *>();
        connect(changes, &QPlainTextEdit::textChanged, this, [=] { changesShown << changes->toPlainText(); });
        // The first manager the window makes is the catalogue's.
        QSignalSpy read(window->findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
        QVERIFY(read.wait(10000));
    }
    void open(const QByteArray &catalogue) { open(reply(200, catalogue)); }
    void click(const char *name) const { QTest::mouseClick(button(name), Qt::LeftButton); }
    void clickDownload() const { click("btnDownload"); }
    bool waitForBoxes(int n) const
    {
        return QTest::qWaitFor([&] { return boxes.size() >= n; }, 30000);
    }
    // As Face::lines, read from the window; an image is named by the file it was read from.
    QStringList face() const
    {
        static QMap<QString, QImage> images; // read once: checks run while the window waits on a timer
        for (const QString &file : images.isEmpty() ? QDir(QString(":/Icons")).entryList() : QStringList())
            images[QFileInfo(file).baseName()] = QIcon(":/Icons/" + file).pixmap(16).toImage();
        QStringList lines;
        for (const char *name : {"btnDownload", "btnInstall", "btnOpen", "btnClose"})
            lines << QString("%1 '%2' %3 %4")
                             .arg(name, button(name)->text(),
                                  images.key(button(name)->icon().pixmap(16).toImage(), QString("no image")),
                                  button(name)->isEnabled() ? "on" : "off");
        for (const char *name : {"cbName", "cbVer"})
            lines << name + QLatin1String(window->findChild<QComboBox *>(name)->isEnabled() ? " on" : " off");
        const QString shown = QString("%1-%2 %3").arg(bar()->minimum()).arg(bar()->maximum()).arg(bar()->value());
        const QTimer *tick = window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly); // the speed's
        return lines << "lbl_Total " + label("lbl_Total")->text() << "lbl_Speed " + label("lbl_Speed")->text()
                     << "status " + status() << "progressBar " + (bar()->isVisible() ? shown : "hidden")
                     << (tick->isActive() ? QString("speedTimer %1 ms").arg(tick->interval()) : "speedTimer off");
    }
    void verifyFace(const Face &expected) const
    {
        const QStringList wanted = expected.lines();
        QCOMPARE(asExpected(face(), wanted), wanted);
    }
    // `actual`, each line that matches its line of `wanted` written as wanted, so that the first that differs shows.
    static QStringList asExpected(QStringList actual, const QStringList &wanted)
    {
        for (int i = 0; i < qMin(actual.size(), wanted.size()); ++i) {
            const QString pattern = QRegularExpression::escape(wanted[i]).replace("\\%n", "[0-9.]+");
            actual[i] = QRegularExpression('^' + pattern + '$').match(actual[i]).hasMatch() ? wanted[i] : actual[i];
        }
        return actual;
    }
    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(QLatin1String(name)); }
    QLabel *label(const char *name) const { return window->findChild<QLabel *>(QLatin1String(name)); }
    QProgressBar *bar() const { return window->findChild<QProgressBar *>(); }
    QString status() const { return window->statusBar()->currentMessage(); }
    // Files under HOME, by their paths relative to it; files() leaves out the streams Wine keeps as files, "a:b".
    bool write(const QString &path, const QByteArray &content) const
    {
        QDir().mkpath(QFileInfo(home->filePath(path)).path());
        QFile file(home->filePath(path));
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }
    QByteArray read(const QString &path) const
    {
        QFile file(home->filePath(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    QStringList files() const
    {
        QStringList found;
        QDirIterator it(home->path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
        while (it.hasNext())
            found.append(QDir(home->path()).relativeFilePath(it.next()));
        found.sort();
        return found.filter(QRegularExpression(QString("^[^:]*$")));
    }
    void closeModalBox() // not a slot, or QtTest would run it as a test
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box && box->isVisible())
            boxes.append({box->icon(), box->windowTitle(), box->text()}), box->done(QMessageBox::Ok);
    }
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
};
