// Downloads through the real window from a scripted server, under a home two levels below a
// sandbox so that a path climbing out of it still shows: what the user is told, files, requests.

#include "fixture.h"
#include "tovik_all_in_one.h"

#include <QtTest>
#include <QtWidgets>
#include <csignal>
#include <sys/resource.h>

namespace {
using Routes = QList<QPair<QByteArray, TestServer::Handler>>;
enum Stop { NoStop, OnRequest, OnBytes, OnLost };

const QString Link = QStringLiteral("http://files.example/dl/setup.exe");
const QString Saved = QStringLiteral("h/u/TovikAIO/Files/1.0/setup.exe");
const QByteArray Earlier = "the earlier, good copy";
const QString NotFound = QStringLiteral("Không tìm thấy link file download.");
const QString CannotSave = QStringLiteral("Không lưu được file, kiểm tra lại thư mục tải.");
const QString Interrupted = QStringLiteral("Tải về bị gián đoạn, file chưa được lưu.");
const QString Damaged = QStringLiteral("File tải về bị lỗi (sai mã kiểm tra), file chưa được lưu.");
const QString Lost = QStringLiteral("setup.exe mất kết nối, đang thử lại ...");
const QByteArray Body = pattern(700 * 1024);
const QByteArray ETag = "ETag: \"v1\"\r\n";
const qint64 Drop = 300 * 1024;

Reply cut(const Reply &answer, qint64 bodyBytes, bool stall = false)
{
    return Reply{answer.bytes, answer.bytes.indexOf("\r\n\r\n") + 4 + bodyBytes, stall};
}

Reply partial(qint64 from, const QByteArray &whole, qint64 total, const QByteArray &headers = {})
{
    const QString range = QString("bytes %1-%2/%3").arg(from).arg(total - 1).arg(total);
    return reply(206, whole.mid(int(from)), headers + "Content-Range: " + range.toLatin1() + "\r\n");
}

// Serves `body` with `validator`, a Range with it in If-Range with 206; closes early at `drops`.
TestServer::Handler resumable(const QByteArray &body, QList<qint64> drops, const QByteArray &validator = ETag)
{
    auto left = std::make_shared<QList<qint64>>(drops);
    return [=](const Request &request) {
        const QByteArray range = request.header("Range");
        if (!range.isEmpty() && request.header("If-Range") + "\r\n" != validator.mid(validator.indexOf(' ') + 1))
            return reply(500, "wrong validator");
        const qint64 from = range.isEmpty() ? 0 : range.mid(6, range.indexOf('-') - 6).toLongLong();
        const Reply answer = range.isEmpty() ? reply(200, body, validator) : partial(from, body, body.size(), validator);
        return left->isEmpty() ? answer : cut(answer, left->takeFirst() - from);
    };
}

void limitFileSize(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, RLIM_INFINITY};
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limit), 0); // writes past it fail in the whole process, as on a full disk
}

struct Case
{
    Routes routes;
    QMessageBox::Icon icon = QMessageBox::Information;
    QString text; // empty: the success text
    QByteArray file = Body; // what the saved file holds afterwards
    int requests = 1;
    bool lost = false; // the connection-lost status was shown
    QString version = QStringLiteral("1.0"), link = Link, saved = QStringLiteral("setup.exe");
    QJsonObject extra;
    Stop stop = NoStop;
    rlim_t fileLimit = RLIM_INFINITY;
    Case() = default;
    Case(const Routes &r) : routes(r) {}
    Case(const TestServer::Handler &h) : routes{{"/dl/setup.exe", h}} {}
    Case(const Reply &r) : Case(TestServer::Handler([r](const Request &) { return r; })) {}
    // The first answer drops after `Drop` bytes (or stalls there), `then` answers the rest.
    Case(const Reply &then, bool stall)
        : Case(TestServer::Handler([then, stall, first = std::make_shared<bool>(true)](const Request &) {
            return std::exchange(*first, false) ? cut(reply(200, Body, ETag), Drop, stall) : then;
        }))
    {
    }
    Case &fails(const QString &why, int n = 1, QMessageBox::Icon kind = QMessageBox::Critical)
    {
        std::tie(icon, text, file, requests) = std::make_tuple(kind, why, Earlier, n);
        return *this;
    }
    Case &count(int n, bool connectionLost = true)
    {
        std::tie(requests, lost) = std::make_tuple(n, connectionLost);
        return *this;
    }
    Case &at(const QString &v, const QString &l = Link, const QString &s = "setup.exe")
    {
        std::tie(version, link, saved) = std::make_tuple(v, l, s);
        return *this;
    }
    Case &sha(const QJsonValue &value) { extra.insert(QStringLiteral("sha256"), value); return *this; }
    Case &limit(rlim_t bytes) { fileLimit = bytes; return *this; }
    Case &holding(const QByteArray &bytes) { file = bytes; return *this; }
    Case &stopping(Stop when) { stop = when; return fails(QStringLiteral("Đã hủy tải về."), 1, QMessageBox::Warning); }
};
} // namespace
Q_DECLARE_METATYPE(Case)

