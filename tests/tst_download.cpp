// Downloads through the real window from a real server on loopback, into a
// temporary home: what the user is told, what lands on disk, and that the
// window is idle again afterwards.

#include "application_proxy.h"
#include "local_http_server.h"
#include "message_box_recorder.h"
#include "temporary_home.h"
#include "tovik_all_in_one.h"
#include "window_driver.h"
#include "window_fixture.h"

#include <QComboBox>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QtTest>

Q_DECLARE_METATYPE(HttpResponse)

namespace {

using Routes = QList<QPair<QByteArray, HttpResponse>>;

const QByteArray FilePath = "/dl/setup.exe";
const QString FileLink = QStringLiteral("http://files.example/dl/setup.exe");
const QString SavedFile = QStringLiteral("TovikAIO/Files/1.0/setup.exe");
const QByteArray EarlierFile = "the earlier, good copy";

const QString LinkNotFound = QStringLiteral("Không tìm thấy link file download.");
const QString Interrupted = QStringLiteral("Tải về bị gián đoạn, file chưa được lưu.");

QByteArray bodyOf(int size)
{
    return HttpResponse::patternBytes(0, size);
}

} // namespace

class DownloadTest : public WindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void outcome_data();
    void outcome();
    void progressAndSpeedWhileTrickling();
    void stopDuringTransfer();
    void unknownSizeKeepsTheWindowBusy();
    void secondDownloadReplacesTheFile();
    void fileActionsOpenTheSavedFile();
    void closingDuringTransferLeavesNothing();
    void figures_data();
    void figures();

private:
    void load(const QString &version = QStringLiteral("1.0"), const QString &link = FileLink)
    {
        WindowFixture::load(version, link);
    }

    std::unique_ptr<TemporaryHome> home;
};

void DownloadTest::initTestCase()
{
    qRegisterMetaType<QNetworkReply *>();
    QVERIFY(server.listen());
    routeApplicationThrough(server);
}

void DownloadTest::init()
{
    startTest();
    home = std::make_unique<TemporaryHome>();
}

void DownloadTest::cleanup()
{
    endTest();
    home.reset();
}

void DownloadTest::outcome_data()
{
    QTest::addColumn<Routes>("routes");
    QTest::addColumn<bool>("unreachable");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("statusText");
    QTest::addColumn<QByteArray>("saved"); // what the file holds afterwards

    const QByteArray body = bodyOf(700 * 1024);
    const QByteArray shortBody = body.left(100 * 1024);
    const int info = QMessageBox::Information;
    const int critical = QMessageBox::Critical;
    const QString done = QStringLiteral("setup.exe tải về hoàn tất");
    const QString doneStatus = done + QStringLiteral(" ...");
    auto row = [](const char *name, const Routes &routes) -> QTestData & {
        return QTest::newRow(name) << routes << false;
    };

    row("length", {{FilePath, HttpResponse::content(body)}}) << info << done << doneStatus << body;
    row("chunked", {{FilePath, HttpResponse::chunked(body, 4096)}}) << info << done << doneStatus << body;
    row("no length, ends with the connection", {{FilePath, HttpResponse::trickle(body, 256 * 1024, 10, false)}})
        << info << done << doneStatus << body;
    row("relative redirect", {{FilePath, HttpResponse::redirect(302, "/mirror/setup.exe")},
                              {"/mirror/setup.exe", HttpResponse::content(body)}})
        << info << done << doneStatus << body;
    row("absolute redirect", {{FilePath, HttpResponse::redirect(301, "http://mirror.example/m/setup.exe")},
                              {"/m/setup.exe", HttpResponse::content(body)}})
        << info << done << doneStatus << body;
    row("404 with a page", {{FilePath, HttpResponse::error(404, "<h1>Not here</h1>")}})
        << critical << LinkNotFound << LinkNotFound << EarlierFile;
    row("500 with a page", {{FilePath, HttpResponse::error(500, QByteArray(64 * 1024, 'e'))}})
        << critical << LinkNotFound << LinkNotFound << EarlierFile;
    row("redirect to an error", {{FilePath, HttpResponse::redirect(307, "/gone")}, {"/gone", HttpResponse::error(410, "gone")}})
        << critical << LinkNotFound << LinkNotFound << EarlierFile;
    row("redirect loop", {{FilePath, HttpResponse::redirect(302, FilePath)}})
        << critical << LinkNotFound << LinkNotFound << EarlierFile;
    row("empty body", {{FilePath, HttpResponse::content(QByteArray())}})
        << critical << LinkNotFound << LinkNotFound << EarlierFile;
    row("cut short", {{FilePath, HttpResponse::cutShort(shortBody, body.size())}})
        << critical << Interrupted << Interrupted << EarlierFile;
    row("chunked, cut short", {{FilePath, HttpResponse::chunkedCutShort(shortBody, 4096)}})
        << critical << Interrupted << Interrupted << EarlierFile;
    QTest::newRow("unreachable") << Routes{} << true << critical << LinkNotFound << LinkNotFound << EarlierFile;
}

