// The face at each scaling; the catalogue's lists, and what the folder and install buttons open.
#include "display_scaling.h"
#include "fixture.h"
#ifdef Q_OS_WIN
#include <windows.h>
#endif
Q_DECLARE_METATYPE(Reply)
class FaceAndCatalogueTest : public Fixture
{
    Q_OBJECT
    // Each product in turn, "name [versions] 'changes'"; then what the folder and install buttons open.
    QString seen()
    {
        auto *products = window->findChild<QComboBox *>("cbName"), *versions = window->findChild<QComboBox *>("cbVer");
        QStringList lines, opened;
        for (int i = 0; i < products->count(); ++i) {
            products->setCurrentIndex(i);
            QStringList listed;
            for (int v = 0; v < versions->count(); ++v)
                listed << versions->itemText(v);
            lines << products->currentText() + " [" + listed.join(' ') + ']';
            for (const QString &text : qExchange(changesShown, {}))
                lines.last() += " '" + text + '\'';
        }
        for (const char *name : {"btnOpen", "btnInstall"}) {
            QTest::mouseClick(button(name), Qt::LeftButton);
            const QUrl url = qExchange(desktop, {}).value(0, QUrl("nothing"));
            opened << (button(name)->isEnabled() ? url.toDisplayString(QUrl::PreferLocalFile) : "off");
        }
        return (lines << opened.join(" and ")).join(" | ").replace(home->path() + "/TovikAIO/Files/", "~/");
    }

public:
    static void initMain() { enableDisplayScaling(); } // as the program does
private slots:
    void init() { startTest(); }
    void cleanup() { endTest(); }

