#include "ShellTestSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QTimer>

#include <csignal>
#include <sys/prctl.h>
#include <sys/stat.h>

void DevService::ChildProcess::setupChildProcess()
{
    prctl(PR_SET_PDEATHSIG, SIGTERM);
}

DevService::DevService()
{
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QStringLiteral("python3"),
                  {QStringLiteral(DEVSERVICE_SCRIPT), QStringLiteral("--port"), QStringLiteral("0"),
                   QStringLiteral("--quiet")});
    if (!process.waitForStarted(10000)) {
        return;
    }
    // First line: "devservice http=<url> https=<url>".
    while (!process.canReadLine() && process.waitForReadyRead(15000)) {
    }
    const QString line = QString::fromUtf8(process.readLine());
    const QRegularExpression urls(QStringLiteral("http=(\\S+) https=(\\S+)"));
    const QRegularExpressionMatch match = urls.match(line);
    if (match.hasMatch()) {
        httpUrl = match.captured(1);
        httpsUrl = match.captured(2);
    }
}

DevService::~DevService()
{
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

QByteArray DevService::call(const QByteArray &method, const QString &path) const
{
    QNetworkAccessManager network;
    QNetworkReply *reply =
        network.sendCustomRequest(QNetworkRequest(QUrl(httpUrl + path)), method, QByteArray());
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
    const QByteArray body = reply->readAll();
    delete reply;
    return body;
}

QJsonArray DevService::records(const QString &kind) const
{
    const QJsonDocument all = QJsonDocument::fromJson(call("GET", QStringLiteral("/api/records")));
    return all.object().value(kind).toArray();
}

QJsonArray DevService::requestsFor(const QString &path) const
{
    QJsonArray matching;
    for (const QJsonValue &request : records(QStringLiteral("requests"))) {
        if (request.toObject().value(QStringLiteral("path")).toString() == path) {
            matching.append(request);
        }
    }
    return matching;
}

void DevService::reset() const
{
    call("POST", QStringLiteral("/api/reset"));
}

ScratchDirectory::ScratchDirectory() : previous(QDir::currentPath())
{
    QDir::setCurrent(dir.path());
}

ScratchDirectory::~ScratchDirectory()
{
    QDir::setCurrent(previous);
}

std::unique_ptr<QSettings> openDefaults(const QString &dir)
{
    auto settings = std::make_unique<QSettings>(QDir(dir).filePath(QStringLiteral("settings.ini")),
                                                QSettings::IniFormat);
    settings->beginGroup(QStringLiteral("defaults"));
    return settings;
}

bool writeDefaults(const QString &dir, const QByteArray &lines)
{
    QFile file(QDir(dir).filePath(QStringLiteral("settings.ini")));
    return file.open(QIODevice::WriteOnly) && file.write("[defaults]\n" + lines + "\n") > 0;
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return QString();
    }
    return QString::fromUtf8(file.readAll());
}

bool writeFile(const QString &path, const QByteArray &bytes, int mode)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return false;
    file.close();
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

int modeOf(const QString &path)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

FileCreationMask::FileCreationMask(mode_t mask) : previous(::umask(mask)) {}

FileCreationMask::~FileCreationMask()
{
    ::umask(previous);
}
