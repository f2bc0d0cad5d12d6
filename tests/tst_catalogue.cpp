// The catalogue as the window reads it from a real server, and the product
// and version selection it drives, observed through the widgets and through
// the paths that the file actions hand to the desktop.

#include "application_proxy.h"
#include "local_http_server.h"
#include "message_box_recorder.h"
#include "temporary_home.h"
#include "tovik_all_in_one.h"
#include "window_driver.h"

#include <QComboBox>
#include <QNetworkAccessManager>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

Q_DECLARE_METATYPE(HttpResponse)

namespace {

const QByteArray CatalogueTarget = QByteArray("http://update.tovik.vn") + CataloguePath;

QStringList itemsOf(const QComboBox *box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

} // namespace

class CatalogueTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void listing_data();
    void listing();
    void sendsOneBareRequest();
    void versionChangeRuns_data();
    void versionChangeRuns();
    void productSwitchFirstReadsThePreviousProduct();
    void buttonsFollowTheDisk_data();
    void buttonsFollowTheDisk();
    void productWithoutVersionsEmptiesTheChanges();
    void productsSharingAVersionShareItsFolder();
    void changeListShowsMarkupLiterally();

private:
    void load(const HttpResponse &catalogue);
    void loadJson(const QByteArray &json) { load(HttpResponse::content(json, "text/plain")); }
    QComboBox *names() const { return window->findChild<QComboBox *>(QStringLiteral("cbName")); }
    QComboBox *versions() const { return window->findChild<QComboBox *>(QStringLiteral("cbVer")); }
    QPlainTextEdit *changes() const { return window->findChild<QPlainTextEdit *>(); }
    QPushButton *button(const char *name) const { return window->findChild<QPushButton *>(QLatin1String(name)); }
    QString versionFolder(const QString &version) const { return home->path() + QStringLiteral("/TovikAIO/Files/") + version; }

    LocalHttpServer server;
    std::unique_ptr<TemporaryHome> home;
    std::unique_ptr<Tovik_all_in_one> window;
    std::unique_ptr<MessageBoxRecorder> boxes;
};

void CatalogueTest::initTestCase()
{
    qRegisterMetaType<QNetworkReply *>();
    QVERIFY(server.listen());
    routeApplicationThrough(server);
}

void CatalogueTest::init()
{
    home = std::make_unique<TemporaryHome>();
    boxes = std::make_unique<MessageBoxRecorder>();
    server.clearRoutes();
    server.clearRequests();
}

void CatalogueTest::cleanup()
{
    window.reset();
    QCOMPARE(boxes->count(), 0); // catalogue and selection problems are silent
    boxes.reset();
    home.reset();
}

// Builds the window with this catalogue on the server and returns once the
// window has read the reply.
void CatalogueTest::load(const HttpResponse &catalogue)
{
    server.serve(CataloguePath, catalogue);
    window = std::make_unique<Tovik_all_in_one>();
    QVERIFY(waitForCatalogue(window.get()));
}

void CatalogueTest::listing_data()
{
    QTest::addColumn<HttpResponse>("catalogue");
    QTest::addColumn<QStringList>("products");
    QTest::addColumn<QStringList>("firstProductVersions");

    auto json = [](const QByteArray &body) { return HttpResponse::content(body, "text/plain"); };
    const QStringList none;
    QTest::newRow("ordinal names") << json(R"({"b":{},"A":{},"a":{}})") << QStringList{"A", "a", "b"} << none;
    QTest::newRow("scalar products") << json(R"({"n":1,"s":"x","t":true})") << QStringList{"n", "s", "t"} << none;
    QTest::newRow("a product named data")
        << json(R"({"data":{"data":{"1.0":{"active":true}}}})") << QStringList{"data"} << QStringList{"1.0"};
    QTest::newRow("empty body") << json("") << none << none;
    QTest::newRow("array") << json(R"([{"a":{}}])") << none << none;
    QTest::newRow("trailing garbage") << json(R"({"a":{}} x)") << none << none;
    QTest::newRow("NUL after the object") << json(QByteArray("{\"a\":{}}\0{garbage", 17)) << QStringList{"a"} << none;
    QTest::newRow("byte-order mark") << json("\xEF\xBB\xBF{\"Ph\xE1\xBA\xA7n\":{}}") << QStringList{"Phần"} << none;
    QTest::newRow("only boolean true is active")
        << json(R"({"P":{"data":{"1":{"active":"true"},"2":{"active":1},"3":{"active":true},"4":{"active":null},"5":{"Active":true},"6":7}}})")
        << QStringList{"P"} << QStringList{"3"};
    QTest::newRow("ordinal versions")
        << json(R"({"P":{"data":{"2.0":{"active":false},"1.9":{"active":true},"1.10":{"active":true}}}})")
        << QStringList{"P"} << QStringList{"1.10", "1.9"};
    QTest::newRow("duplicate names, the later wins")
        << json(R"({"P":{"data":{"1.0":{"active":true}}},"P":{"data":{"2.0":{"active":true}}}})")
        << QStringList{"P"} << QStringList{"2.0"};
    QTest::newRow("data that is not an object") << json(R"({"P":{"data":[1]}})") << QStringList{"P"} << none;
    QTest::newRow("error status with a JSON body") << HttpResponse::error(404, R"({"x":{}})") << QStringList{"x"} << none;
    QTest::newRow("error status with a page") << HttpResponse::error(500, "<h1>oops</h1>") << none << none;
    QTest::newRow("cut short") << HttpResponse::cutShort(R"({"a":{)", 100) << none << none;
    QTest::newRow("chunked") << HttpResponse::chunked(R"({"a":{},"b":{}})", 3) << QStringList{"a", "b"} << none;
}

