// Downloads through the real window from a scripted server, under a home two
// levels below a sandbox so that a path climbing out of it still shows: what
// the user is told, every file and folder afterwards, the requests sent.

#include "fixture.h"
#include "tovik_all_in_one.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QDirIterator>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

namespace {

using Routes = QList<QPair<QByteArray, TestServer::Handler>>;
enum Stop { NoStop, OnBytes, OnRequest, OnLost };

const QString Link = QStringLiteral("http://files.example/dl/setup.exe");
const QString Folder = QStringLiteral("h/u/TovikAIO/Files/");
const QByteArray Earlier = "the earlier, good copy";
const QString NotFound = QStringLiteral("Không tìm thấy link file download.");
const QString CannotSave = QStringLiteral("Không lưu được file, kiểm tra lại thư mục tải.");
const QString Interrupted = QStringLiteral("Tải về bị gián đoạn, file chưa được lưu.");
const QString Damaged = QStringLiteral("File tải về bị lỗi (sai mã kiểm tra), file chưa được lưu.");
const QString Lost = QStringLiteral("setup.exe mất kết nối, đang thử lại ...");
const QByteArray Body = pattern(700 * 1024);
const QByteArray Validator = "ETag: \"v1\"\r\n";

TestServer::Handler fixed(const Reply &answer)
{
    return [answer](const Request &) { return answer; };
}

Reply cut(Reply answer, qint64 bodyBytes, qint64 bodySize)
{
    answer.cutAt = answer.bytes.size() - bodySize + bodyBytes;
    return answer;
}

// Serves `body` with `validator`, answers a Range request that carries it in
// If-Range with 206, and closes the answers early at `drops`.
TestServer::Handler resumable(const QByteArray &body, QList<qint64> drops, const QByteArray &validator = Validator)
{
    auto left = std::make_shared<QList<qint64>>(drops);
    return [=](const Request &request) {
        const QByteArray range = request.header("Range");
        if (!range.isEmpty() && request.header("If-Range") + "\r\n" != validator.mid(validator.indexOf(' ') + 1))
            return reply(500, "wrong validator");
        const qint64 from = range.isEmpty() ? 0 : range.mid(6, range.indexOf('-') - 6).toLongLong();
        const QByteArray rest = body.mid(int(from));
        Reply answer = range.isEmpty() ? reply(200, body, validator)
                                       : reply(206, rest, validator + "Content-Range: bytes " + QByteArray::number(from) + '-'
                                                              + QByteArray::number(body.size() - 1) + '/'
                                                              + QByteArray::number(body.size()) + "\r\n");
        return left->isEmpty() ? answer : cut(answer, left->takeFirst() - from, rest.size());
    };
}

// A first answer that drops after 300 KiB, then `second` for whatever is asked next.
TestServer::Handler thenAnswer(const Reply &second)
{
    auto first = std::make_shared<bool>(true);
    return [=](const Request &) {
        return std::exchange(*first, false) ? cut(reply(200, Body, Validator), 300 * 1024, Body.size()) : second;
    };
}

struct Case
{
    Routes routes;
    QMessageBox::Icon icon = QMessageBox::Information;
    QString text;            // empty: the success text
    QByteArray file = Body;  // what the saved file holds afterwards
    int requests = 1;        // -1: not counted
    bool lost = false;       // the connection-lost status was shown
    QString version = QStringLiteral("1.0"), link = Link, saved = QStringLiteral("setup.exe");
    QJsonObject extra;
    Stop stop = NoStop;

    Case() = default;
    Case(const Routes &r) : routes(r) {}
    Case(const Reply &r) : routes{{"/dl/setup.exe", fixed(r)}} {}
    Case(const TestServer::Handler &h) : routes{{"/dl/setup.exe", h}} {}
    Case &fails(QMessageBox::Icon i, const QString &t, int n = 1) { icon = i, text = t, file = Earlier, requests = n; return *this; }
    Case &count(int n, bool connectionLost = false) { requests = n, lost = connectionLost; return *this; }
    Case &at(const QString &v, const QString &l = Link) { version = v, link = l; return *this; }
    Case &sha(const QJsonValue &value) { extra.insert(QStringLiteral("sha256"), value); return *this; }
    Case &holding(const QByteArray &content) { file = content; return *this; }
    Case &stopping(Stop when) { stop = when; return fails(QMessageBox::Warning, QStringLiteral("Đã hủy tải về."), requests); }
};

QByteArray sha256(const QByteArray &bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
}

} // namespace

Q_DECLARE_METATYPE(Case)