    // In logical pixels; a row runs where the display is at its scale (CTest starts one for each).
    void face_data()
    {
        QTest::addColumn<qreal>("scale");
        for (int percent : {100, 125, 150, 175, 200})
            QTest::addRow("%d%%", percent) << percent / 100.0;
    }
    void face()
    {
        QFETCH(qreal, scale);
        open(catalogueWith("1.0", "http://files.example/dl/setup.exe"));
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
#ifdef Q_OS_WIN
        const qreal dpi = GetDeviceCaps(GetDC(nullptr), LOGPIXELSX); // Windows' own setting
#else
        const qreal dpi = window->screen()->physicalDotsPerInch() * window->devicePixelRatioF();
#endif
        if (qAbs(dpi - 96 * scale) > 1)
            QSKIP(qPrintable(QStringLiteral("the display is at %1 dpi").arg(dpi)));
        const QSize size = window->screen()->grabWindow(window->winId()).size();
        QStringList seen {QStringLiteral("window %1x%2").arg(size.width()).arg(size.height())
                          + (window->minimumSize() == window->maximumSize() ? " fixed" : "")};
        for (QWidget *w : window->findChildren<QWidget *>(QRegularExpression("^(label|cb|btn)"))) {
            const QString text = w->property(w->inherits("QComboBox") ? "currentText" : "text").toString();
            const auto *b = qobject_cast<QPushButton *>(w); // its image sharp at each scale
            seen << QString::asprintf("%s %d,%d %dx%d", qPrintable(w->objectName()), w->x(), w->y(), w->width(),
                                      w->height())
                            + (w->font().family() == "Tahoma" && w->font().pointSize() == 10 ? " Tahoma" : "")
                            + (w->isEnabled() ? "" : " disabled")
                            + (b && scale > 1 && b->icon().pixmap(b->iconSize()).devicePixelRatio() == 1 ? " blurred"
                                                                                                         : "")
                            + (w->fontMetrics().horizontalAdvance(text) > w->contentsRect().width() ? " cut: " : ": ")
                            + text;
        }
        QCOMPARE(seen,
                 (QStringList {QStringLiteral("window %1x%2 fixed").arg(qRound(520 * scale)).arg(qRound(290 * scale)),
                               "label 14,17 61x16 Tahoma: Phần mềm", "cbName 78,12 411x25 Tahoma: P",
                               "label_2 14,47 61x16 Tahoma: Phiên bản", "cbVer 78,42 411x25 Tahoma: 1.0",
                               "btnClose 409,199 81x31:   Đóng", "label_7 15,215 41x16: Total",
                               "label_8 15,197 41x16: Speed", "btnInstall 160,199 81x31 disabled:   Cài đặt",
                               "btnDownload 326,199 81x31:   Tải về", "label_3 13,74 61x16 Tahoma: Thông tin",
                               "label_4 13,90 61x16 Tahoma: phiên bản", // no folder yet
                               "btnOpen 243,199 81x31 disabled: Thư mục"}));
        // Where the bar shows: under no other widget, above the status bar.
        for (QWidget *w : bar()->parentWidget()->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly))
            QVERIFY2(w == bar() || !w->geometry().intersects(bar()->geometry()), qPrintable(w->objectName()));
        QVERIFY(bar()->mapTo(window.get(), QPoint(0, bar()->height())).y() <= window->statusBar()->y());
    }

    void catalogue_data()
    {
        QTest::addColumn<Reply>("catalogue");
        QTest::addColumn<QString>("seen");
        const QString untouched = "nothing and off"; // as the face starts
        const QByteArray exact = QByteArray((8 << 20) - 8, ' ') + R"({"P":{}})"; // 8 MiB = 8 * 1024 * 1024 bytes
        // A catalogue's answer, written with ' for " and {ON for {'active':true.
        const auto json
                = [](QByteArray j) { return reply(200, j.replace("{ON", "{'active':true").replace('\'', '"')); };
        const auto one = [&](const char *version, const char *link) { return json(catalogueWith(version, link)); };

        // Ordinal order (upper case first, by UTF-16 code unit); only "active" true lists; the last one chosen.
        QTest::newRow("order")
                << json("{'b':1,'A':{'data':{'1.9':{ON,'changelist':'9'},'1.10':{ON,'changelist':'10'},"
                        "'2':{'active':false},'3':{'active':'true'}}},"
                        "'B':{},'a':{},'Ａ':{},'😀':{'data':{'Ａ':{ON},'😀':{ON}}}}")
                << "A [1.10 1.9] '10' '9' | B [] '' | a [] | b [] | 😀 [😀 Ａ] '' '' | Ａ [] '' | ~/ and ~//";
        // Plain text, a number as none; a switch first shows the version "" of the product left.
        QTest::newRow("change lists") << json(
                "{'P':{'data':{'':{'changelist':'P'},'1':{ON,'changelist':'1\\n<b>2</b>'}}},"
                "'Q':{'data':{'1':{ON,'changelist':7}}}}")
                                      << "P [1] '1\n<b>2</b>' | Q [1] 'P' '' | off and off";

        // An object up to a NUL, whatever the status; else nothing. 8 MiB at most.
        QTest::newRow("error status, BOM, object, NUL, junk")
                << reply(500, "\xEF\xBB\xBF{\"P\":{}}" + QByteArray(1, 0) + "]]") << "P [] | " + untouched;
        QTest::newRow("text after the object") << json("{'P':{}} x") << untouched;
        QTest::newRow("never answers") << Reply {{}, -1, true} << untouched; // given up after the stall time
        QTest::newRow("8 MiB") << Reply {chunked(exact).bytes, -1, false, 16 << 20} << "P [] | " + untouched;
        QTest::newRow("over 8 MiB, ended before it can be stopped")
                << Reply {chunked(exact + ' ').bytes, -1, false, 0, true} << untouched;

        // The folder, and the file (its name decoded), when they exist; the product is no part of the path.
        QTest::newRow("two products, one file")
                << json("{'A':{'data':{'1.0':{ON,'downloadlink':'http://a/set%20up.exe'}}},"
                        "'B':{'data':{'1.0':{ON,'downloadlink':'http://b/x/set%20up.exe?a.exe#b.exe'}}}}")
                << "A [1.0] '' | B [1.0] '' '' | ~/1.0 and ~/1.0/set up.exe";
        QTest::newRow("folder alone") << one("2.0", "http://h/setup.exe") << "P [2.0] 'notes' | ~/2.0 and off";
        QTest::newRow("names next to the refused ones")
                << one("..1/COM10 a", "http://h/CONSOLE.exe")
                << "P [..1/COM10 a] 'notes' | ~/..1/COM10 a and ~/..1/COM10 a/CONSOLE.exe";
    }
    void catalogue()
    {
        QFETCH(Reply, catalogue);
        QFETCH(QString, seen);
        for (const QString file : {"1.0/set up.exe", "2.0/other", "..1/COM10 a/CONSOLE.exe"}) // in every home
            QVERIFY(write("TovikAIO/Files/" + file, "MZ"));
        open(catalogue);
        QCOMPARE(this->seen(), seen);
        verifyFace({false, !seen.endsWith("and off"), !seen.contains(QRegularExpression("(^| )off and")), QString(),
                    ": 0.00 KB/ 0.00 KB"});
        QCOMPARE(boxes.size(), 0);
        QCOMPARE(server.requests.size(), 1); // the catalogue, once: never again, even after a failure
        QTest::mouseClick(button("btnClose"), Qt::LeftButton);
        QVERIFY(!window->isVisible());
    }
};
QTEST_MAIN(FaceAndCatalogueTest)
#include "tst_face_and_catalogue.moc"