void DownloadTest::outcome()
{
    QFETCH(Routes, routes);
    QFETCH(bool, unreachable);
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(QString, statusText);
    QFETCH(QByteArray, saved);

    QVERIFY(home->writeFile(SavedFile, EarlierFile));
    load();
    for (const auto &route : routes)
        server.serve(route.first, route.second);
    std::unique_ptr<ApplicationProxy> closedProxy;
    if (unreachable) {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        closedProxy = std::make_unique<ApplicationProxy>(closed.serverPort());
    }

    clickDownload();
    QVERIFY(boxes->waitForBoxes(1, 20000));
    QTRY_VERIFY(!button("btnDownload")->text().contains(QStringLiteral("Dừng")));
    QTest::qWait(50);

    QCOMPARE(boxes->count(), 1);
    const RecordedBox box = boxes->boxes().first();
    QCOMPARE(int(box.icon), kind);
    QCOMPARE(box.title, kind == QMessageBox::Information ? QStringLiteral("Thông báo") : QStringLiteral("Lỗi"));
    QCOMPARE(box.text, text);
    QCOMPARE(box.parent.data(), window.get());
    QCOMPARE(status(), statusText);
    QCOMPARE(home->readFile(SavedFile), saved);
    QCOMPARE(home->files(), QStringList{SavedFile}); // no temporary file left behind
    verifyIdle();
    QCOMPARE(button("btnInstall")->isEnabled(), true);
}

void DownloadTest::progressAndSpeedWhileTrickling()
{
    const QByteArray body = bodyOf(240 * 1024);
    load();
    server.serve(FilePath, HttpResponse::trickle(body, 8 * 1024, 50)); // about 1.5 s
    QStringList totals;
    QStringList speeds;
    QTimer sampler;
    connect(&sampler, &QTimer::timeout, this, [&] {
        totals.append(label("lbl_Total")->text());
        speeds.append(label("lbl_Speed")->text());
    });
    sampler.start(100);

    clickDownload();
    QCOMPARE(status(), QStringLiteral("setup.exe đang tải ..."));
    QCOMPARE(button("btnDownload")->text(), QStringLiteral("  Dừng"));
    QVERIFY(!window->findChild<QComboBox *>(QStringLiteral("cbName"))->isEnabled());
    QTRY_VERIFY(bar()->isVisible());
    QCOMPARE(bar()->maximum(), body.size());
    QVERIFY(boxes->waitForBoxes(1, 20000));
    sampler.stop();

    QCOMPARE(boxes->boxes().first().text, QStringLiteral("setup.exe tải về hoàn tất"));
    QCOMPARE(home->readFile(SavedFile), body);
    const QRegularExpression total(QStringLiteral("^: \\d+\\.\\d MB/0\\.2 MB$"));
    QVERIFY(std::count_if(totals.cbegin(), totals.cend(), [&](const QString &t) { return total.match(t).hasMatch(); }) >= 3);
    const QRegularExpression speed(QStringLiteral("^: 0\\.\\d\\d Mb/s$"));
    QVERIFY(std::any_of(speeds.cbegin(), speeds.cend(), [&](const QString &s) { return speed.match(s).hasMatch() && s != QStringLiteral(": 0.00 Mb/s"); }));
    // The last report reset the window before the completion box.
    verifyIdle();
}