class DownloadTest : public Fixture
{
    Q_OBJECT

private slots:
    void init()
    {
        startTest();
        QDir().mkpath(home->filePath(QStringLiteral("h/u")));
        qputenv("HOME", QFile::encodeName(home->filePath(QStringLiteral("h/u"))));
    }
    void cleanup() { endTest(); }
    void names_data();
    void names() { run(); }
    void servers_data();
    void servers() { run(); }
    void resume_data();
    void resume() { run(); }
    void stopAndCheck_data();
    void stopAndCheck() { run(); }
    void progressWhileTrickling();
    void unknownSizeStaysBusyAlone();
    void fileActionsAndClosing();
    void figures_data();
    void figures();

private:
    void run();
    QStringList tree() const
    {
        QStringList found;
        QDirIterator it(home->path(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext())
            found.append(QDir(home->path()).relativeFilePath(it.next()));
        found.sort();
        return found;
    }
};

void DownloadTest::names_data()
{
    QTest::addColumn<Case>("c");
    const Case good(reply(200, Body));
    for (const char *version : {"../../x", "1.0/../../x", "..\\..\\x", "C:\\x", "CON", "lpt9.txt", "1.0/nul", "1.0.",
                                "1.0 ", "1.0\n", "1.0//2"})
        QTest::newRow(version) << Case(good).at(QString::fromUtf8(version)).fails(QMessageBox::Critical, CannotSave, 0);
    QTest::newRow("300 characters") << Case(good).at(QString(300, QLatin1Char('v'))).fails(QMessageBox::Critical, CannotSave);
    for (const char *link : {"file:///etc/passwd", "data:application/octet-stream;base64,TVqQ", "http:///dl/setup.exe"})
        QTest::newRow(link) << Case(good).at(QStringLiteral("1.0"), QString::fromUtf8(link)).fails(QMessageBox::Critical, NotFound, 0);
    for (const char *name : {"..%5C..%5Cevil.exe", "%2E%2E", "C%3Aevil.exe"})
        QTest::newRow(name) << Case(good).at(QStringLiteral("1.0"), "http://files.example/dl/" + QString::fromUtf8(name))
                                   .fails(QMessageBox::Critical, CannotSave, 0);
    Case slashes(Routes{{"/dl/..%2F..%2Fevil.exe", fixed(reply(200, Body))}});
    slashes.at(QStringLiteral("1.0"), QStringLiteral("http://files.example/dl/..%2F..%2Fevil.exe")).saved = QStringLiteral("evil.exe");
    QTest::newRow("escaped slashes") << slashes;
    QTest::newRow("query") << Case(good).at(QStringLiteral("1.0"), Link + QStringLiteral("?name=..%2Fevil.exe"));
}

void DownloadTest::servers_data()
{
    QTest::addColumn<Case>("c");
    const auto moved = [](const QByteArray &to) { return reply(302, {}, "Location: " + to + "\r\n"); };
    QTest::newRow("length") << Case(reply(200, Body));
    QTest::newRow("chunked") << Case(chunked(Body));
    QTest::newRow("ends with the connection") << Case(Reply{"HTTP/1.1 200 OK\r\n\r\n" + Body});
    QTest::newRow("relative redirect") << Case(Routes{{"/dl/setup.exe", fixed(moved("/m/setup.exe"))}, {"/m/setup.exe", fixed(reply(200, Body))}}).count(2);
    QTest::newRow("redirect to another host") << Case(Routes{{"/dl/setup.exe", fixed(moved("http://mirror.example/m/setup.exe"))},
                                                             {"/m/setup.exe", fixed(reply(200, Body))}}).count(2);
    QTest::newRow("404 page") << Case(reply(404, "<h1>gone</h1>")).fails(QMessageBox::Critical, NotFound);
    QTest::newRow("redirect loop") << Case(moved("/dl/setup.exe")).fails(QMessageBox::Critical, NotFound, -1);
    QTest::newRow("redirect to file:") << Case(moved("file:///etc/passwd")).fails(QMessageBox::Critical, NotFound);
    QTest::newRow("empty body") << Case(reply(200, {})).fails(QMessageBox::Critical, NotFound);
    QTest::newRow("closed unanswered") << Case(Reply{}).fails(QMessageBox::Critical, NotFound, -1);
    QTest::newRow("not HTTP") << Case(Reply{"SSH-2.0-OpenSSH\r\n" + Body}).fails(QMessageBox::Critical, NotFound, -1);
    QTest::newRow("gzip that is not") << Case(reply(200, Body, "Content-Encoding: gzip\r\n")).fails(QMessageBox::Critical, NotFound);
    QTest::newRow("cut short") << Case(cut(reply(200, Body), 1000, Body.size())).fails(QMessageBox::Critical, Interrupted);
    Reply chunkedCut = chunked(Body.left(100 * 1024), false);
    QTest::newRow("chunked, cut short") << Case(chunkedCut).fails(QMessageBox::Critical, Interrupted);
}

void DownloadTest::resume_data()
{
    QTest::addColumn<Case>("c");
    const QByteArray big = pattern(64 << 20);
    const qint64 range = 300 * 1024;
    const QByteArray rest = "Content-Range: bytes " + QByteArray::number(range) + '-' + QByteArray::number(Body.size() - 1) + '/';
    const QByteArray restBody = Body.mid(range);
    QTest::newRow("64 MiB dropped at five points")
        << Case(resumable(big, {500, (1 << 20) + 7, 20 << 20, 40 << 20, (64 << 20) - 300})).sha(QString::fromLatin1(sha256(big)))
               .holding(big).count(6, true);
    QTest::newRow("Last-Modified") << Case(resumable(Body, {1000}, "Last-Modified: Sun, 06 Dec 2026 10:00:00 GMT\r\n")).count(2, true);
    QTest::newRow("resumed at the redirected address")
        << Case(Routes{{"/dl/setup.exe", [](const Request &r) {
                            return r.header("Range").isEmpty() ? reply(302, {}, "Location: http://mirror.example/m/setup.exe\r\n") : reply(500, {});
                        }},
                       {"/m/setup.exe", resumable(Body, {range})}}).count(3, true);
    QTest::newRow("200 starts over") << Case(thenAnswer(reply(200, Body, Validator))).count(2, true);
    QTest::newRow("another total") << Case(thenAnswer(reply(206, restBody, rest + "999999\r\n")))
                                          .fails(QMessageBox::Critical, Interrupted, 2).count(2, true);
    QTest::newRow("another ETag") << Case(thenAnswer(reply(206, restBody, rest + QByteArray::number(Body.size()) + "\r\nETag: \"v2\"\r\n")))
                                         .fails(QMessageBox::Critical, Interrupted, 2).count(2, true);
    QTest::newRow("another start") << Case(thenAnswer(reply(206, Body, "Content-Range: bytes 0-" + QByteArray::number(Body.size() - 1) + '/' + QByteArray::number(Body.size()) + "\r\n")))
                                          .fails(QMessageBox::Critical, Interrupted, 2).count(2, true);
    QTest::newRow("416") << Case(thenAnswer(reply(416, {}))).fails(QMessageBox::Critical, Interrupted, 2).count(2, true);
    const QByteArray packed = qCompress(Body).mid(4);
    Reply compressed = cut(reply(200, packed, Validator + "Accept-Ranges: bytes\r\nContent-Encoding: deflate\r\n"), packed.size() / 2, packed.size());
    compressed.stall = true;
    QTest::newRow("compressed") << Case(compressed).fails(QMessageBox::Critical, Interrupted);
    QTest::newRow("no length") << Case([](const Request &) { Reply r = chunked(Body.left(100 * 1024), false);
                                                              r.bytes.replace("chunked\r\n", "chunked\r\n" + Validator); return r; })
                                      .fails(QMessageBox::Critical, Interrupted);
    QTest::newRow("drops at once, for ever") << Case(thenAnswer(cut(reply(206, restBody, rest + QByteArray::number(Body.size()) + "\r\n"), 0, restBody.size())))
                                                   .fails(QMessageBox::Critical, Interrupted, 4).count(4, true);
    Reply stalled = cut(reply(200, Body, Validator), range, Body.size());
    stalled.stall = true;
    QTest::newRow("stalls, then resumes") << Case([=](const Request &r) {
        return r.header("Range").isEmpty() ? stalled : resumable(Body, {})(r); }).count(2, true);
    QTest::newRow("never answers") << Case(Reply{{}, -1, true}).fails(QMessageBox::Critical, NotFound);
}

void DownloadTest::stopAndCheck_data()
{
    QTest::addColumn<Case>("c");
    Reply paced = reply(200, pattern(8 << 20));
    paced.paceBytes = 16 * 1024;
    Reply pacedChunks = chunked(pattern(8 << 20));
    pacedChunks.paceBytes = 16 * 1024;
    QTest::newRow("stop, size known") << Case(paced).stopping(OnBytes);
    QTest::newRow("stop, size unknown") << Case(pacedChunks).stopping(OnBytes);
    QTest::newRow("stop before any answer") << Case(Reply{{}, -1, true}).stopping(OnRequest);
    QTest::newRow("stop while waiting to retry") << Case(resumable(Body, {1000, 1000, 1000})).stopping(OnLost).count(1, true);
    QTest::newRow("sha256 right, in capitals") << Case(reply(200, Body)).sha(QString::fromLatin1(sha256(Body).toUpper()));
    QTest::newRow("sha256 wrong") << Case(reply(200, Body)).sha(QString::fromLatin1(sha256(Body + 'x'))).fails(QMessageBox::Critical, Damaged);
    QTest::newRow("sha256 of 63 digits") << Case(reply(200, Body)).sha(QString::fromLatin1(sha256(Body).left(63))).fails(QMessageBox::Critical, Damaged, 0);
    QTest::newRow("sha256 not text") << Case(reply(200, Body)).sha(7).fails(QMessageBox::Critical, Damaged, 0);
    Reply huge = reply(200, Body, {});
    huge.bytes.replace("Content-Length: " + QByteArray::number(Body.size()), "Content-Length: 1125899906842624");
    huge.stall = true;
    QTest::newRow("1 PiB announced") << Case(huge).fails(QMessageBox::Critical, CannotSave);
}

void DownloadTest::run()
{
    QFETCH(Case, c);
    const QString target = Folder + c.version + QLatin1Char('/') + c.saved;
    QVERIFY(write(Folder + QStringLiteral("1.0/setup.exe"), Earlier));
    QStringList expected = tree();
    open(catalogueWith(c.version, c.link, c.extra));
    for (const auto &route : c.routes)
        server.on(route.first, route.second);
    QStringList statuses;
    connect(window->statusBar(), &QStatusBar::messageChanged, window.get(), [&](const QString &message) {
        statuses.append(message);
        if (c.stop != OnLost || message != Lost)
            return;
        QCOMPARE(label("lbl_Speed")->text(), QStringLiteral(": 0.00 Mb/s"));
        QVERIFY(bar()->isVisible() && bar()->value() > 0 && label("lbl_Total")->text().endsWith(QLatin1String(" MB/0.7 MB")));
        clickDownload();
        QCOMPARE(boxes.size(), 1);
    });
    clickDownload();
    if (c.stop == OnBytes)
        QTRY_VERIFY(label("lbl_Total")->text().contains(QLatin1String(" MB/")));
    if (c.stop == OnRequest)
        QTRY_COMPARE(downloadRequests().size(), 1);
    if (c.stop == OnBytes || c.stop == OnRequest) {
        QCOMPARE(boxes.size(), 0);
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
    QCOMPARE(status(), saved ? text + QStringLiteral(" ...")
                             : c.stop ? QStringLiteral("Tiến trình tải đã hủy.") : text);
    QCOMPARE(statuses.contains(Lost), c.lost);
    if (c.requests >= 0)
        QCOMPARE(downloadRequests().size(), c.requests);
    if (c.requests > 0)
        QVERIFY(server.requests.last().header("Range").isEmpty() == (c.requests == 1 || !c.lost));
    if (saved && !expected.contains(target))
        expected = (expected << target);
    expected.sort();
    QCOMPARE(tree(), expected); // nothing else anywhere, no temporary file
    if (saved)
        QCOMPARE(read(target), c.file);
    QCOMPARE(read(Folder + QStringLiteral("1.0/setup.exe")), saved && target.endsWith(QLatin1String("1.0/setup.exe")) ? c.file : Earlier);
    verifyIdle();
}

void DownloadTest::progressWhileTrickling()
{
    Reply slow = reply(200, pattern(240 * 1024));
    slow.paceBytes = 8 * 1024;
    slow.paceMs = 50;
    open(catalogueWith(QStringLiteral("1.0"), Link));
    server.on("/dl/setup.exe", slow);
    QStringList speeds;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] { speeds.append(label("lbl_Speed")->text()); });
    sampler.start(100);
    clickDownload();
    QCOMPARE(status(), QStringLiteral("setup.exe đang tải ..."));
    QCOMPARE(button("btnDownload")->text(), QStringLiteral("  Dừng"));
    QVERIFY(!window->findChild<QComboBox *>(QStringLiteral("cbName"))->isEnabled());
    QTRY_VERIFY(bar()->isVisible());
    QCOMPARE(bar()->maximum(), 240 * 1024);
    QVERIFY(waitForBoxes(1));
    QCOMPARE(read(Folder + QStringLiteral("1.0/setup.exe")), pattern(240 * 1024));
    QVERIFY(std::any_of(speeds.cbegin(), speeds.cend(), [](const QString &s) { return s.startsWith(QLatin1String(": 0.")) && s != QLatin1String(": 0.00 Mb/s"); }));
    verifyIdle();
}

