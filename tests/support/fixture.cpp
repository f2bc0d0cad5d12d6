#include "fixture.h"

#include <QtNetwork>
#include <QtTest>

QByteArray catalogueWith(const QString &version, const QString &link, const QJsonObject &extra)
{
    QJsonObject entry{{"active", true}, {"downloadlink", link}, {"changelist", "notes"}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        entry.insert(it.key(), it.value());
    return QJsonDocument(QJsonObject{{"P", QJsonObject{{"data", QJsonObject{{version, entry}}}}}}).toJson();
}

void setHome(const QString &path)
{
    qputenv("HOME", QFile::encodeName(path));
#ifdef Q_OS_WIN
    qputenv("USERPROFILE", QDir::toNativeSeparators(path).toLocal8Bit());
#endif
}

Fixture::Fixture()
{
    qRegisterMetaType<QNetworkReply *>();
    QNetworkProxy::setApplicationProxy({QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), server.port()});
    auto *poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &Fixture::closeModalBox);
    poll->start(20); // also fires inside a box's own event loop
    // The install action sends file: URLs; the folder action a URL without a scheme.
    for (const QString &scheme : {QString(), QStringLiteral("file")})
        QDesktopServices::setUrlHandler(scheme, this, "openOnDesktop");
}

void Fixture::startTest()
{
    server.reset();
    boxes.clear();
    desktop.clear();
    home = std::make_unique<QTemporaryDir>();
    setHome(home->path());
}

void Fixture::endTest()
{
    window.reset(); // before what it wrote is looked at or removed
    home.reset();
}

void Fixture::open(const QByteArray &catalogue)
{
    server.on(CataloguePath, reply(200, catalogue));
    window = std::make_unique<Tovik_all_in_one>();
    window->show();
    // The first manager the window makes is the catalogue's.
    QSignalSpy read(window->findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    QVERIFY(read.wait(10000));
}

void Fixture::verifyIdle() const
{
    QVERIFY(!bar()->isVisible());
    QCOMPARE(button("btnDownload")->text(), QStringLiteral("  Tải về"));
    QVERIFY(button("btnDownload")->isEnabled());
    for (QComboBox *box : window->findChildren<QComboBox *>())
        QVERIFY(box->isEnabled());
    QCOMPARE(label("lbl_Total")->text(), QStringLiteral(": 0.00 KB/0.00 KB"));
    QCOMPARE(label("lbl_Speed")->text(), QStringLiteral(": 0.00 Kb/s"));
    QVERIFY(!window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->isActive());
}

bool Fixture::write(const QString &path, const QByteArray &content) const
{
    QDir().mkpath(QFileInfo(home->filePath(path)).path());
    QFile file(home->filePath(path));
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray Fixture::read(const QString &path) const
{
    QFile file(home->filePath(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList Fixture::files() const
{
    QStringList found;
    QDirIterator it(home->path(), QDir::Files | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext())
        found.append(QDir(home->path()).relativeFilePath(it.next()));
    found.sort();
    return found;
}

void Fixture::closeModalBox()
{
    auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
    if (!box || !box->isVisible())
        return;
    boxes.append({box->icon(), box->windowTitle(), box->text()});
    box->done(QMessageBox::Ok);
}