class DownloadTest : public Fixture
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void downloads_data();
    void downloads();
};

void DownloadTest::init()
{
    startTest();
    QDir().mkpath(home->filePath("h/u"));
    setHome(home->filePath("h/u"));
}

void DownloadTest::cleanup()
{
    limitFileSize(RLIM_INFINITY);
    endTest();
}

void DownloadTest::downloads_data()
{
    QTest::addColumn<Case>("c");
    const Case good(reply(200, Body));
    for (const char *version : {"1.0/../../x", "..\\..\\x", "CON", "lpt9.txt", "1.0/nul", "1.0.", "1.0 ", "1.0\n"})
        QTest::newRow(version) << Case(good).at(QString::fromUtf8(version)).fails(CannotSave, 0);
    for (const char *link : {"file:///etc/passwd", "file://localhost/etc/passwd", "data:application/octet-stream;base64,TVqQ",
                             "http:///dl/a.exe"})
        QTest::newRow(link) << Case(good).at(QStringLiteral("1.0"), QString::fromUtf8(link)).fails(NotFound, 0);
    for (const char *name : {"..%5C..%5Cevil.exe", "%2E%2E", "C%3Aevil.exe"})
        QTest::newRow(name) << Case(good).at(QStringLiteral("1.0"), "http://a.example/" + QString::fromUtf8(name)).fails(CannotSave, 0);
    const QString escaped = QStringLiteral("http://a.example/dl/..%2F..%2Fevil.exe?name=..%2Fx.exe");
    QTest::newRow("escaped slashes and a query")
        << Case(Routes{{"/dl/..%2F..%2Fevil.exe", good.routes[0].second}}).at(QStringLiteral("1.0"), escaped, "evil.exe");
    for (const QByteArray &to : {QByteArray("/m/setup.exe"), QByteArray("http://mirror.example/m/setup.exe")}) { // resumed there
        const Routes routes{{"/dl/setup.exe", Reply(reply(302, {}, "Location: " + to + "\r\n"))},
                            {"/m/setup.exe", resumable(Body, {1000})}};
        QTest::newRow(to) << Case(routes).count(3);
    }
    QTest::newRow("404 page") << Case(reply(404, "<h1>gone</h1>")).fails(NotFound);
    QTest::newRow("empty body") << Case(reply(200, {})).fails(NotFound);
    QTest::newRow("cut short") << Case(cut(reply(200, Body), 1000)).fails(Interrupted);
    const auto sha256 = [](const QByteArray &bytes) {
        return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
    };
    const QByteArray big = pattern(64 << 20);
    const QByteArray lastModified = "Last-Modified: Sun, 06 Dec 2026 10:00:00 GMT\r\n";
    const QList<qint64> drops{500, (1 << 20) + 7, 20 << 20, 40 << 20, (64 << 20) - 300};
    QTest::newRow("64 MiB, Last-Modified") << Case(resumable(big, drops, lastModified)).sha(sha256(big)).count(6).holding(big);
    QTest::newRow("200 starts over") << Case(reply(200, Body, ETag), false).sha(sha256(Body).toUpper()).count(2);
    QTest::newRow("another total") << Case(partial(Drop, Body, Body.size() + 1), false).fails(Interrupted).count(2);
    QTest::newRow("another ETag") << Case(partial(Drop, Body, Body.size(), "ETag: \"v2\"\r\n"), false).fails(Interrupted).count(2);
    QTest::newRow("another start") << Case(partial(0, Body, Body.size()), false).fails(Interrupted).count(2);
    const QByteArray deflate = ETag + "Accept-Ranges: bytes\r\nContent-Encoding: deflate\r\n";
    QTest::newRow("compressed") << Case(cut(reply(200, qCompress(Body).mid(4), deflate), 1000, true)).fails(Interrupted);
    const QByteArray lengthless = chunked(Body.left(Drop), false).bytes.replace("chunked\r\n", "chunked\r\n" + ETag);
    QTest::newRow("no length") << Case(Reply{lengthless}).fails(Interrupted);
    QTest::newRow("drops at once, for ever") << Case(cut(partial(Drop, Body, Body.size()), 0), false).fails(Interrupted).count(4);
    QTest::newRow("stalls, then resumes") << Case(partial(Drop, Body, Body.size()), true).count(2);
    QTest::newRow("never answers") << Case(Reply{{}, -1, true}).fails(NotFound);
    QTest::newRow("stop, size known") << Case(Reply{reply(200, pattern(8 << 20)).bytes, -1, false, 16 * 1024}).stopping(OnBytes);
    QTest::newRow("stop, size unknown") << Case(Reply{chunked(pattern(8 << 20)).bytes, -1, false, 16 * 1024}).stopping(OnBytes);
    QTest::newRow("stop before any answer") << Case(Reply{{}, -1, true}).stopping(OnRequest);
    QTest::newRow("stop while waiting to retry") << Case(resumable(Body, {Drop})).stopping(OnLost).count(1);
    QTest::newRow("sha256 wrong") << Case(good).sha(sha256(Body + 'x')).fails(Damaged);
    QTest::newRow("sha256 of 63 digits") << Case(good).sha(sha256(Body).left(63)).fails(Damaged, 0);
    const Reply huge{"HTTP/1.1 200 OK\r\nContent-Length: 1125899906842624\r\n\r\n" + Body, -1, true};
    QTest::newRow("1 PiB announced") << Case(huge).fails(CannotSave);
    QTest::newRow("disk full part-way") << Case(good).limit(100 * 1024 + 7).fails(CannotSave);
}