void DownloadTest::unknownSizeStaysBusyAlone()
{
    Reply slow = chunked(pattern(200 * 1024));
    slow.paceBytes = 8 * 1024;
    slow.paceMs = 50;
    open(catalogueWith(QStringLiteral("1.0"), Link));
    server.on("/dl/setup.exe", slow);
    clickDownload();
    QTRY_VERIFY(label("lbl_Total")->text().endsWith(QLatin1String(" MB/?")));
    QCOMPARE(bar()->maximum(), 0);
    QCOMPARE(button("btnDownload")->text(), QStringLiteral("  Dừng"));
    QNetworkReply *second = reinterpret_cast<QNetworkReply *>(1);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "Download", Q_RETURN_ARG(QNetworkReply *, second), Q_ARG(QUrl, QUrl(Link))));
    QCOMPARE(second, nullptr);
    QVERIFY(waitForBoxes(1));
    QCOMPARE(read(Folder + QStringLiteral("1.0/setup.exe")), pattern(200 * 1024));
    QCOMPARE(downloadRequests().size(), 1);
    verifyIdle();
}

void DownloadTest::fileActionsAndClosing()
{
    open(catalogueWith(QStringLiteral("1.0"), Link));
    server.on("/dl/setup.exe", reply(200, "x"));
    clickDownload();
    QVERIFY(waitForBoxes(1));
    QTest::mouseClick(button("btnInstall"), Qt::LeftButton);
    QTest::mouseClick(button("btnOpen"), Qt::LeftButton);
    const QString folder = home->filePath(Folder + QStringLiteral("1.0"));
    QCOMPARE(desktop, (QList<QUrl>{QUrl::fromLocalFile(folder + QStringLiteral("/setup.exe")), QUrl(folder, QUrl::TolerantMode)}));

    Reply paced = reply(200, pattern(8 << 20));
    paced.paceBytes = 16 * 1024;
    server.on("/dl/setup.exe", paced);
    clickDownload();
    QTRY_VERIFY(bar()->isVisible() && bar()->value() > 0);
    QTest::mouseClick(button("btnClose"), Qt::LeftButton);
    window.reset();
    QCOMPARE(read(Folder + QStringLiteral("1.0/setup.exe")), QByteArray("x"));
    QCOMPARE(files(), QStringList{Folder + QStringLiteral("1.0/setup.exe")});
    QCOMPARE(boxes.size(), 1);
}

