// Hostile catalogue entries and hostile servers, one table row each, with
// the whole outcome checked: what the user is told, every file and folder
// under a sandbox that holds the home folder, an earlier good file left as
// it was, the requests that went out, and an idle window afterwards.

#include "local_http_server.h"
#include "message_box_recorder.h"
#include "response_stream.h"
#include "tovik_all_in_one.h"
#include "window_driver.h"
#include "window_fixture.h"

#include <QComboBox>
#include <QDirIterator>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QNetworkProxyFactory>
#include <QProgressBar>
#include <QPushButton>
#include <QSslKey>
#include <QSslSocket>
#include <QStatusBar>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

Q_DECLARE_METATYPE(HttpResponse)

namespace {

using Routes = QList<QPair<QByteArray, HttpResponse>>;
using Files = QMap<QString, QByteArray>; // path relative to the sandbox -> content

const QString FileLink = QStringLiteral("http://files.example/dl/setup.exe");
const QString Downloads = QStringLiteral("home/user/TovikAIO/Files/");
const QString EarlierPath = Downloads + QStringLiteral("1.0/setup.exe");
const QByteArray EarlierFile = "the earlier, good copy";
const qint64 FiveGigabytes = 5LL * 1024 * 1024 * 1024;

const QString LinkNotFound = QStringLiteral("Không tìm thấy link file download.");
const QString CannotSave = QStringLiteral("Không lưu được file, kiểm tra lại thư mục tải.");
const QString Interrupted = QStringLiteral("Tải về bị gián đoạn, file chưa được lưu.");
const QString Cancelled = QStringLiteral("Đã hủy tải về.");
const QString CancelledStatus = QStringLiteral("Tiến trình tải đã hủy.");

enum Stop { NoStop, StopAfterHeaders, StopAfterProgress };

// A root folder that holds the home folder two levels down, so that a path
// climbing out of the downloads folder still lands where the test looks.
class Sandbox
{
public:
    Sandbox()
        : m_previousHome(qgetenv("HOME"))
    {
        QDir().mkpath(home());
        qputenv("HOME", QFile::encodeName(home()));
    }
    ~Sandbox() { qputenv("HOME", m_previousHome); }

    QString home() const { return m_root.filePath(QStringLiteral("home/user")); }
    bool write(const QString &relativePath, const QByteArray &content) const
    {
        const QString path = m_root.filePath(relativePath);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    }
    Files files() const
    {
        Files found;
        for (const QString &path : entries(QDir::Files)) {
            QFile file(m_root.filePath(path));
            found.insert(path, file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>"));
        }
        return found;
    }
    QStringList folders() const { return entries(QDir::Dirs); }

private:
    QStringList entries(QDir::Filters kind) const
    {
        QDirIterator it(m_root.path(), kind | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        const QDir root(m_root.path());
        QStringList found;
        while (it.hasNext())
            found.append(root.relativeFilePath(it.next()));
        found.sort();
        return found;
    }

    QTemporaryDir m_root;
    QByteArray m_previousHome;
};

// Plain HTTP goes through the local server as its proxy; HTTPS goes
// straight to the loopback TLS server named in the link.
class LoopbackRouting : public QNetworkProxyFactory
{
public:
    explicit LoopbackRouting(quint16 httpProxyPort)
        : m_proxy(QNetworkProxy::HttpProxy, QStringLiteral("127.0.0.1"), httpProxyPort)
    {
    }
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override
    {
        if (query.protocolTag() == QLatin1String("http"))
            return {m_proxy};
        return {QNetworkProxy(QNetworkProxy::NoProxy)};
    }

private:
    QNetworkProxy m_proxy;
};

// Lowers the largest file this process may write, as a full disk would
// stop it; writes past it fail with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes)
    {
        if (bytes <= 0 || getrlimit(RLIMIT_FSIZE, &m_saved) != 0)
            return;
        rlimit lowered = m_saved;
        lowered.rlim_cur = rlim_t(bytes); // the hard limit stays, so this can be undone
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        m_active = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        if (!m_active)
            return;
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    bool isActive() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_previousHandler)(int) = SIG_DFL;
    bool m_active = false;
};

} // namespace

// An HTTPS server on loopback with a self-signed certificate that the test
// makes the application trust. It answers one scripted response per path.
class LoopbackTlsServer : public QTcpServer
{
    Q_OBJECT
public:
    bool start()
    {
        QFile cert(QStringLiteral(TOVIK_TEST_DATA "/loopback-tls.crt"));
        QFile key(QStringLiteral(TOVIK_TEST_DATA "/loopback-tls.key"));
        if (!cert.open(QIODevice::ReadOnly) || !key.open(QIODevice::ReadOnly))
            return false;
        certificate = QSslCertificate(&cert, QSsl::Pem);
        privateKey = QSslKey(&key, QSsl::Rsa, QSsl::Pem);
        return !certificate.isNull() && !privateKey.isNull() && listen(QHostAddress::LocalHost);
    }
    QString url(const QString &path) const
    {
        return QStringLiteral("https://127.0.0.1:%1%2").arg(serverPort()).arg(path);
    }