void DownloadTest::stopDuringTransfer()
{
    QVERIFY(home->writeFile(SavedFile, EarlierFile));
    load();
    server.serve(FilePath, HttpResponse::generated(10 * 1024 * 1024).throttled(16 * 1024, 50));
    clickDownload();
    QTRY_VERIFY(bar()->isVisible() && bar()->value() > 0); // bytes are arriving

    clickDownload(); // the whole stop, box included, runs inside this click
    QCOMPARE(boxes->count(), 1);
    QCOMPARE(int(boxes->boxes().first().icon), int(QMessageBox::Warning));
    QCOMPARE(boxes->boxes().first().title, QStringLiteral("Lỗi"));
    QCOMPARE(boxes->boxes().first().text, QStringLiteral("Đã hủy tải về."));
    QCOMPARE(status(), QStringLiteral("Tiến trình tải đã hủy."));
    verifyIdle();
    QCOMPARE(home->files(), QStringList{SavedFile});
    QCOMPARE(home->readFile(SavedFile), EarlierFile);

    // A click now starts a new transfer; the stopped reply is never touched again.
    server.serve(FilePath, HttpResponse::content("new"));
    clickDownload();
    QVERIFY(boxes->waitForBoxes(2, 20000));
    QCOMPARE(home->readFile(SavedFile), QByteArray("new"));
}

void DownloadTest::unknownSizeKeepsTheWindowBusy()
{
    const QByteArray body = bodyOf(200 * 1024);
    load();
    server.serve(FilePath, HttpResponse::chunked(body, 4096).throttled(8 * 1024, 50)); // about 1.3 s
    clickDownload();
    QTRY_VERIFY(label("lbl_Total")->text().startsWith(QStringLiteral(": 0.0")) && bar()->isVisible());
    QTRY_VERIFY(label("lbl_Speed")->text().endsWith(QStringLiteral(" Mb/s")));

    // Still transferring: busy bar, controls locked, stop button, no negative amount.
    QCOMPARE(bar()->maximum(), 0);
    QCOMPARE(button("btnDownload")->text(), QStringLiteral("  Dừng"));
    for (QComboBox *box : window->findChildren<QComboBox *>())
        QVERIFY(!box->isEnabled());
    QVERIFY(!label("lbl_Total")->text().contains(QLatin1Char('-')));
    QVERIFY(boxes->count() == 0);
    // Nothing, not even a direct call, starts a second transfer meanwhile.
    QNetworkReply *second = reinterpret_cast<QNetworkReply *>(1);
    QVERIFY(QMetaObject::invokeMethod(window.get(), "Download", Q_RETURN_ARG(QNetworkReply *, second),
                                      Q_ARG(QUrl, QUrl(FileLink))));
    QCOMPARE(second, nullptr);

    QVERIFY(boxes->waitForBoxes(1, 20000));
    QCOMPARE(int(boxes->boxes().first().icon), int(QMessageBox::Information));
    QCOMPARE(home->readFile(SavedFile), body);
    verifyIdle();
    QCOMPARE(downloadRequests().size(), 1);
}

void DownloadTest::secondDownloadReplacesTheFile()
{
    load();
    server.serve(FilePath, HttpResponse::content("first version of the file"));
    clickDownload();
    QVERIFY(boxes->waitForBoxes(1, 20000));
    server.serve(FilePath, HttpResponse::content("second"));
    clickDownload();
    QVERIFY(boxes->waitForBoxes(2, 20000));
    QCOMPARE(home->readFile(SavedFile), QByteArray("second"));
    QCOMPARE(home->files(), QStringList{SavedFile});
    // One bare GET per transfer, for the link itself.
    QCOMPARE(downloadRequests(), (QStringList{"GET " + FileLink, "GET " + FileLink}));
}

