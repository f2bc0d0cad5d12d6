// The window's face, slot table and by-name connections, and the catalogue listing and selection.

#include "fixture.h"
#include "tovik_all_in_one.h"

#include <QtTest>
#include <QtWidgets>

Q_DECLARE_METATYPE(Reply)

class FaceAndCatalogueTest : public Fixture
{
    Q_OBJECT

private slots:
    void init() { startTest(); }
    void cleanup() { changesShown.clear(); endTest(); }
    void widgets_data();
    void widgets();
    void slotsAndImages();
    void listing_data();
    void listing();
    void buttonsFollowTheDisk_data();
    void buttonsFollowTheDisk();

private:
    void load(const Reply &answer);
    QComboBox *combo(const QByteArray &name) const { return window->findChild<QComboBox *>(QLatin1String(name)); }
    QPlainTextEdit *changes() const { return window->findChild<QPlainTextEdit *>(); }
    QStringList changesShown; // the change list after each change of its text
};

// As Fixture::open, for any answer, counting the change lists shown.
void FaceAndCatalogueTest::load(const Reply &answer)
{
    server.on(CataloguePath, answer);
    window = std::make_unique<Tovik_all_in_one>();
    connect(changes(), &QPlainTextEdit::textChanged, this, [this] { changesShown << changes()->toPlainText(); });
    QSignalSpy read(window->findChild<QNetworkAccessManager *>(), &QNetworkAccessManager::finished);
    QVERIFY(read.wait(10000));
}

void FaceAndCatalogueTest::widgets_data()
{
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("tahoma");
    const auto row = [](const char *name, QRect rect, const char *text, bool tahoma = false) {
        QTest::newRow(name) << rect << QString::fromUtf8(text) << tahoma;
    };
    row("progressBar", QRect(10, 252, 501, 10), "0%"); // its value, not shown
    row("groupBox", QRect(10, 10, 501, 241), "");
    row("label", QRect(14, 17, 61, 16), "Phần mềm", true);
    row("cbName", QRect(78, 12, 411, 25), "", true);
    row("label_2", QRect(14, 47, 61, 16), "Phiên bản", true);
    row("cbVer", QRect(78, 42, 411, 25), "", true);
    row("btnClose", QRect(409, 199, 81, 31), "  Đóng");
    row("lbl_Total", QRect(62, 215, 111, 16), ": 0.00 KB/ 0.00 KB");
    row("lbl_Speed", QRect(62, 198, 111, 16), ": 0.00 Kb/s");
    row("label_7", QRect(15, 215, 41, 16), "Total");
    row("label_8", QRect(15, 197, 41, 16), "Speed");
    row("btnInstall", QRect(160, 199, 81, 31), "  Cài đặt");
    row("btnDownload", QRect(326, 199, 81, 31), "  Tải về");
    row("label_3", QRect(13, 74, 61, 16), "Thông tin", true);
    row("label_4", QRect(13, 90, 61, 16), "phiên bản", true);
    row("plainTextEdit", QRect(78, 73, 411, 117), "");
    row("btnOpen", QRect(243, 199, 81, 31), "Thư mục");
}

void FaceAndCatalogueTest::widgets()
{
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, tahoma);
    load(reply(200, {}));
    const QWidget *widget = window->findChild<QWidget *>(QLatin1String(QTest::currentDataTag()));
    QVERIFY(widget);
    QCOMPARE(widget->geometry(), geometry);
    QCOMPARE(widget->property("text").toString(), text);
    QCOMPARE(widget->font().family() == QLatin1String("Tahoma") && widget->font().pointSize() == 10, tahoma);
    // Whichever family stands in for Tahoma, each caption reads whole.
    const int advance = QFontMetrics(widget->font()).horizontalAdvance(text), room = widget->contentsRect().width();
    const QString measured = QStringLiteral("%1 in %2 px, %3").arg(advance).arg(room).arg(QFontInfo(widget->font()).family());
    QVERIFY2(!tahoma || advance <= room, qPrintable(measured));
}

void FaceAndCatalogueTest::slotsAndImages()
{
    QVERIFY(write(QStringLiteral("TovikAIO/Files/1.0/setup.exe"), "old"));
    open(catalogueWith(QStringLiteral("1.0"), QStringLiteral("http://files.example/dl/setup.exe")));
    QVERIFY(window->minimumSize() == QSize(520, 290) && window->maximumSize() == QSize(520, 290));
    const QMetaObject *meta = window->metaObject();
    QStringList table;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        QVERIFY(method.methodType() == QMetaMethod::Slot && method.access() == QMetaMethod::Private);
        table << QString::fromLatin1(QByteArray(method.typeName()) + ' ' + method.methodSignature());
    }
    QCOMPARE(table, QStringList({"QString saveFileName(QUrl)", "bool saveToDisk(QString,QIODevice*)",
                                 "void on_btnDownload_clicked()", "void on_cbName_currentIndexChanged(QString)",
                                 "void on_cbVer_currentIndexChanged(QString)",
                                 "void networkReplyProgress(qlonglong,qlonglong)", "void updateCaption()",
                                 "void ReadString(QNetworkReply*)", "QNetworkReply* Download(QUrl)",
                                 "void receiveData(QNetworkReply*)", "void on_btnClose_clicked()", "void on_btnInstall_clicked()",
                                 "void cancelDownload(QNetworkReply*)", "void resetControl()", "void on_btnOpen_clicked()"}));
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