    QSslCertificate certificate;
    QSslKey privateKey;
    QHash<QByteArray, HttpResponse> routes;
    QList<QByteArray> requestedPaths;

protected:
    void incomingConnection(qintptr descriptor) override
    {
        auto *socket = new QSslSocket(this);
        if (!socket->setSocketDescriptor(descriptor)) {
            delete socket;
            return;
        }
        socket->setLocalCertificate(certificate);
        socket->setPrivateKey(privateKey);
        connect(socket, &QSslSocket::readyRead, this, [this, socket] {
            QByteArray &head = m_heads[socket];
            head.append(socket->readAll());
            const int end = head.indexOf("\r\n\r\n");
            if (end < 0 || socket->property("answered").toBool())
                return;
            socket->setProperty("answered", true);
            const QByteArray path = head.split(' ').value(1);
            requestedPaths.append(path);
            (new ResponseStream(socket, routes.value(path, HttpResponse::error(404, "Not Found\n"))))->start();
        });
        connect(socket, &QSslSocket::disconnected, this, [this, socket] {
            m_heads.remove(socket);
            socket->deleteLater();
        });
        socket->startServerEncryption();
    }

private:
    QHash<QSslSocket *, QByteArray> m_heads; // request heads as they arrive
};

class HostileTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void attack_data();
    void attack();
    void oversizedCatalogue_data();
    void oversizedCatalogue();
    void folderActionOpensTheVersionFolder_data();
    void folderActionOpensTheVersionFolder();

private:
    LoopbackTlsServer tlsServer;
    std::unique_ptr<Sandbox> sandbox;
};

void HostileTest::initTestCase()
{
    qRegisterMetaType<QNetworkReply *>();
    QVERIFY(QSslSocket::supportsSsl());
    QVERIFY(server.listen());
    QVERIFY(tlsServer.start());
    QNetworkProxyFactory::setApplicationProxyFactory(new LoopbackRouting(server.port()));
    QSslConfiguration trusted = QSslConfiguration::defaultConfiguration();
    trusted.setCaCertificates({tlsServer.certificate});
    QSslConfiguration::setDefaultConfiguration(trusted);
}

void HostileTest::init()
{
    startTest();
    tlsServer.routes.clear();
    tlsServer.requestedPaths.clear();
    sandbox = std::make_unique<Sandbox>();
}

void HostileTest::cleanup()
{
    endTest();
    sandbox.reset();
}

