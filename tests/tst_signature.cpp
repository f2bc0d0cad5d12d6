// Catalogues signed by minisign, and a window built with the demo key: only a ".minisig" that verifies lists.
#include "fixture.h"
#include "tovik_all_in_one.h"
#include <QtTest>
#include <QtWidgets>
const QString DemoKey = QStringLiteral(TOVIK_TEST_KEYS "/demo-only-minisign.key");
class SignatureTest : public Fixture
{
    Q_OBJECT
    int products() const { return window->findChild<QComboBox *>(QStringLiteral("cbName"))->count(); }
private slots:
    void init() { startTest(); }
    void cleanup() { endTest(); }
#ifdef Q_OS_WIN // minisign, which signs each catalogue here, is a Linux program: Wine never sees it end
    void initTestCase()
    {
        QSKIP("minisign runs on Linux only");
    }
#endif
    // Signed with the untrusted comment "x" and the trusted comment "T", then edited "from → to" in the
    // signature file, or else in the catalogue ("404": no signature file published).
    void listing_data()
    {
        QTest::addColumn<QStringList>("sign"); // minisign's options ("-l": the bytes, not their hash)
        QTest::addColumn<QString>("edit");
        QTest::addColumn<bool>("listed");
        const QStringList demo {"-S", "-s", DemoKey, "-t", "T", "-c", "x"}, legacy = demo + QStringList {"-l"};
        QTest::newRow("prehashed") << demo << "" << true;
        QTest::newRow("legacy") << legacy << "" << true;
        QTest::newRow("CR LF") << demo << "\n → \r\n" << true;
        // The untrusted comment lengthened: with one x, the file is 230 bytes.
        QTest::newRow("4 KiB") << demo << "x\n → " + QString(4096 - 229, 'x') + '\n' << true;
        QTest::newRow("over 4 KiB") << demo << "x\n → " + QString(4097 - 229, 'x') + '\n' << false;
        QTest::newRow("none published") << demo << "404" << false;
        QTest::newRow("a catalogue byte") << legacy << "notes → notez" << false;
        QTest::newRow("a key id byte") << demo << "9pdiHNvX → 9pdiHNvY" << false; // as in .pub
        QTest::newRow("algorithm Ed as ed") << legacy << "\nRW → \nZW" << false; // in base64
        QTest::newRow("first line without its prefix") << demo << "untrusted comment → untrusted-comment" << false;
        QTest::newRow("third line without its prefix") << demo << "\ntrusted comment → \ntrusted-comment" << false;
        QTest::newRow("trusted comment byte") << demo << "comment: T → comment: U" << false;
        // One byte more in the base64 of the 74-byte line, two more in that of the 64-byte line.
        QTest::newRow("signature line of 75 bytes") << demo << "=\ntrusted → A\ntrusted" << false;
        QTest::newRow("global signature of 66 bytes") << demo << "==\n → AA\n" << false;
        QTest::newRow("byte over 0x7F for /") << demo << "/ → " + QString(QChar(0xff)) << false;
    }
    void listing()
    {
        QFETCH(QStringList, sign);
        QFETCH(QString, edit);
        QFETCH(bool, listed);
        QByteArray catalogue = catalogueWith("1.0", "http://files.example/setup.exe");
        QVERIFY(write("c", catalogue)
                && !QProcess::execute("minisign", sign + QStringList {"-m", home->filePath("c")}));
        QByteArray signature = read("c.minisig");
        const QByteArray from = edit.section(" → ", 0, 0).toLatin1(), to = edit.section(" → ", 1).toLatin1();
        (signature.contains(from) ? signature : catalogue).replace(from, to);
        server.on(QByteArray(CataloguePath) + ".minisig",
                  edit == "404" ? reply(404, {}) : Reply {reply(200, signature).bytes, -1, false, 0, true});
        open(catalogue);
        QSignalSpy read(window->findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
        QVERIFY(read.wait(10000));
        QCOMPARE(products(), listed ? 1 : 0);
    }
    // The vendor's tool fills in each file's sha256 and signs; this build downloads only a file vouched for so.
    void vouched_data()
    {
        QTest::addColumn<bool>("tool"); // else signed by minisign alone, without a sha256
        QTest::addColumn<QString>("message");
        QTest::newRow("sha256 from the tool") << true << "set up.exe tải về hoàn tất";
        QTest::newRow("no sha256") << false << "Không tìm thấy link file download.";
    }
    void vouched()
    {
        QFETCH(bool, tool);
        QFETCH(QString, message);
        const QByteArray body = "MZ the installer",
                         catalogue = catalogueWith("1.0", "http://a.example/dl/set%20up.exe");
        const QStringList arguments {home->filePath("c"), home->filePath("files"), DemoKey};
        QVERIFY(write("c", catalogue)); // a file it cannot read stops the tool: the catalogue stays, unsigned
        QCOMPARE(QProcess::execute(TOVIK_SIGN_TOOL, arguments), 1);
        QCOMPARE(read("c") + read("c.minisig"), catalogue + "<missing>");
        QVERIFY(write("files/dl/set up.exe", body));
        QVERIFY(tool ? !QProcess::execute(TOVIK_SIGN_TOOL, arguments)
                     : !QProcess::execute("minisign", {"-S", "-s", DemoKey, "-m", arguments[0]}));
        server.on(QByteArray(CataloguePath) + ".minisig", reply(200, read("c.minisig")));
        server.on("/dl/set%20up.exe", reply(200, body));
        open(read("c"));
        QTRY_COMPARE(products(), 1);
        QTest::mouseClick(button("btnDownload"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(boxes.size(), 1, 30000);
        QCOMPARE(boxes[0].text, message);
        QCOMPARE(server.requests.size(), tool ? 3 : 2); // the catalogue, its signature, the file
        QCOMPARE(read("TovikAIO/Files/1.0/set up.exe"), tool ? body : "<missing>");
    }
};
QTEST_MAIN(SignatureTest)
#include "tst_signature.moc"