void FaceAndCatalogueTest::listing_data()
{
    QTest::addColumn<Reply>("answer");
    QTest::addColumn<QStringList>("products");
    QTest::addColumn<QStringList>("versions"); // of the first product
    QTest::addColumn<QStringList>("shown"); // each change list shown, then after switching to the second product
    const auto json = [](const char *body) { return reply(200, body); };
    const QStringList none;
    QTest::newRow("names reversed") << json(R"({"b":{},"A":{},"a":{}})") << QStringList{"A", "a", "b"} << none << none;
    QTest::newRow("UTF-16 order") << json(R"({"Ａ":{},"😀":{"data":{"Ａ":{"active":true,"changelist":"Ａ"},
        "😀":{"active":true,"changelist":"😀"}}}})") << QStringList{"😀", "Ａ"} << QStringList{"😀", "Ａ"} << QStringList{"😀", "Ａ", ""};
    QTest::newRow("active versions, ordinal") << json(R"({"P":{"data":{"2.0":{"active":false},"1.9":{"active":true,
        "changelist":"nine"},"1.10":{"active":true,"changelist":"ten"},"3":{"active":"true"},"4":{"active":1},"5":{}}}})")
        << QStringList{"P"} << QStringList{"1.10", "1.9"} << QStringList{"ten", "nine"};
    QTest::newRow("switch reads the old product first") << json(R"({"A":{"data":{"":{"changelist":"old"},"1":{"active":true,
        "changelist":"a1"}}},"B":{"data":{"1":{"active":true,"changelist":"b1"},"2":{"active":true,"changelist":"b2"}}}})")
        << QStringList{"A", "B"} << QStringList{"1"} << QStringList{"a1", "old", "b1", "b2"};
    QTest::newRow("switch to no versions") << json(R"({"A":{"data":{"1":{"active":true,"changelist":"a1"}}},"B":5})")
                                           << QStringList{"A", "B"} << QStringList{"1"} << QStringList{"a1", ""};
    QTest::newRow("array") << json(R"([{"a":{}}])") << none << none << none;
    QTest::newRow("error page") << reply(500, "<h1>oops</h1>") << none << none << none;
}

void FaceAndCatalogueTest::listing()
{
    QFETCH(Reply, answer);
    QFETCH(QStringList, products);
    QFETCH(QStringList, versions);
    QFETCH(QStringList, shown);
    load(answer);
    for (const auto &[name, expected] : {qMakePair(QByteArray("cbName"), products), qMakePair(QByteArray("cbVer"), versions)}) {
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

void FaceAndCatalogueTest::buttonsFollowTheDisk_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("onDisk"); // under the version folder; "" the folder alone
    QTest::addColumn<bool>("openEnabled");
    QTest::addColumn<bool>("installEnabled");
    const QString link = QStringLiteral("http://files.example/dl/setup.exe");
    QTest::newRow("nothing") << link << QString() << false << false;
    QTest::newRow("folder only") << link << "" << true << false;
    QTest::newRow("folder and file") << link << "setup.exe" << true << true;
    QTest::newRow("link ending in a slash") << "http://files.example/dl/" << "" << true << true;
}

void FaceAndCatalogueTest::buttonsFollowTheDisk()
{
    QFETCH(QString, link);
    QFETCH(QString, onDisk);
    QFETCH(bool, openEnabled);
    QFETCH(bool, installEnabled);
    QVERIFY(onDisk.isNull() || (onDisk.isEmpty() ? QDir(home->path()).mkpath(QStringLiteral("TovikAIO/Files/1.0"))
                                                 : write(QStringLiteral("TovikAIO/Files/1.0/") + onDisk, "old")));
    load(reply(200, catalogueWith(QStringLiteral("1.0"), link)));
    QCOMPARE(button("btnOpen")->isEnabled(), openEnabled);
    QCOMPARE(button("btnInstall")->isEnabled(), installEnabled);
}

QTEST_MAIN(FaceAndCatalogueTest)
#include "tst_face_and_catalogue.moc"
