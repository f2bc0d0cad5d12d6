// Serves the demo catalogue and its installers on 127.0.0.1, so that the
// program can be shown without the vendor's server. The program reaches it
// as its HTTP proxy, which is why the hosts in the catalogue do not matter.

#include "local_http_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

const char CataloguePath[] = "/mordex/files/public/client/installer/Tovik_AIO_config.txt";
// Where a program built with a catalogue key looks for the signature.
const char SignatureSuffix[] = ".minisig";
const char InstallersPrefix[] = "/demo/files/";
const char DemoFolderPrefix[] = "/demo/";
const qint64 MiB = 1024 * 1024;
// Slow enough that the progress bar stays on screen for a few seconds.
const qint64 DefaultBytesPerSecond = 3 * MiB / 2;
const qint64 DefaultInstallerSize = 8 * MiB;

struct DemoInstaller
{
    const char *name;
    qint64 size;
};

// Installers whose size differs from the default one.
const DemoInstaller SizedInstallers[] = {
    {"TovikTuDien_1.0_setup.exe", 3 * MiB},
    {"TovikTuDien_1.10_setup.exe", 3 * MiB},
    {"TovikVanPhong_2.0_setup.exe", 20 * MiB},
    {"TovikDietVirus_2.0_setup.exe", 20 * MiB},
};

struct Options
{
    quint16 port = 0;
    QString dataFolder;
    qint64 bytesPerSecond = DefaultBytesPerSecond;
};

bool parseOptions(const QCoreApplication &app, Options *options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Serves the Tovik demo catalogue."));
    parser.addHelpOption();
    const QCommandLineOption port(QStringLiteral("port"),
                                  QStringLiteral("Port on 127.0.0.1; 0 picks a free one."),
                                  QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption data(QStringLiteral("data"),
                                  QStringLiteral("Folder that holds catalogue.json."),
                                  QStringLiteral("DIR"), QStringLiteral(TOVIK_DEMO_DATA));
    const QCommandLineOption rate(QStringLiteral("rate"),
                                  QStringLiteral("Installer speed in bytes per second."),
                                  QStringLiteral("BYTES_PER_SECOND"),
                                  QString::number(DefaultBytesPerSecond));
    parser.addOptions({port, data, rate});
    parser.process(app);

    bool portOk = false;
    bool rateOk = false;
    options->port = parser.value(port).toUShort(&portOk);
    options->bytesPerSecond = parser.value(rate).toLongLong(&rateOk);
    options->dataFolder = QDir(parser.value(data)).absolutePath();
    return portOk && rateOk && options->bytesPerSecond > 0;
}

// An installer that a client can resume after a dropped connection.
HttpResponse installer(qint64 size, qint64 bytesPerSecond)
{
    HttpResponse response = HttpResponse::generated(size, bytesPerSecond);
    response.headers.append(qMakePair(QByteArray("Accept-Ranges"), QByteArray("bytes")));
    response.headers.append(qMakePair(QByteArray("ETag"), "\"demo-" + QByteArray::number(size) + '"'));
    return response;
}

void addDemoRoutes(LocalHttpServer *server, const Options &options)
{
    server->serveFile(CataloguePath, options.dataFolder + QStringLiteral("/catalogue.json"),
                      "text/plain; charset=utf-8");
    server->serveFile(QByteArray(CataloguePath) + SignatureSuffix,
                      options.dataFolder + QStringLiteral("/catalogue.json.minisig"), "text/plain");
    server->serveFolder(DemoFolderPrefix, options.dataFolder);
    server->servePrefix(InstallersPrefix,
                        installer(DefaultInstallerSize, options.bytesPerSecond));
    for (const DemoInstaller &sized : SizedInstallers) {
        server->serve(QByteArray(InstallersPrefix) + sized.name,
                      installer(sized.size, options.bytesPerSecond));
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseOptions(app, &options)) {
        std::fprintf(stderr, "tovik_demo_server: --port and --rate take positive numbers\n");
        return 2;
    }
    LocalHttpServer server;
    addDemoRoutes(&server, options);
    if (!server.listen(options.port)) {
        std::fprintf(stderr, "tovik_demo_server: cannot listen on port %u\n", options.port);
        return 1;
    }
    // The demo script reads the chosen port from this first line.
    std::printf("port %u\n", server.port());
    std::fflush(stdout);
    return app.exec();
}