void CatalogueTest::listing()
{
    QFETCH(HttpResponse, catalogue);
    QFETCH(QStringList, products);
    QFETCH(QStringList, firstProductVersions);

    load(catalogue);
    QCOMPARE(itemsOf(names()), products);
    QCOMPARE(names()->currentIndex(), products.isEmpty() ? -1 : 0);
    QCOMPARE(itemsOf(versions()), firstProductVersions);
    QCOMPARE(versions()->currentIndex(), firstProductVersions.size() - 1);

    QTest::qWait(200);
    QCOMPARE(server.requests().size(), 1); // never retried
}

void CatalogueTest::sendsOneBareRequest()
{
    loadJson("{}");
    const RecordedRequest request = server.requests().value(0);
    QCOMPARE(request.method, QByteArray("GET"));
    QCOMPARE(request.target, CatalogueTarget);
    // Only the headers the network library itself sends.
    const QList<QByteArray> libraryHeaders = {"host", "connection", "proxy-connection", "accept-encoding",
                                              "accept-language", "user-agent"};
    for (const auto &header : request.headers)
        QVERIFY2(libraryHeaders.contains(header.first.toLower()), header.first.constData());

    // An unreachable server: nothing listed, and no second attempt.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    ApplicationProxy unreachable(closed.serverPort());
    closed.close();
    window = std::make_unique<Tovik_all_in_one>();
    QSignalSpy finished(window->findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    QVERIFY(finished.wait(10000));
    QCOMPARE(names()->count(), 0);
    QTest::qWait(200);
    QCOMPARE(finished.size(), 1);
}

void CatalogueTest::versionChangeRuns_data()
{
    QTest::addColumn<QByteArray>("catalogue");
    QTest::addColumn<QStringList>("shownChanges"); // one entry per version change

    QTest::newRow("two versions") << QByteArray(R"({"P":{"data":{"1.9":{"active":true,"changelist":"nine"},"1.10":{"active":true,"changelist":"ten"}}}})")
                                  << QStringList{"ten", "nine"};
    QTest::newRow("one version") << QByteArray(R"({"P":{"data":{"1.0":{"active":true,"changelist":"one"}}}})")
                                 << QStringList{"one"};
    QTest::newRow("no version") << QByteArray(R"({"P":{"data":{"1.0":{"active":false,"changelist":"x"}}}})")
                                << QStringList{};
}

void CatalogueTest::versionChangeRuns()
{
    QFETCH(QByteArray, catalogue);
    QFETCH(QStringList, shownChanges);

    // Each version change sets the change list once: count them as it loads.
    server.serve(CataloguePath, HttpResponse::content(catalogue));
    window = std::make_unique<Tovik_all_in_one>();
    QStringList shown;
    connect(changes(), &QPlainTextEdit::textChanged, this, [&] { shown.append(changes()->toPlainText()); });
    QVERIFY(waitForCatalogue(window.get()));
    QCOMPARE(shown, shownChanges);
}

void CatalogueTest::productSwitchFirstReadsThePreviousProduct()
{
    // The previous product has a version named "": the empty-name change of
    // a switch shows it, which proves it still reads the previous product.
    loadJson(R"({"A":{"data":{"":{"active":false,"changelist":"old product"},"1":{"active":true,"changelist":"a1"}}},
                 "B":{"data":{"1":{"active":true,"changelist":"b1"},"2":{"active":true,"changelist":"b2"}}}})");
    QStringList shown;
    connect(changes(), &QPlainTextEdit::textChanged, this, [&] { shown.append(changes()->toPlainText()); });
    names()->setCurrentIndex(1);
    QCOMPARE(shown, (QStringList{"old product", "b1", "b2"}));
    QCOMPARE(versions()->currentText(), QStringLiteral("2"));
}