void DownloadTest::fileActionsOpenTheSavedFile()
{
    load();
    server.serve(FilePath, HttpResponse::content("x"));
    QVERIFY(!button("btnInstall")->isEnabled());
    QVERIFY(!button("btnOpen")->isEnabled());
    clickDownload();
    QVERIFY(boxes->waitForBoxes(1, 20000));
    QVERIFY(button("btnInstall")->isEnabled());
    QVERIFY(button("btnOpen")->isEnabled());

    DesktopRequests desktop;
    QTest::mouseClick(button("btnInstall"), Qt::LeftButton);
    QTest::mouseClick(button("btnOpen"), Qt::LeftButton);
    const QString folder = QDir::homePath() + QStringLiteral("/TovikAIO/Files/1.0");
    QCOMPARE(desktop.urls, (QList<QUrl>{QUrl::fromLocalFile(folder + QStringLiteral("/setup.exe")),
                                        QUrl(folder, QUrl::TolerantMode)}));
    QCOMPARE(desktop.urls.first().toLocalFile(), home->filePath(SavedFile));
}

void DownloadTest::closingDuringTransferLeavesNothing()
{
    QVERIFY(home->writeFile(SavedFile, EarlierFile));
    load();
    server.serve(FilePath, HttpResponse::generated(10 * 1024 * 1024).throttled(16 * 1024, 50));
    clickDownload();
    QTRY_VERIFY(bar()->isVisible() && bar()->value() > 0); // bytes are arriving

    QTest::mouseClick(button("btnClose"), Qt::LeftButton);
    QVERIFY(!window->isVisible());
    window.reset();
    QCOMPARE(home->files(), QStringList{SavedFile});
    QCOMPARE(home->readFile(SavedFile), EarlierFile);
    QCOMPARE(boxes->count(), 0);
}

void DownloadTest::figures_data()
{
    QTest::addColumn<qint64>("bytesRead");
    QTest::addColumn<qint64>("totalBytes");
    QTest::addColumn<QString>("total");
    QTest::addColumn<double>("fraction");
    QTest::addColumn<QString>("speed"); // after a further quarter megabyte and one tick

    const qint64 mebibyte = 1024 * 1024;
    QTest::newRow("1.5 of 10 MB") << qint64(3 * mebibyte / 2) << qint64(10 * mebibyte) << ": 1.5 MB/10.0 MB" << 0.15 << ": 1.75 Mb/s";
    QTest::newRow("nothing yet") << qint64(0) << qint64(mebibyte) << ": 0.0 MB/1.0 MB" << 0.0 << ": 0.25 Mb/s";
    QTest::newRow("3 of 5 GiB") << qint64(3072 * mebibyte) << qint64(5120 * mebibyte) << ": 3072.0 MB/5120.0 MB" << 0.6 << ": 3072.25 Mb/s";
    QTest::newRow("just under 4 GiB") << qint64(1) << qint64(4096 * mebibyte - 1) << ": 0.0 MB/4096.0 MB" << 0.0 << ": 0.25 Mb/s";
    QTest::newRow("size unknown") << qint64(5 * mebibyte) << qint64(-1) << ": 5.0 MB/?" << -1.0 << ": 5.25 Mb/s";
}

void DownloadTest::figures()
{
    QFETCH(qint64, bytesRead);
    QFETCH(qint64, totalBytes);
    QFETCH(QString, total);
    QFETCH(double, fraction);
    QFETCH(QString, speed);

    load();
    QVERIFY(QMetaObject::invokeMethod(window.get(), "networkReplyProgress", Q_ARG(qint64, bytesRead), Q_ARG(qint64, totalBytes)));
    QCOMPARE(label("lbl_Total")->text(), total);
    QVERIFY(bar()->isVisible());
    if (fraction < 0) {
        QCOMPARE(bar()->maximum(), 0); // busy indicator
    } else {
        QVERIFY(bar()->maximum() > 0);
        QVERIFY(qAbs(double(bar()->value()) / bar()->maximum() - fraction) < 0.001);
    }
    // One tick turns the bytes since the last tick into the speed.
    QVERIFY(QMetaObject::invokeMethod(window.get(), "networkReplyProgress", Q_ARG(qint64, bytesRead + 256 * 1024), Q_ARG(qint64, totalBytes)));
    QVERIFY(QMetaObject::invokeMethod(window.get(), "updateCaption"));
    QCOMPARE(label("lbl_Speed")->text(), speed);
}

QTEST_MAIN(DownloadTest)
#include "tst_download.moc"
