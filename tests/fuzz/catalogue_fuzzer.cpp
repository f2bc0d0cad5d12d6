// Arbitrary bytes as the real window's catalogue, every product and version chosen in turn: no crash, the last
// version current after a product change, and the file actions opening nothing outside the downloads folder
// (names that climb out find folders there to open). Linked with libFuzzer when TOVIK_FUZZ is on, else with the
// replay main below.
#include "fixture.h"
namespace {
void check(bool ok, const char *what, const QString &detail)
{
    if (!ok)
        qFatal("catalogue fuzzer: %s: %s", what, qPrintable(detail));
}
// The fixture's server, home and desktop, kept for the whole run.
struct Fuzz : Fixture
{
    Fuzz()
    {
        startTest();
        setHome(home->filePath(QStringLiteral("home")));
        for (const char *folder : {"home/TovikAIO/Files/1.0", "home/secret"})
            write(QLatin1String(folder) + "/setup.exe", {});
    }
    void run(const QByteArray &catalogue)
    {
        open(catalogue);
        auto *products = window->findChild<QComboBox *>(QStringLiteral("cbName"));
        auto *versions = window->findChild<QComboBox *>(QStringLiteral("cbVer"));
        for (int p = 0; p < products->count(); ++p) {
            products->setCurrentIndex(p);
            check(versions->currentIndex() == versions->count() - 1, "last version not current", products->itemText(p));
            for (int v = 0; v < versions->count(); ++v) {
                versions->setCurrentIndex(v);
                desktop.clear();
                button("btnOpen")->click();
                button("btnInstall")->click();
                const QString downloads = home->filePath(QStringLiteral("home/TovikAIO/Files/"));
                for (const QUrl &url : desktop) {
                    const QString path
                            = QDir::cleanPath(url.isLocalFile() ? url.toLocalFile() : url.path(QUrl::FullyDecoded));
                    check(path.startsWith(downloads) || path + '/' == downloads, "opens outside the downloads", path);
                }
            }
        }
        window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};
Fuzz *fuzz;
} // namespace
extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    new QApplication(*argc, *argv);
    fuzz = new Fuzz;
    return 0;
}
extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz->run(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    return 0;
}
#ifndef TOVIK_LIBFUZZER
// Replays every file of the folders named, once each.
int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    for (const QString &folder : QCoreApplication::arguments().mid(1)) {
        check(QDir(folder).exists(), "no such folder", folder);
        for (const QFileInfo &input : QDir(folder).entryInfoList(QDir::Files)) {
            QFile file(input.filePath());
            check(file.open(QIODevice::ReadOnly), "cannot read", input.filePath());
            fuzz->run(file.readAll());
        }
    }
}
#endif
