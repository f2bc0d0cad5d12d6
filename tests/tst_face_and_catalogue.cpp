// The window's face and by-name connections, and the catalogue listing and selection.
#include "fixture.h"
#include "tovik_all_in_one.h"
#include <QtTest>
#include <QtWidgets>
Q_DECLARE_METATYPE(Reply)
class FaceAndCatalogueTest : public Fixture
{
    Q_OBJECT
    QStringList changesShown; // the change list after each change of its text
    QComboBox *combo(const char *name) const { return window->findChild<QComboBox *>(QLatin1String(name)); }
    QPlainTextEdit *changes() const { return window->findChild<QPlainTextEdit *>(); }
    // As Fixture::open, for any answer, counting the change lists shown.
    void load(const Reply &answer)
    {
        changesShown.clear();
        server.on(CataloguePath, answer);
        window = std::make_unique<Tovik_all_in_one>();
        connect(changes(), &QPlainTextEdit::textChanged, this, [this] { changesShown << changes()->toPlainText(); });
        QSignalSpy read(window->findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
        QVERIFY(read.wait(10000));
    }
private slots:
    void init() { startTest(); }
    void cleanup() { endTest(); }
    void widgets_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("tahoma");
        const auto row = [](const char *name, QRect rect, const char *text, bool tahoma) {
            QTest::newRow(name) << rect << QString::fromUtf8(text) << tahoma;
        };
        row("label", QRect(14, 17, 61, 16), "Phần mềm", true);
        row("cbName", QRect(78, 12, 411, 25), "", true);
        row("label_2", QRect(14, 47, 61, 16), "Phiên bản", true);
        row("cbVer", QRect(78, 42, 411, 25), "", true);
        row("label_3", QRect(13, 74, 61, 16), "Thông tin", true);
        row("label_4", QRect(13, 90, 61, 16), "phiên bản", true);
        row("label_7", QRect(15, 215, 41, 16), "Total", false);
    }
    void widgets()
    {
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(bool, tahoma);
        load(reply(200, {}));
        const QWidget *widget = window->findChild<QWidget *>(QLatin1String(QTest::currentDataTag()));
        QCOMPARE(widget->geometry(), geometry);
        QCOMPARE(widget->property("text").toString(), text);
        QCOMPARE(widget->font().family() == QLatin1String("Tahoma") && widget->font().pointSize() == 10, tahoma);
        // Whichever family stands in for Tahoma, each caption reads whole.
        const int advance = QFontMetrics(widget->font()).horizontalAdvance(text), room = widget->contentsRect().width();
        QVERIFY2(!tahoma || advance <= room, qPrintable(QStringLiteral("%1 px in %2").arg(advance).arg(room)));
    }
    void connectionsAndImages()
    {
        QVERIFY(write(QStringLiteral("TovikAIO/Files/1.0/setup.exe"), "old"));
        open(catalogueWith(QStringLiteral("1.0"), QStringLiteral("http://files.example/dl/setup.exe")));
        QVERIFY(window->minimumSize() == QSize(520, 290) && window->maximumSize() == QSize(520, 290));
        verifyFace({false, true, true, QString(), QStringLiteral(": 0.00 KB/ 0.00 KB")});
        for (const char *image : {"1452778310_Cancel", "1452863351_cross-button", "1464039768_Folder",
                                  "1464966328_adept_installer", "1498635164_download", "TovikAIO"})
            QVERIFY2(!QImage(QStringLiteral(":/Icons/%1.png").arg(QLatin1String(image))).isNull(), image);
        // Each by-name connection runs its slot once; the two selection slots showed the notes.
        QCOMPARE(changes()->toPlainText(), QStringLiteral("notes"));
        QTest::mouseClick(button("btnInstall"), Qt::LeftButton);
        QTest::mouseClick(button("btnOpen"), Qt::LeftButton);
        QCOMPARE(desktop.size(), 2);
        clickDownload(); // the server has no such file
        QVERIFY(waitForBoxes(1));
        QCOMPARE(boxes.value(0).text, QStringLiteral("Không tìm thấy link file download."));
        QTest::mouseClick(button("btnClose"), Qt::LeftButton);
        QVERIFY(!window->isVisible());
    }
    void listing_data()
    {
        QTest::addColumn<Reply>("answer");
        QTest::addColumn<QStringList>("products");
        QTest::addColumn<QStringList>("versions"); // of the first product
        QTest::addColumn<QStringList>("shown"); // each change list shown, then after switching to the second product
        const auto json = [](const char *body) { return reply(200, body); };
        const QStringList none;
        const QByteArray large = QByteArray(8 << 20, ' ') + R"({"P":{}})"; // just past the 8 MiB a catalogue may take
        QTest::newRow("names reversed") << json(R"({"b":{},"A":{},"a":{}})") << QStringList{"A", "a", "b"} << none << none;
        QTest::newRow("names differing in case") << json(R"({"b":{},"A":{"data":{"v":{"active":true,"changelist":"v"},"V":{"active":true,
            "changelist":"V"}}},"B":{},"a":{}})") << QStringList{"A", "B", "a", "b"} << QStringList{"V", "v"} << QStringList{"V", "v", ""};
        QTest::newRow("UTF-16 order") << json(R"({"Ａ":{},"😀":{"data":{"Ａ":{"active":true,"changelist":"Ａ"},
            "😀":{"active":true,"changelist":"😀"}}}})") << QStringList{"😀", "Ａ"} << QStringList{"😀", "Ａ"} << QStringList{"😀", "Ａ", ""};
        QTest::newRow("active versions, ordinal") << json(R"({"P":{"data":{"2.0":{"active":false},"1.9":{"active":true,
            "changelist":"nine"},"1.10":{"active":true,"changelist":"ten"},"3":{"active":"true"},"4":{"active":1},"5":{}}}})")
            << QStringList{"P"} << QStringList{"1.10", "1.9"} << QStringList{"ten", "nine"};
        QTest::newRow("switch reads the old product first") << json(R"({"A":{"data":{"":{"changelist":"old"},"1":{"active":true,
            "changelist":"a1"}}},"B":{"data":{"1":{"active":true,"changelist":"b1"},"2":{"active":true,"changelist":"b2"}}}})")
            << QStringList{"A", "B"} << QStringList{"1"} << QStringList{"a1", "old", "b1", "b2"};
        // Announced, the length alone stops it: the rest never comes. Unannounced, it is refused even when it came whole.
        QTest::newRow("never answers") << Reply{{}, -1, true} << none << none << none; // given up after the time-out
        QTest::newRow("over 8 MiB announced") << Reply{reply(200, large).bytes.left(100), -1, true} << none << none << none;
        QTest::newRow("over 8 MiB without a length") << Reply{chunked(large).bytes, -1, false, 16 << 20} << none << none << none;
    }
    void listing()
    {
        QFETCH(Reply, answer);
        QFETCH(QStringList, products);
        QFETCH(QStringList, versions);
        QFETCH(QStringList, shown);
        QElapsedTimer clock; clock.start();
        load(answer); // one announced too large is stopped at its headers, long before its silence would time out
        QVERIFY(!answer.stall || answer.bytes.isEmpty() || clock.elapsed() < 1000);
        for (const auto &[name, expected] : {std::make_pair("cbName", products), std::make_pair("cbVer", versions)}) {
            QStringList items;
            for (int i = 0; i < combo(name)->count(); ++i)
                items << combo(name)->itemText(i);
            QCOMPARE(items, expected);
        }
        if (products.size() > 1)
            combo("cbName")->setCurrentIndex(1);
        QCOMPARE(changesShown, shown);
        QVERIFY2(boxes.isEmpty() && status().isEmpty(), "a catalogue is read in silence");
    }
};
QTEST_MAIN(FaceAndCatalogueTest)
#include "tst_face_and_catalogue.moc"
