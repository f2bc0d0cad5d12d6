// The catalogue's minisign signature, made here by minisign, against a window built with the
// demo key: only a ".minisig" that verifies lists. Keyless builds ask for none (tst_download counts).
#include "fixture.h"
#include "tovik_all_in_one.h"
#include <QtTest>
#include <QtWidgets>
int minisign(const QStringList &arguments)
{
    return QProcess::execute(QStringLiteral("minisign"), arguments);
}
class SignatureTest : public Fixture
{
    Q_OBJECT
    QTemporaryDir keys;
private slots:
    void initTestCase()
    {
#ifdef Q_OS_WIN
        QSKIP("minisign, which signs each row's catalogue, is the machine's Linux program: Wine starts it, never "
              "reports its end");
#endif
        QVERIFY(!minisign({"-G", "-W", "-p", keys.filePath("o.pub"), "-s", keys.filePath("o.key")}));
    }
    void init()
    {
        startTest();
    }
    void cleanup()
    {
        endTest();
    }
    void listing_data()
    {
        QTest::addColumn<QStringList>("sign"); // minisign's options ("-l": the bytes, not their hash)
        QTest::addColumn<QByteArray>("from"); // replaced in the signature file, else in the catalogue; none: a 404
        QTest::addColumn<QByteArray>("to");
        QTest::addColumn<int>("listed");
        const QStringList demo {"-s", TOVIK_TEST_KEYS "/demo-only-minisign.key"}, legacy = demo + QStringList {"-l"};
        QTest::newRow("prehashed") << demo << QByteArray("\n") << QByteArray("\n") << 1;
        QTest::newRow("legacy") << legacy << QByteArray("\n") << QByteArray("\n") << 1;
        QTest::newRow("CR LF") << demo << QByteArray("\n") << QByteArray("\r\n") << 1;
        QTest::newRow("catalogue byte") << legacy << QByteArray("notes") << QByteArray("notez") << 0;
        QTest::newRow("key id byte") << demo << QByteArray("9pdiHNvX") << QByteArray("9pdiHNvY") << 0; // as in .pub
        QTest::newRow("first line malformed")
                << demo << QByteArray("untrusted comment:") << QByteArray("untrusted-comment:") << 0;
        QTest::newRow("trusted comment byte") << demo << QByteArray("comment: T") << QByteArray("comment: U") << 0;
        QTest::newRow("byte over 0x7F for /") << demo << QByteArray("/") << QByteArray("\xff") << 0;
        QTest::newRow("another key") << QStringList {"-s", keys.filePath("o.key")} << QByteArray("\n")
                                     << QByteArray("\n") << 0;
        QTest::newRow("404") << demo << QByteArray() << QByteArray() << 0;
        QTest::newRow("under 4 KiB") << demo << QByteArray("untrusted comment: ")
                                     << "untrusted comment: " + QByteArray(3800, 'u')
                                     << 1; // that comment is not signed
        QTest::newRow("over 4 KiB") << demo << QByteArray("untrusted comment: ")
                                    << "untrusted comment: " + QByteArray(4096, 'u') << 0;
    }
    void listing()
    {
        QFETCH(QStringList, sign);
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(int, listed);
        QByteArray catalogue = catalogueWith(QStringLiteral("1.0"), QStringLiteral("http://files.example/setup.exe"));
        QVERIFY(write(QStringLiteral("c"), catalogue));
        QVERIFY(!minisign(sign + QStringList {"-S", "-m", home->filePath(QStringLiteral("c")), "-t", "T"}));
        QByteArray signature = read(QStringLiteral("c.minisig"));
        (signature.contains(from) ? signature : catalogue).replace(from, to); // where the text is
        server.on(QByteArray(CataloguePath) + ".minisig", from.isEmpty() ? reply(404, {}) : reply(200, signature));
        open(catalogue);
        QSignalSpy read(window->findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
        QVERIFY(read.wait(10000));
        QCOMPARE(window->findChild<QComboBox *>(QStringLiteral("cbName"))->count(), listed);
    }
    // The vendor's tool fills in the sha256 and signs; this build downloads only a file vouched for so.
    void vouched_data()
    {
        QTest::addColumn<bool>("published"); // the file is in the folder the tool reads
        QTest::addColumn<QJsonValue>("digest"); // undefined: as the tool wrote it; null: removed
        QTest::addColumn<QString>("message"); // empty: saved
        const QString NotFound = QStringLiteral("Không tìm thấy link file download.");
        const QJsonValue tool(QJsonValue::Undefined), none(QJsonValue::Null);
        QTest::newRow("sha256 from the tool") << true << tool << QString();
        QTest::newRow("no sha256") << true << none << NotFound;
        QTest::newRow("sha256 malformed")
                << true << QJsonValue(QString(63, QLatin1Char('a')))
                << QStringLiteral("File tải về bị lỗi (sai mã kiểm tra), file chưa được lưu.");
        QTest::newRow("the tool cannot read the file") << false << tool << QString();
    }
    void vouched()
    {
        QFETCH(bool, published);
        QFETCH(QJsonValue, digest);
        QFETCH(QString, message);
        const QByteArray body = "MZ the installer",
                         catalogue = catalogueWith("1.0", "http://a.example/dl/set%20up.exe");
        QVERIFY(write("c", catalogue) && (!published || write("files/dl/set up.exe", body)));
        const QStringList tool {home->filePath("c"), home->filePath("files"),
                                TOVIK_TEST_KEYS "/demo-only-minisign.key"};
        QCOMPARE(QProcess::execute(TOVIK_SIGN_TOOL, tool), published ? 0 : 1);
        if (!published) {
            QCOMPARE(read("c") + read("c.minisig"), catalogue + "<missing>"); // nothing written
            return;
        }
        if (!digest.isUndefined()) { // a catalogue signed without the tool
            QJsonObject root = QJsonDocument::fromJson(read("c")).object(),
                        version = root.value("P")["data"]["1.0"].toObject();
            version.remove("sha256");
            if (!digest.isNull())
                version.insert("sha256", digest);
            root["P"] = QJsonObject {{"data", QJsonObject {{"1.0", version}}}};
            QVERIFY(write("c", QJsonDocument(root).toJson()) && !minisign({"-S", "-s", tool[2], "-m", tool[0]}));
        }
        server.on(QByteArray(CataloguePath) + ".minisig", reply(200, read("c.minisig")));
        server.on("/dl/set%20up.exe", reply(200, body));
        open(read("c"));
        QTRY_COMPARE(window->findChild<QComboBox *>(QStringLiteral("cbName"))->count(), 1);
        clickDownload();
        QVERIFY(waitForBoxes(1));
        QCOMPARE(boxes[0].text, message.isEmpty() ? QStringLiteral("set up.exe tải về hoàn tất") : message);
        QCOMPARE(server.requests.size(), message.isEmpty() ? 3 : 2); // the catalogue, its signature, the file
        QCOMPARE(read("TovikAIO/Files/1.0/set up.exe"), message.isEmpty() ? body : "<missing>");
    }
};
QTEST_MAIN(SignatureTest)
#include "tst_signature.moc"