void HostileTest::attack_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("link");
    QTest::addColumn<Routes>("routes");       // on the plain HTTP server
    QTest::addColumn<Routes>("tlsRoutes");    // on the HTTPS server
    QTest::addColumn<qint64>("fileSizeLimit"); // 0: none
    QTest::addColumn<int>("stop");             // when the user presses stop
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<QStringList>("requests"); // distinct download requests, through the proxy
    QTest::addColumn<int>("tlsRequests");
    QTest::addColumn<Files>("files");          // everything in the sandbox afterwards

    const QByteArray body = HttpResponse::patternBytes(0, 700 * 1024);
    const QByteArray part = body.left(100 * 1024);
    const Routes good{{"/dl/setup.exe", HttpResponse::content(body)}};
    const Files untouched{{EarlierPath, EarlierFile}};
    const Files replaced{{EarlierPath, body}};
    const QStringList none;
    const QStringList once{"GET " + FileLink};
    const int critical = QMessageBox::Critical;
    const QString done = QStringLiteral("setup.exe tải về hoàn tất");

    // A name that would leave the downloads folder or cannot exist on
    // Windows: refused at the click, before any request or folder.
    auto refusedVersion = [&](const char *name, const QString &version) {
        QTest::newRow(name) << version << FileLink << good << Routes{} << qint64(0) << int(NoStop)
                            << critical << CannotSave << CannotSave << none << 0 << untouched;
    };
    refusedVersion("version ../../x", QStringLiteral("../../x"));
    refusedVersion("version 1.0/../../x", QStringLiteral("1.0/../../x"));
    refusedVersion("version ..\\..\\x", QStringLiteral("..\\..\\x"));
    refusedVersion("version /etc", QStringLiteral("/etc"));
    refusedVersion("version C:\\x", QStringLiteral("C:\\x"));
    refusedVersion("version .", QStringLiteral("."));
    refusedVersion("version ..", QStringLiteral(".."));
    refusedVersion("version CON", QStringLiteral("CON"));
    refusedVersion("version lpt9.txt", QStringLiteral("lpt9.txt"));
    refusedVersion("version 1.0/nul", QStringLiteral("1.0/nul"));
    refusedVersion("version a:b", QStringLiteral("a:b"));
    refusedVersion("version with a trailing dot", QStringLiteral("1.0."));
    refusedVersion("version with a trailing space", QStringLiteral("1.0 "));
    refusedVersion("version with a newline", QStringLiteral("1.0\n"));
    refusedVersion("version with an escape sequence", QStringLiteral("\x1b[31m1.0"));
    refusedVersion("version with DEL", QStringLiteral("1.0\x7f"));
    refusedVersion("version 1.0//2", QStringLiteral("1.0//2"));

    // Longer than any file system takes as one name: the folder cannot be
    // made, and the transfer stops at its first bytes.
    QTest::newRow("version of 300 characters")
        << QString(300, QLatin1Char('v')) << FileLink << good << Routes{} << qint64(0) << int(NoStop)
        << critical << CannotSave << CannotSave << once << 0 << untouched;

    auto refusedLink = [&](const char *name, const QString &link, const QString &message) {
        QTest::newRow(name) << QStringLiteral("1.0") << link << good << Routes{} << qint64(0) << int(NoStop)
                            << critical << message << message << none << 0 << untouched;
    };
    refusedLink("file: link", QStringLiteral("file:///etc/passwd"), LinkNotFound);
    refusedLink("data: link", QStringLiteral("data:application/octet-stream;base64,TVqQAAMAAAAEAAAA"), LinkNotFound);
    refusedLink("qrc: link", QStringLiteral("qrc:/Icons/TovikAIO.png"), LinkNotFound);
    refusedLink("http link without a host", QStringLiteral("http:///dl/setup.exe"), LinkNotFound);
    refusedLink("escaped backslashes", QStringLiteral("http://files.example/dl/..%5C..%5Cevil.exe"), CannotSave);
    refusedLink("escaped dot-dot", QStringLiteral("http://files.example/dl/%2E%2E"), CannotSave);
    refusedLink("escaped NUL", QStringLiteral("http://files.example/dl/setup.exe%00.txt"), CannotSave);
    refusedLink("escaped colon", QStringLiteral("http://files.example/dl/C%3Aevil.exe"), CannotSave);

    // Names that stay inside the version folder whatever the link says.
    auto saved = [&](const char *name, const QString &link, const Routes &routes, const QString &request,
                     const QString &savedName, const Files &files) {
        QTest::newRow(name) << QStringLiteral("1.0") << link << routes << Routes{} << qint64(0) << int(NoStop)
                            << int(QMessageBox::Information) << savedName + QStringLiteral(" tải về hoàn tất")
                            << savedName + QStringLiteral(" tải về hoàn tất ...") << QStringList{request} << 0 << files;
    };
    saved("escaped slashes", QStringLiteral("http://files.example/dl/..%2F..%2Fevil.exe"),
          {{"/dl/..%2F..%2Fevil.exe", HttpResponse::content(body)}},
          QStringLiteral("GET http://files.example/dl/..%2F..%2Fevil.exe"), QStringLiteral("evil.exe"),
          {{EarlierPath, EarlierFile}, {Downloads + QStringLiteral("1.0/evil.exe"), body}});
    saved("query that names another file", QStringLiteral("http://files.example/dl/setup.exe?name=..%2F..%2Fevil.exe"),
          good, QStringLiteral("GET http://files.example/dl/setup.exe?name=..%2F..%2Fevil.exe"),
          QStringLiteral("setup.exe"), replaced);
    saved("fragment that names another file", QStringLiteral("http://files.example/dl/setup.exe#/../../evil.exe"),
          good, "GET " + FileLink, QStringLiteral("setup.exe"), replaced);
    HttpResponse disposition = HttpResponse::content(body);
    disposition.headers.append(qMakePair(QByteArray("Content-Disposition"), QByteArray("attachment; filename=\"../../evil.exe\"")));
    saved("server that names another file", FileLink, {{"/dl/setup.exe", disposition}},
          "GET " + FileLink, QStringLiteral("setup.exe"), replaced);

    // Servers that answer with something other than the file.
    auto answered = [&](const char *name, const Routes &routes, int kind, const QString &message,
                      const QStringList &requests) {
        QTest::newRow(name) << QStringLiteral("1.0") << FileLink << routes << Routes{} << qint64(0) << int(NoStop)
                            << kind << message << message << requests << 0 << untouched;
    };
    for (int status : {403, 404, 500, 503}) {
        const QByteArray page = "<html><body>" + QByteArray::number(status) + " " + QByteArray(4096, 'x') + "</body></html>";
        answered(qPrintable(QStringLiteral("status %1 with a page").arg(status)),
               {{"/dl/setup.exe", HttpResponse::error(status, page)}}, critical, LinkNotFound, once);
    }
    answered("redirect loop", {{"/dl/setup.exe", HttpResponse::redirect(302, "/dl/again.exe")},
                             {"/dl/again.exe", HttpResponse::redirect(301, FileLink.toLatin1())}},
           critical, LinkNotFound, {"GET " + FileLink, QStringLiteral("GET http://files.example/dl/again.exe")});
    answered("redirect to a file: URL", {{"/dl/setup.exe", HttpResponse::redirect(302, "file:///etc/passwd")}},
           critical, LinkNotFound, once);
    answered("not HTTP at all", {{"/dl/setup.exe", HttpResponse::rawBytes("SSH-2.0-OpenSSH\r\n" + part)}},
           critical, LinkNotFound, once);
    answered("5 GB announced, then closed", {{"/dl/setup.exe", HttpResponse::cutShort(part, FiveGigabytes)}},
           critical, Interrupted, once);
    answered("closed mid-body, with a length", {{"/dl/setup.exe", HttpResponse::cutShort(part, body.size())}},
           critical, Interrupted, once);
    answered("closed mid-body, chunked", {{"/dl/setup.exe", HttpResponse::chunkedCutShort(part, 4096)}},
           critical, Interrupted, once);
    HttpResponse badGzip = HttpResponse::content(part);
    badGzip.headers.append(qMakePair(QByteArray("Content-Encoding"), QByteArray("gzip")));
    answered("gzip that is not gzip", {{"/dl/setup.exe", badGzip}}, critical, LinkNotFound, once);

    QTest::newRow("5 GB announced, the user stops")
        << QStringLiteral("1.0") << FileLink
        << Routes{{"/dl/setup.exe", HttpResponse::generated(FiveGigabytes).throttled(16 * 1024, 20)}} << Routes{}
        << qint64(0) << int(StopAfterProgress) << int(QMessageBox::Warning) << Cancelled << CancelledStatus
        << once << 0 << untouched;
    QTest::newRow("stall after the headers, the user stops")
        << QStringLiteral("1.0") << FileLink << Routes{{"/dl/setup.exe", HttpResponse::stall(body.size())}} << Routes{}
        << qint64(0) << int(StopAfterHeaders) << int(QMessageBox::Warning) << Cancelled << CancelledStatus
        << once << 0 << untouched;
    QTest::newRow("disk full")
        << QStringLiteral("1.0") << FileLink << Routes{{"/dl/setup.exe", HttpResponse::generated(4 * 1024 * 1024)}}
        << Routes{} << qint64(256 * 1024) << int(NoStop) << critical << CannotSave << CannotSave << once << 0 << untouched;

    // An HTTPS link may move to another HTTPS address, never to plain HTTP,
    // where anyone on the path could swap the file.
    const QString secureLink = tlsServer.url(QStringLiteral("/dl/setup.exe"));
    QTest::newRow("https redirects to http")
        << QStringLiteral("1.0") << secureLink << good
        << Routes{{"/dl/setup.exe", HttpResponse::redirect(302, FileLink.toLatin1())}} << qint64(0) << int(NoStop)
        << critical << LinkNotFound << LinkNotFound << none << 1 << untouched;
    QTest::newRow("https redirects to https")
        << QStringLiteral("1.0") << secureLink << good
        << Routes{{"/dl/setup.exe", HttpResponse::redirect(302, "/mirror/setup.exe")},
                  {"/mirror/setup.exe", HttpResponse::content(body)}}
        << qint64(0) << int(NoStop) << int(QMessageBox::Information) << done << done + QStringLiteral(" ...")
        << none << 2 << replaced;
}

