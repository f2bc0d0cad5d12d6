// With the demo key built in, only a catalogue whose ".minisig" verifies lists.
#include "fixture.h"
const QString DemoKey = QStringLiteral(TOVIK_TEST_KEYS "/demo-only-minisign.key");
class SignatureTest : public Fixture
{
    Q_OBJECT
private slots:
    void init() { startTest(); }
    void cleanup() { endTest(); }
    // Signed with comments "x" and "T", then "from → to" edited in the signature, else in the catalogue.
    void listing_data()
    {
        QTest::addColumn<QStringList>("sign"); // "-l": sign the bytes, not their hash
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("listed");
        const QStringList demo {"-S", "-s", DemoKey, "-t", "T", "-c", "x"}, legacy = demo + QStringList {"-l"};
        QTest::newRow("prehashed") << demo << "" << true;
        QTest::newRow("legacy") << legacy << "" << true;
        QTest::newRow("CR LF") << demo << "\n → \r\n" << true;
        // The signature is 230 bytes with its comment "x"; this makes it 4,097.
        QTest::newRow("over 4 KiB") << demo << "x\n → " + QString(4097 - 229, 'x') + '\n' << false;
        QTest::newRow("none published") << demo << "404" << false;
        QTest::newRow("catalogue byte") << legacy << "notes → notez" << false;
        QTest::newRow("key id byte") << demo << "9pdiHNvX → 9pdiHNvY" << false;
        QTest::newRow("algorithm ed") << legacy << "\nRW → \nZW" << false;
        QTest::newRow("trusted comment byte") << demo << "comment: T → comment: U" << false;
        QTest::newRow("base64 of 75 bytes, not 74") << demo << "=\ntrusted → A\ntrusted" << false;
    }
    void listing()
    {
        QFETCH(QStringList, sign);
        QFETCH(QString, edit);
        QFETCH(bool, listed);
        QByteArray catalogue = catalogueWith("1.0", "http://h/setup.exe");
        QVERIFY(write("c", catalogue) && !QProcess::execute("minisign", sign << "-m" << home->filePath("c")));
        QByteArray signature = read("c.minisig");
        const QByteArray from = edit.section(" → ", 0, 0).toLatin1(), to = edit.section(" → ", 1).toLatin1();
        (signature.contains(from) ? signature : catalogue).replace(from, to);
        server.on(QByteArray(CataloguePath) + ".minisig", edit == "404" ? reply(404, {}) : reply(200, signature));
        open(catalogue);
        QVERIFY(QSignalSpy(window->findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished).wait(10000));
        QCOMPARE(window->findChild<QComboBox *>("cbName")->count(), listed ? 1 : 0);
    }
    // Keyed builds download only files whose sha256 the vendor's tool signed in.
    void vouched_data()
    {
        QTest::addColumn<bool>("tool"); // else minisign's: no sha256
        QTest::addColumn<QString>("message");
        QTest::newRow("the tool's sha256") << true << "set up.exe tải về hoàn tất";
        QTest::newRow("no sha256") << false << "Không tìm thấy link file download.";
    }
    void vouched()
    {
        QFETCH(bool, tool);
        QFETCH(QString, message);
        const QString c = home->filePath("c");
        QVERIFY(write("c", catalogueWith("1.0", "http://a/dl/set%20up.exe")) && write("files/dl/set up.exe", "MZ"));
        QVERIFY(!QProcess::execute(tool ? TOVIK_SIGN_TOOL : "minisign",
                                   tool ? QStringList {c, home->filePath("files"), DemoKey}
                                        : QStringList {"-S", "-s", DemoKey, "-m", c}));
        server.on(QByteArray(CataloguePath) + ".minisig", reply(200, read("c.minisig")));
        server.on("/dl/set%20up.exe", reply(200, "MZ"));
        open(read("c"));
        QTRY_COMPARE(window->findChild<QComboBox *>("cbName")->count(), 1);
        clickDownload();
        QTRY_COMPARE_WITH_TIMEOUT(boxes.value(0).text, message, 30000);
        QCOMPARE(server.requests.size(), tool ? 3 : 2); // the catalogue, its signature, the file
    }
};
QTEST_MAIN(SignatureTest)
#include "tst_signature.moc"