void CatalogueTest::buttonsFollowTheDisk_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QStringList>("onDisk"); // relative to the version folder; "" is the folder itself
    QTest::addColumn<bool>("openEnabled");
    QTest::addColumn<bool>("installEnabled");
    QTest::addColumn<QString>("installedFile");

    const QString link = QStringLiteral("http://files.example/dl/setup.exe");
    QTest::newRow("nothing on disk") << link << QStringList{} << false << false << QString();
    QTest::newRow("folder only") << link << QStringList{""} << true << false << QString();
    QTest::newRow("folder and file") << link << QStringList{"", "setup.exe"} << true << true << "setup.exe";
    QTest::newRow("decoded name, no query")
        << QStringLiteral("http://files.example/a%20b/T%E1%BB%91i%20%C6%B0u.exe?name=x.exe#y.exe")
        << QStringList{"", "Tối ưu.exe"} << true << true << "Tối ưu.exe";
    QTest::newRow("link ending in a slash, folder present") << QStringLiteral("http://files.example/dl/")
                                                            << QStringList{""} << true << true << "";
    QTest::newRow("link ending in a slash, nothing on disk") << QStringLiteral("http://files.example/dl/")
                                                             << QStringList{} << false << false << QString();
    QTest::newRow("no link") << QString() << QStringList{""} << true << true << "";
}

void CatalogueTest::buttonsFollowTheDisk()
{
    QFETCH(QString, link);
    QFETCH(QStringList, onDisk);
    QFETCH(bool, openEnabled);
    QFETCH(bool, installEnabled);
    QFETCH(QString, installedFile);

    const QString folder = versionFolder(QStringLiteral("1.0"));
    for (const QString &entry : onDisk) {
        if (entry.isEmpty())
            QVERIFY(QDir().mkpath(folder));
        else
            QVERIFY(home->writeFile(QStringLiteral("TovikAIO/Files/1.0/") + entry, "old"));
    }
    QJsonObject version{{"active", true}, {"changelist", "c"}};
    if (!link.isNull())
        version.insert(QStringLiteral("downloadlink"), link);
    const QJsonObject catalogue{{"P", QJsonObject{{"data", QJsonObject{{"1.0", version}}}}}};
    loadJson(QJsonDocument(catalogue).toJson());

    QCOMPARE(button("btnOpen")->isEnabled(), openEnabled);
    QCOMPARE(button("btnInstall")->isEnabled(), installEnabled);
    QVERIFY(button("btnDownload")->isEnabled());

    DesktopRequests desktop;
    QTest::mouseClick(button("btnOpen"), Qt::LeftButton);
    QTest::mouseClick(button("btnInstall"), Qt::LeftButton);
    QList<QUrl> expected{QUrl(folder, QUrl::TolerantMode)};
    if (installEnabled)
        expected.append(QUrl::fromLocalFile(folder + QLatin1Char('/') + installedFile));
    if (!openEnabled)
        expected.clear();
    QCOMPARE(desktop.urls, expected);
}

void CatalogueTest::productWithoutVersionsEmptiesTheChanges()
{
    QVERIFY(QDir().mkpath(versionFolder(QString())));
    loadJson(R"({"A":{"data":{"1":{"active":true,"changelist":"a1","downloadlink":"http://h/f.exe"}}},"B":5})");
    QCOMPARE(changes()->toPlainText(), QStringLiteral("a1"));
    QVERIFY(!button("btnOpen")->isEnabled());

    names()->setCurrentIndex(1);
    QCOMPARE(versions()->count(), 0);
    QCOMPARE(changes()->toPlainText(), QString());
    // The folder is now the downloads folder itself, which exists.
    QVERIFY(button("btnOpen")->isEnabled());
    QVERIFY(button("btnInstall")->isEnabled());
    DesktopRequests desktop;
    QTest::mouseClick(button("btnOpen"), Qt::LeftButton);
    QCOMPARE(desktop.urls.value(0).path(), home->path() + QStringLiteral("/TovikAIO/Files/"));
}

void CatalogueTest::productsSharingAVersionShareItsFolder()
{
    QVERIFY(home->writeFile(QStringLiteral("TovikAIO/Files/1.0/setup.exe"), "x"));
    loadJson(R"({"A":{"data":{"1.0":{"active":true,"downloadlink":"http://a/setup.exe"}}},
                 "B":{"data":{"1.0":{"active":true,"downloadlink":"http://b/other/setup.exe"}}}})");
    QVERIFY(button("btnInstall")->isEnabled());
    names()->setCurrentIndex(1);
    QVERIFY(button("btnInstall")->isEnabled());
}

void CatalogueTest::changeListShowsMarkupLiterally()
{
    loadJson(R"({"P":{"data":{"1":{"active":true,"changelist":"<b>Mới</b>\n<i>2</i> &amp;"}}}})");
    QCOMPARE(changes()->toPlainText(), QStringLiteral("<b>Mới</b>\n<i>2</i> &amp;"));
    QCOMPARE(changes()->document()->blockCount(), 2);
}

QTEST_MAIN(CatalogueTest)
#include "tst_catalogue.moc"