void HostileTest::attack()
{
    QFETCH(QString, version);
    QFETCH(QString, link);
    QFETCH(Routes, routes);
    QFETCH(Routes, tlsRoutes);
    QFETCH(qint64, fileSizeLimit);
    QFETCH(int, stop);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, statusText);
    QFETCH(QStringList, requests);
    QFETCH(int, tlsRequests);
    QFETCH(Files, files);

    QVERIFY(sandbox->write(EarlierPath, EarlierFile));
    const QStringList foldersBefore = sandbox->folders();
    load(version, link);
    for (const auto &route : routes)
        server.serve(route.first, route.second);
    for (const auto &route : tlsRoutes)
        tlsServer.routes.insert(route.first, route.second);

    {
        FileSizeLimit limit(fileSizeLimit);
        QVERIFY(limit.isActive() == (fileSizeLimit > 0));
        clickDownload();
        if (stop != NoStop) {
            auto *reply = window->findChildren<QNetworkAccessManager *>().last()->findChild<QNetworkReply *>();
            QVERIFY(reply);
            if (stop == StopAfterHeaders) {
                QTRY_VERIFY(reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid());
            } else {
                // Counts past 32 bits are scaled down for the bar, together.
                QTRY_VERIFY(bar()->isVisible() && bar()->value() > 0);
                QCOMPARE(bar()->maximum(), int(FiveGigabytes >> 2));
                QVERIFY(label("lbl_Total")->text().endsWith(QStringLiteral(" MB/5120.0 MB")));
            }
            QCOMPARE(boxes->count(), 0);
            clickDownload();
        }
        QVERIFY(boxes->waitForBoxes(1, 20000));
    }
    // Over once the window is idle and every connection of the transfer is closed.
    QTRY_COMPARE(button("btnDownload")->text(), QStringLiteral("  Tải về"));
    QTRY_COMPARE(server.openConnections(), 0);

    QCOMPARE(boxes->count(), 1);
    const RecordedBox box = boxes->boxes().first();
    QCOMPARE(int(box.icon), kind);
    QCOMPARE(box.title, kind == QMessageBox::Information ? QStringLiteral("Thông báo") : QStringLiteral("Lỗi"));
    QCOMPARE(box.text, text);
    QCOMPARE(box.parent.data(), window.get());
    QCOMPARE(status(), statusText);
    QStringList distinctRequests = downloadRequests(); // a redirect loop asks many times
    distinctRequests.removeDuplicates();
    QCOMPARE(distinctRequests, requests);
    QCOMPARE(tlsServer.requestedPaths.size(), tlsRequests);
    QCOMPARE(sandbox->files(), files); // nothing else anywhere, no temporary file
    QCOMPARE(sandbox->folders(), foldersBefore);
    verifyIdle();
}

