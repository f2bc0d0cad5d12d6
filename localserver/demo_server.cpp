// Serves the demo catalogue and its installers on 127.0.0.1, so that the
// program can be shown without the vendor's server. The program reaches it
// as its HTTP proxy, which is why the hosts in the catalogue do not matter.
// Installers are generated (the byte at offset i is i % 251, which is what
// the catalogue's sha256 values are of), paced, and can be resumed.

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <cstdio>

namespace {

const char CataloguePath[] = "/mordex/files/public/client/installer/Tovik_AIO_config.txt";
// Where a program built with a catalogue key looks for the signature.
const char SignatureSuffix[] = ".minisig";
const char InstallersPrefix[] = "/demo/files/";
const qint64 MiB = 1024 * 1024;
// Slow enough that the progress bar stays on screen for a few seconds.
const qint64 DefaultBytesPerSecond = 3 * MiB / 2;
const qint64 DefaultInstallerSize = 8 * MiB;
const int TickMs = 100;
// Bytes queued on a socket before the server waits for the client.
const qint64 HighWaterBytes = 4 * MiB;
const int PatternPeriod = 251;

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
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("Port on 127.0.0.1; 0 picks a free one."),
                                  QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption data(QStringLiteral("data"), QStringLiteral("Folder that holds catalogue.json."),
                                  QStringLiteral("DIR"), QStringLiteral(TOVIK_DEMO_DATA));
    const QCommandLineOption rate(QStringLiteral("rate"), QStringLiteral("Installer speed in bytes per second."),
                                  QStringLiteral("BYTES_PER_SECOND"), QString::number(DefaultBytesPerSecond));
    parser.addOptions({port, data, rate});
    parser.process(app);

    bool portOk = false;
    bool rateOk = false;
    options->port = parser.value(port).toUShort(&portOk);
    options->bytesPerSecond = parser.value(rate).toLongLong(&rateOk);
    options->dataFolder = QDir(parser.value(data)).absolutePath();
    return portOk && rateOk && options->bytesPerSecond > 0;
}

qint64 installerSize(const QByteArray &name)
{
    for (const DemoInstaller &sized : SizedInstallers) {
        if (name == sized.name)
            return sized.size;
    }
    return DefaultInstallerSize;
}

QByteArray etagOf(qint64 size)
{
    return "\"demo-" + QByteArray::number(size) + '"';
}

// The first byte asked for by "Range: bytes=N-" when If-Range, if any, names
// this installer; 0 (the whole body) otherwise.
qint64 resumeOffset(const QByteArray &range, const QByteArray &ifRange, qint64 size)
{
    bool isNumber = false;
    const qint64 from = range.mid(6, range.size() - 7).toLongLong(&isNumber);
    const bool sameFile = ifRange.isEmpty() || ifRange == etagOf(size);
    if (!range.startsWith("bytes=") || !range.endsWith('-') || !isNumber || from < 0 || from >= size || !sameFile)
        return 0;
    return from;
}

QByteArray head(int status, qint64 length, const QByteArray &headers)
{
    static const QHash<int, QByteArray> reasons {{200, "OK"}, {206, "Partial Content"}, {404, "Not Found"}};
    return "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasons.value(status)
            + "\r\nContent-Length: " + QByteArray::number(length) + "\r\nConnection: close\r\n" + headers + "\r\n";
}

// Writes bytes [from, to) of an installer to a socket at the demo's pace:
// of a real file when one is open, else of the generated pattern.
class InstallerStream : public QObject
{
public:
    InstallerStream(QTcpSocket *socket, qint64 from, qint64 to, qint64 bytesPerSecond, const QString &realFile)
        : QObject(socket)
        , socket(socket)
        , next(from)
        , end(to)
        , perTick(qMax<qint64>(1, bytesPerSecond * TickMs / 1000))
        , file(realFile)
    {
        if (!realFile.isEmpty() && (!file.open(QIODevice::ReadOnly) || !file.seek(from)))
            end = next; // nothing to send: the client sees a short body
        connect(&ticks, &QTimer::timeout, this, &InstallerStream::writeTick);
        ticks.start(TickMs);
    }

private:
    void writeTick()
    {
        if (socket->bytesToWrite() > HighWaterBytes)
            return; // the client reads slower than the pace
        const qint64 size = qMin(perTick, end - next);
        QByteArray piece(int(size), Qt::Uninitialized);
        if (file.isOpen())
            piece = file.read(size);
        else
            for (int i = 0; i < piece.size(); ++i)
                piece[i] = char((next + i) % PatternPeriod);
        socket->write(piece);
        next += size;
        if (next == end) {
            ticks.stop();
            socket->disconnectFromHost();
        }
    }

