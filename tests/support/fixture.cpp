#include "fixture.h"
#include <QtNetwork>
#include <QtTest>
QByteArray catalogueWith(const QString &version, const QString &link, const QJsonObject &extra)
{
    QJsonObject entry {{"active", true}, {"downloadlink", link}, {"changelist", "notes"}};
    for (auto it = extra.begin(); it != extra.end(); ++it)
        entry.insert(it.key(), it.value());
    return QJsonDocument(QJsonObject {{"P", QJsonObject {{"data", QJsonObject {{version, entry}}}}}}).toJson();
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
    changesShown.clear();
    home = std::make_unique<QTemporaryDir>();
    setHome(home->path());
}
void Fixture::endTest()
{
    window.reset(); // before what it wrote is looked at or removed
    home.reset();
}
void Fixture::open(const Reply &catalogue)
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
QStringList Face::lines() const
{
    const auto on = [](bool enabled) { return QLatin1String(enabled ? " on" : " off"); };
    return {(busy ? QStringLiteral("btnDownload '  Dừng' 1452778310_Cancel on")
                  : QStringLiteral("btnDownload '  Tải về' 1498635164_download on")),
            "btnInstall '  Cài đặt' 1464966328_adept_installer" + on(install),
            "btnOpen 'Thư mục' 1464039768_Folder" + on(folder),
            "btnClose '  Đóng' 1452863351_cross-button on",
            "cbName" + on(!busy),
            "cbVer" + on(!busy),
            "lbl_Total " + total,
            "lbl_Speed " + speed,
            "status " + status,
            "progressBar " + bar};
}
QStringList Fixture::face() const
{
    static QMap<QString, QImage> images; // read once: checks run while the window waits on a timer
    for (const QString &file : images.isEmpty() ? QDir(QStringLiteral(":/Icons")).entryList() : QStringList())
        images[QFileInfo(file).baseName()] = QIcon(":/Icons/" + file).pixmap(16).toImage();
    QStringList lines;
    for (const char *name : {"btnDownload", "btnInstall", "btnOpen", "btnClose"}) {
        const QImage shown = button(name)->icon().pixmap(16).toImage();
        const QString image = images.key(shown, QStringLiteral("no image"));
        lines << QStringLiteral("%1 '%2' %3 %4")
                         .arg(name, button(name)->text(), image, button(name)->isEnabled() ? "on" : "off");
    }
    for (const char *name : {"cbName", "cbVer"})
        lines << name + QLatin1String(window->findChild<QComboBox *>(name)->isEnabled() ? " on" : " off");
    lines << "lbl_Total " + label("lbl_Total")->text() << "lbl_Speed " + label("lbl_Speed")->text()
          << "status " + status();
    return lines << "progressBar "
            + (bar()->isVisible()
                       ? QStringLiteral("%1-%2 %3").arg(bar()->minimum()).arg(bar()->maximum()).arg(bar()->value())
                       : "hidden");
}
void Fixture::verifyFace(const Face &expected) const
{
    const QStringList wanted = expected.lines();
    QCOMPARE(asExpected(face(), wanted), wanted); // and the speed is counted, per second, only while a transfer runs
    const QTimer *tick = window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(tick->isActive() ? tick->interval() : 0, expected.busy ? 1000 : 0);
}
QStringList Fixture::asExpected(QStringList actual, const QStringList &wanted)
{
    for (int i = 0; i < qMin(actual.size(), wanted.size()); ++i) { // so the first line that differs shows
        const QString pattern
                = QRegularExpression::escape(wanted[i]).replace(QLatin1String("\\%n"), QLatin1String("[0-9.]+"));
        actual[i] = QRegularExpression('^' + pattern + '$').match(actual[i]).hasMatch() ? wanted[i] : actual[i];
    }
    return actual;
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