void DownloadTest::figures_data()
{
    QTest::addColumn<qint64>("bytesRead");
    QTest::addColumn<qint64>("totalBytes");
    QTest::addColumn<QString>("total");
    QTest::addColumn<double>("fraction"); // -1: busy
    QTest::addColumn<QString>("speed");   // after a further quarter megabyte and one tick
    const qint64 mebibyte = 1 << 20;
    QTest::newRow("1.5 of 10 MB") << 3 * mebibyte / 2 << 10 * mebibyte << ": 1.5 MB/10.0 MB" << 0.15 << ": 1.75 Mb/s";
    QTest::newRow("3 of 5 GiB") << 3072 * mebibyte << 5120 * mebibyte << ": 3072.0 MB/5120.0 MB" << 0.6 << ": 3072.25 Mb/s";
    QTest::newRow("size unknown") << 5 * mebibyte << qint64(-1) << ": 5.0 MB/?" << -1.0 << ": 5.25 Mb/s";
}

void DownloadTest::figures()
{
    QFETCH(qint64, bytesRead);
    QFETCH(qint64, totalBytes);
    QFETCH(double, fraction);
    open(catalogueWith(QStringLiteral("1.0"), Link));
    QVERIFY(QMetaObject::invokeMethod(window.get(), "networkReplyProgress", Q_ARG(qint64, bytesRead), Q_ARG(qint64, totalBytes)));
    QTEST(label("lbl_Total")->text(), "total");
    QVERIFY(bar()->isVisible());
    QVERIFY(fraction < 0 ? bar()->maximum() == 0 : qAbs(double(bar()->value()) / bar()->maximum() - fraction) < 0.001);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "networkReplyProgress", Q_ARG(qint64, bytesRead + (1 << 18)), Q_ARG(qint64, totalBytes)));
    QVERIFY(QMetaObject::invokeMethod(window.get(), "updateCaption"));
    QTEST(label("lbl_Speed")->text(), "speed");
}

QTEST_MAIN(DownloadTest)
#include "tst_download.moc"
