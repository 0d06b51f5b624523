#include "PresentationToolPage.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QWebFrame>
#include <QWebSettings>

const char *const PresentationToolPage::userAgent =
    "Mozilla/5.0 (quilletPresentationTool; en-US; rv:1.9.1.2;) Gecko/20090729 Firefox/3.5.2";

PresentationToolPage::PresentationToolPage(const QString &startUrlText, const QString &logPath)
    : QWebPage(nullptr), reportUrl(startUrlText), logFile(logPath)
{
    // Truncated, so that the log holds this run's lines alone. An unopenable
    // file leaves the stream without a device: entries are then dropped.
    if (logFile.open(QIODevice::ReadWrite | QIODevice::Text | QIODevice::Truncate)) {
        logStream.setDevice(&logFile);
    }
    // The start line keeps the system's own spelling, "Initialzied": log
    // readers match it as it stands, so it is not to be corrected.
    writeLogLine(QStringLiteral("Initialzied PresentationToolPage"));

    // The report goes to the start URL's host, whatever page is shown later.
    reportUrl.setPath(QStringLiteral("/ereport_javascript_timeout/"));
    settings()->setAttribute(QWebSettings::PluginsEnabled, true);
}

bool PresentationToolPage::shouldInterruptJavaScript()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    if (!timeoutReported) {
        sendTimeoutReport();
        timeoutReported = true;
    }
    return false;
}

void PresentationToolPage::javaScriptConsoleMessage(const QString &message, int lineNumber,
                                                    const QString &sourceID)
{
    writeLogLine(
        QStringLiteral("%1 : %2 : %3").arg(message, QString::number(lineNumber), sourceID));
}

QString PresentationToolPage::userAgentForUrl(const QUrl &) const
{
    return QString::fromLatin1(userAgent);
}

void PresentationToolPage::writeLogLine(const QString &line)
{
    if (logStream.device() == nullptr) {
        return;
    }
    logStream << line << Qt::endl;
}

void PresentationToolPage::sendTimeoutReport()
{
    // Body "course=<encoded path of the current frame's base URL>".
    const QString course = currentFrame()->baseUrl().path(QUrl::FullyEncoded);
    const QByteArray body = "course=" + QUrl::toPercentEncoding(course, "/");
    QNetworkReply *reply = networkAccessManager()->post(QNetworkRequest(reportUrl), body);
    // The answer is never read; free it once it has passed the overlay rule.
    connect(reply, &QNetworkReply::finished, reply, &QObject::deleteLater);
}
