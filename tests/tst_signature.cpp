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
};
QTEST_MAIN(SignatureTest)
#include "tst_signature.moc"