void HostileTest::oversizedCatalogue_data()
{
    QTest::addColumn<HttpResponse>("catalogue");
    QTest::addColumn<QStringList>("products");

    // Paced so that a client reading all of it would still be reading when
    // the wait below gives up: finishing at all means it was cut off.
    HttpResponse announced = HttpResponse::generated(FiveGigabytes).throttled(64 * 1024, 10);
    HttpResponse chunked = announced;
    chunked.framing = HttpResponse::Framing::Chunked;
    HttpResponse unframed = announced;
    unframed.framing = HttpResponse::Framing::CloseDelimited;
    unframed.bytesPerTick = 1024 * 1024;
    const QByteArray notes(1024 * 1024, 'n');
    QTest::newRow("5 GB announced") << announced << QStringList();
    QTest::newRow("endless chunks") << chunked << QStringList();
    QTest::newRow("endless, no length") << unframed << QStringList();
    QTest::newRow("large but real") << HttpResponse::content("{\"P\":{\"data\":{\"1.0\":{\"changelist\":\"" + notes + "\"}}}}")
                                    << QStringList{"P"};
}

void HostileTest::oversizedCatalogue()
{
    QFETCH(HttpResponse, catalogue);
    QFETCH(QStringList, products);

    server.serve(CataloguePath, catalogue);
    window = std::make_unique<Tovik_all_in_one>();
    QSignalSpy finished(window->findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    QVERIFY(finished.wait(20000));
    auto *names = window->findChild<QComboBox *>(QStringLiteral("cbName"));
    QStringList listed;
    for (int i = 0; i < names->count(); ++i)
        listed.append(names->itemText(i));
    QCOMPARE(listed, products);
    QTRY_COMPARE(server.openConnections(), 0);
    QCOMPARE(boxes->count(), 0);
    QCOMPARE(sandbox->files(), Files());
}

void HostileTest::folderActionOpensTheVersionFolder_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("asLocalFile"); // or as the folder's text read as an address

    QTest::newRow("plain") << "1.0" << false;
    QTest::newRow("nested") << "2.0/x64" << false;
    QTest::newRow("escaped dots") << "%2E%2E" << true; // found by the fuzzer's folder check
    QTest::newRow("escaped slashes and dots") << "%2E%2E%2F%2E%2E" << true;
    QTest::newRow("fragment") << "3.0#beta" << true;
    QTest::newRow("query") << "4.0?rc" << true;
    QTest::newRow("percent sign") << "2.0 (50%)" << true;
}

void HostileTest::folderActionOpensTheVersionFolder()
{
    QFETCH(QString, version);
    QFETCH(bool, asLocalFile);

    QVERIFY(sandbox->write(Downloads + version + QStringLiteral("/setup.exe"), EarlierFile));
    load(version, FileLink);
    QVERIFY(button("btnOpen")->isEnabled());
    DesktopRequests desktop;
    QTest::mouseClick(button("btnOpen"), Qt::LeftButton);
    QCOMPARE(desktop.urls.size(), 1);
    const QUrl url = desktop.urls.first();
    const QString folder = sandbox->home() + QStringLiteral("/TovikAIO/Files/") + version;
    QCOMPARE(url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded), folder);
    QCOMPARE(url, asLocalFile ? QUrl::fromLocalFile(folder) : QUrl(folder, QUrl::TolerantMode));
}

QTEST_MAIN(HostileTest)
#include "tst_hostile.moc"
