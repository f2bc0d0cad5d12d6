// The window's face at every display scaling and its by-name connections,
// and the catalogue listing and selection.
#include "display_scaling.h"
#include "fixture.h"
#include "tovik_all_in_one.h"
#include <QtTest>
#include <QtWidgets>
#ifdef Q_OS_WIN
#include <windows.h>
#endif
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

public:
    static void initMain() { enableDisplayScaling(); } // before the application object, as the program does
private slots:
    void init() { startTest(); }
    void cleanup() { endTest(); }
    // The face at each display scaling, in logical pixels: a row runs where
    // the display is at its scale (CTest starts one for each) and skips elsewhere.
    void face_data()
    {
        QTest::addColumn<qreal>("scale");
        for (int percent : {100, 125, 150, 175, 200})
            QTest::newRow(qPrintable(QStringLiteral("%1%").arg(percent))) << percent / 100.0;
    }
    void face()
    {
        QFETCH(qreal, scale);
        QVERIFY(QDir(home->path()).mkpath(QStringLiteral("TovikAIO/Files/1.0"))); // the folder, not the file
        open(catalogueWith(QStringLiteral("1.0"), QStringLiteral("http://files.example/dl/setup.exe")));
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        QScreen *screen
                = window->screen(); // its own DPI, whatever Qt makes of it: Windows' setting, X11's pixels per inch
#ifdef Q_OS_WIN
        struct Dc
        {
            HDC handle = GetDC(nullptr);
            ~Dc() { ReleaseDC(nullptr, handle); }
        };
        const qreal dpi = GetDeviceCaps(Dc().handle, LOGPIXELSX);
#else
        const qreal dpi = screen->physicalDotsPerInch() * screen->devicePixelRatio();
#endif
        if (qAbs(dpi - 96 * scale) > 1)
            QSKIP(qPrintable(QStringLiteral("the display is at %1 dpi").arg(dpi)));
        const QSize shown = screen->grabWindow(window->winId()).size();
        QStringList seen {QStringLiteral("window %1x%2%3")
                                  .arg(shown.width())
                                  .arg(shown.height())
                                  .arg(window->minimumSize() == window->maximumSize() ? " fixed" : "")};
        for (QWidget *widget : window->findChildren<QWidget *>(QRegularExpression(QStringLiteral("^(label|cb|btn)")))) {
            const QString text
                    = widget->property(qobject_cast<QComboBox *>(widget) ? "currentText" : "text").toString();
            int room = widget->contentsRect().width(), needed = widget->fontMetrics().horizontalAdvance(text);
            const bool tahoma = widget->font().family() == QLatin1String("Tahoma") && widget->font().pointSize() == 10;
            QString flaws
                    = QLatin1String(tahoma ? " Tahoma" : "") + QLatin1String(widget->isEnabled() ? "" : " disabled");
            if (auto *button = qobject_cast<QPushButton *>(widget)) {
                QStyleOptionButton option;
                option.initFrom(button);
                room = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button).width();
                needed += button->iconSize().width() + 4; // Qt puts 4 pixels between a button's icon and its text
                if (scale > 1
                    && button->icon().pixmap(window->windowHandle(), button->iconSize()).devicePixelRatio() <= 1)
                    flaws += QStringLiteral(" blurred");
            }
            const QRect r = widget->geometry();
            seen << QStringLiteral("%1 %2,%3 %4x%5%6: ")
                                    .arg(widget->objectName())
                                    .arg(r.x())
                                    .arg(r.y())
                                    .arg(r.width())
                                    .arg(r.height())
                                    .arg(flaws + (needed > room ? QStringLiteral(" cut") : QString()))
                            + text;
        }
        QCOMPARE(seen,
                 (QStringList {QStringLiteral("window %1x%2 fixed").arg(qRound(520 * scale)).arg(qRound(290 * scale)),
                               "label 14,17 61x16 Tahoma: Phần mềm", "cbName 78,12 411x25 Tahoma: P",
                               "label_2 14,47 61x16 Tahoma: Phiên bản", "cbVer 78,42 411x25 Tahoma: 1.0",
                               "btnClose 409,199 81x31:   Đóng", "label_7 15,215 41x16: Total",
                               "label_8 15,197 41x16: Speed", "btnInstall 160,199 81x31 disabled:   Cài đặt",
                               "btnDownload 326,199 81x31:   Tải về", "label_3 13,74 61x16 Tahoma: Thông tin",
                               "label_4 13,90 61x16 Tahoma: phiên bản", "btnOpen 243,199 81x31: Thư mục"}));
    }
    void connectionsAndImages()
    {
        QVERIFY(write(QStringLiteral("TovikAIO/Files/1.0/setup.exe"), "old"));
        open(catalogueWith(QStringLiteral("1.0"), QStringLiteral("http://files.example/dl/setup.exe")));
        verifyFace({false, true, true, QString(), QStringLiteral(": 0.00 KB/ 0.00 KB")});
        // The six images, and at 2x the two that the buttons draw larger than they are on scaled displays.
        QCOMPARE(QDir(":/Icons").entryList(),
                 QStringList({"1452778310_Cancel.png", "1452863351_cross-button.png", "1452863351_cross-button@2x.png",
                              "1464039768_Folder.png", "1464039768_Folder@2x.png", "1464966328_adept_installer.png",
                              "1498635164_download.png", "TovikAIO.png"}));
        for (const QString image : {"1452863351_cross-button", "1464039768_Folder"})
            QCOMPARE(QImage(":/Icons/" + image + "@2x.png").size(), QImage(":/Icons/" + image + ".png").size() * 2);
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
        const QByteArray exact = QByteArray((8 << 20) - 8, ' ') + R"({"P":{}})", large = ' ' + exact; // 8 MiB at most
        QTest::newRow("names reversed") << json(R"({"b":{},"A":{},"a":{}})") << QStringList {"A", "a", "b"} << none
                                        << none;
        QTest::newRow("names differing in case")
                << json(R"({"b":{},"A":{"data":{"v":{"active":true,"changelist":"v"},"V":{"active":true,
            "changelist":"V"}}},"B":{},"a":{}})")
                << QStringList {"A", "B", "a", "b"} << QStringList {"V", "v"} << QStringList {"V", "v", ""};
        QTest::newRow("UTF-16 order") << json(R"({"Ａ":{},"😀":{"data":{"Ａ":{"active":true,"changelist":"Ａ"},
            "😀":{"active":true,"changelist":"😀"}}}})")
                                      << QStringList {"😀", "Ａ"} << QStringList {"😀", "Ａ"}
                                      << QStringList {"😀", "Ａ", ""};
        QTest::newRow("active versions, ordinal")
                << json(R"({"P":{"data":{"2.0":{"active":false},"1.9":{"active":true,
            "changelist":"nine"},"1.10":{"active":true,"changelist":"ten"},"3":{"active":"true"},"4":{"active":1},"5":{}}}})")
                << QStringList {"P"} << QStringList {"1.10", "1.9"} << QStringList {"ten", "nine"};
        QTest::newRow("switch reads the old product first")
                << json(R"({"A":{"data":{"":{"changelist":"old"},"1":{"active":true,
            "changelist":"a1"}}},"B":{"data":{"1":{"active":true,"changelist":"b1"},"2":{"active":true,"changelist":"b2"}}}})")
                << QStringList {"A", "B"} << QStringList {"1"} << QStringList {"a1", "old", "b1", "b2"};
        // Announced, the length alone stops it: the rest never comes. Unannounced, it is refused even when it came
        // whole.
        QTest::newRow("never answers") << Reply {{}, -1, true} << none << none << none; // given up after the time-out
        QTest::newRow("8 MiB announced") << reply(200, exact) << QStringList {"P"} << none << none;
        QTest::newRow("8 MiB without a length")
                << Reply {chunked(exact).bytes, -1, false, 16 << 20} << QStringList {"P"} << none << none;
        QTest::newRow("over 8 MiB announced")
                << Reply {reply(200, large).bytes.left(100), -1, true} << none << none << none;
        QTest::newRow("over 8 MiB without a length")
                << Reply {chunked(large).bytes, -1, false, 16 << 20} << none << none << none;
    }
    void listing()
    {
        QFETCH(Reply, answer);
        QFETCH(QStringList, products);
        QFETCH(QStringList, versions);
        QFETCH(QStringList, shown);
        QElapsedTimer clock;
        clock.start();
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