    QTcpSocket *socket;
    qint64 next;
    qint64 end;
    qint64 perTick;
    QFile file;
    QTimer ticks;
};

// Answers one request per connection: the catalogue and its signature from
// the data folder, the installers: a real file when the data folder's
// "files" holds one of that name, else a generated one; 404 for anything else.
class DemoServer : public QObject
{
public:
    explicit DemoServer(const Options &options)
        : options(options)
    {
        connect(&listener, &QTcpServer::newConnection, this, &DemoServer::accept);
    }

    bool listen(quint16 port) { return listener.listen(QHostAddress::LocalHost, port); }
    quint16 port() const { return listener.serverPort(); }

private:
    void accept()
    {
        while (QTcpSocket *socket = listener.nextPendingConnection()) {
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { read(socket); });
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        }
    }

    void read(QTcpSocket *socket)
    {
        QByteArray request = socket->property("request").toByteArray() + socket->readAll();
        socket->setProperty("request", request);
        const int end = request.indexOf("\r\n\r\n");
        if (end < 0 || socket->property("answered").toBool())
            return;
        socket->setProperty("answered", true);
        QByteArray range;
        QByteArray ifRange;
        const QList<QByteArray> lines = request.left(end).split('\n');
        for (const QByteArray &line : lines.mid(1)) {
            const QByteArray name = line.left(line.indexOf(':')).trimmed().toLower();
            const QByteArray value = line.mid(line.indexOf(':') + 1).trimmed();
            if (name == "range")
                range = value;
            else if (name == "if-range")
                ifRange = value;
        }
        answer(socket, pathOf(lines.value(0).split(' ').value(1)), range, ifRange);
    }

    // The path of an origin-form ("/a?q") or proxy ("http://host/a?q") target.
    static QByteArray pathOf(QByteArray target)
    {
        if (!target.startsWith('/'))
            target = target.mid(target.indexOf('/', target.indexOf("//") + 2));
        if (target.contains('?'))
            target.truncate(target.indexOf('?'));
        return QByteArray::fromPercentEncoding(target);
    }

    void answer(QTcpSocket *socket, const QByteArray &path, const QByteArray &range, const QByteArray &ifRange)
    {
        const QString catalogue = options.dataFolder + QStringLiteral("/catalogue.json");
        if (path == CataloguePath)
            return sendFile(socket, catalogue, "text/plain; charset=utf-8");
        if (path == QByteArray(CataloguePath) + SignatureSuffix)
            return sendFile(socket, catalogue + QLatin1String(SignatureSuffix), "text/plain");
        const QByteArray name = path.mid(int(sizeof InstallersPrefix) - 1);
        if (!path.startsWith(InstallersPrefix) || name.isEmpty() || name.contains('/') || name.contains('\\')
            || name.startsWith('.'))
            return sendNotFound(socket);
        QString real = options.dataFolder + QStringLiteral("/files/") + QString::fromUtf8(name);
        if (!QFileInfo(real).isFile())
            real.clear();
        const qint64 size = real.isEmpty() ? installerSize(name) : QFileInfo(real).size();
        const qint64 from = resumeOffset(range, ifRange, size);
        QByteArray headers
                = "Content-Type: application/octet-stream\r\nAccept-Ranges: bytes\r\nETag: " + etagOf(size) + "\r\n";
        if (from > 0) {
            headers += "Content-Range: bytes " + QByteArray::number(from) + '-' + QByteArray::number(size - 1) + '/'
                    + QByteArray::number(size) + "\r\n";
        }
        socket->write(head(from > 0 ? 206 : 200, size - from, headers));
        new InstallerStream(socket, from, size, options.bytesPerSecond, real);
    }

    void sendFile(QTcpSocket *socket, const QString &path, const QByteArray &contentType)
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return sendNotFound(socket);
        const QByteArray body = file.readAll();
        socket->write(head(200, body.size(), "Content-Type: " + contentType + "\r\n") + body);
        socket->disconnectFromHost();
    }

    void sendNotFound(QTcpSocket *socket)
    {
        socket->write(head(404, 0, {}));
        socket->disconnectFromHost();
    }

    Options options;
    QTcpServer listener;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    Options options;
    if (!parseOptions(app, &options)) {
        std::fprintf(stderr, "tovik_demo_server: --port and --rate take positive numbers\n");
        return 2;
    }
    DemoServer server(options);
    if (!server.listen(options.port)) {
        std::fprintf(stderr, "tovik_demo_server: cannot listen on port %u\n", options.port);
        return 1;
    }
    // The demo script reads the chosen port from this first line.
    std::printf("port %u\n", server.port());
    std::fflush(stdout);
    return app.exec();
}