void DownloadTest::downloads()
{
    QFETCH(Case, c);
    const QString target = QFileInfo(Saved).path().replace(QLatin1String("1.0"), c.version) + '/' + c.saved;
    QVERIFY(write(Saved, Earlier));
    open(catalogueWith(c.version, c.link, c.extra));
    for (const auto &route : c.routes)
        server.on(route.first, route.second);
    limitFileSize(c.fileLimit);
    QStringList statuses;
    connect(window->statusBar(), &QStatusBar::messageChanged, window.get(), [&](const QString &message) {
        statuses.append(message);
        if (c.stop != OnLost || message != Lost)
            return;
        QCOMPARE(label("lbl_Speed")->text(), QStringLiteral(": 0.00 Mb/s"));
        QVERIFY(bar()->isVisible() && bar()->value() > 0 && label("lbl_Total")->text() == QStringLiteral(": 0.3 MB/0.7 MB"));
        clickDownload();
        QCOMPARE(boxes.size(), 1);
    });
    clickDownload();
    if (c.stop == OnRequest)
        QTRY_COMPARE(server.requests.size(), 2); // the catalogue's, then the download's
    if (c.stop == OnBytes || c.stop == OnRequest) {
        QTRY_VERIFY(c.stop == OnRequest || QRegularExpression(QStringLiteral("[1-9] MB/(8.0 MB|\\?)$")).match(label("lbl_Total")->text()).hasMatch());
        QCOMPARE(status(), QStringLiteral("setup.exe đang tải ..."));
        QVERIFY(!window->findChild<QComboBox *>(QStringLiteral("cbName"))->isEnabled());
        QNetworkReply *second = reinterpret_cast<QNetworkReply *>(1); // never two transfers at once
        QVERIFY(QMetaObject::invokeMethod(window.get(), "Download", Q_RETURN_ARG(QNetworkReply *, second), Q_ARG(QUrl, QUrl(Link))));
        QCOMPARE(second, nullptr);
        clickDownload();
        QCOMPARE(boxes.size(), 1); // the whole stop runs inside the click
    }
    QVERIFY(waitForBoxes(1));
    QTRY_COMPARE(button("btnDownload")->text(), QStringLiteral("  Tải về"));
    QTest::qWait(50);
    const bool saved = c.icon == QMessageBox::Information;
    const QString text = saved ? c.saved + QStringLiteral(" tải về hoàn tất") : c.text;
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(int(boxes[0].icon), int(c.icon));
    QCOMPARE(boxes[0].title, saved ? QStringLiteral("Thông báo") : QStringLiteral("Lỗi"));
    QCOMPARE(boxes[0].text, text);
    QCOMPARE(status(), saved ? text + QStringLiteral(" ...") : c.stop ? QStringLiteral("Tiến trình tải đã hủy.") : text);
    QCOMPARE(statuses.contains(Lost), c.lost);
    QCOMPARE(server.requests.size() - 1, c.requests); // after the catalogue's
    QCOMPARE(server.requests.last().header("Range").isEmpty(), c.requests == 1 || !c.lost); // a bare GET, then ranges
    QCOMPARE(files(), (saved && target != Saved ? QStringList{target, Saved} : QStringList{Saved})); // no temporary file
    QCOMPARE(read(target), saved ? c.file : target == Saved ? Earlier : "<missing>");
    QCOMPARE(read(Saved), saved && target == Saved ? c.file : Earlier);
    verifyIdle();
    if (!saved)
        return;
    QTest::mouseClick(button("btnInstall"), Qt::LeftButton);
    QTest::mouseClick(button("btnOpen"), Qt::LeftButton);
    const QString file = home->filePath(target);
    QCOMPARE(desktop, (QList<QUrl>{QUrl::fromLocalFile(file), QUrl(QFileInfo(file).path(), QUrl::TolerantMode)}));
    QVERIFY(QMetaObject::invokeMethod(window.get(), "networkReplyProgress", Q_ARG(qint64, 3ll << 30), Q_ARG(qint64, 5ll << 30)));
    QCOMPARE(label("lbl_Total")->text(), QStringLiteral(": 3072.0 MB/5120.0 MB"));
    QCOMPARE(double(bar()->value()) / bar()->maximum(), 0.6); // past what the bar's int holds
}

QTEST_MAIN(DownloadTest)
#include "tst_download.moc"
