#include "PresentationToolPage.h"

#include <QCoreApplication>
#include <QNetworkAccessManager>
#include <QNetworkCookieJar>
#include <QWebFrame>
#include <QWebSettings>

const char *const PresentationToolPage::userAgent =
    "Mozilla/5.0 (quilletPresentationTool; en-US; rv:1.9.1.2;) Gecko/20090729 Firefox/3.5.2";

namespace {

// The start URL with the report's path; its scheme, host, port and query stay.
QUrl reportUrlFor(const QString &startUrlText)
{
    QUrl url(startUrlText);
    url.setPath(QStringLiteral("/ereport_javascript_timeout/"));
    return url;
}

} // namespace

PresentationToolPage::PresentationToolPage(const QString &startUrlText, const QString &logPath,
                                           int scriptReportMs)
    : QWebPage(nullptr), reportUrl(reportUrlFor(startUrlText)), watchdog(reportUrl, scriptReportMs),
      logFile(logPath)
{
    // Truncated, so that the log holds this run's lines alone. An unopenable
    // file leaves the stream without a device: entries are then dropped.
    if (logFile.open(QIODevice::ReadWrite | QIODevice::Text | QIODevice::Truncate)) {
        logStream.setDevice(&logFile);
    }
    // The start line keeps the system's own spelling, "Initialzied": log
    // readers match it as it stands, so it is not to be corrected.
    writeLogLine(QStringLiteral("Initialzied PresentationToolPage"));
    settings()->setAttribute(QWebSettings::PluginsEnabled, true);

    // The report names the page shown when the GUI thread got stuck, and the
    // stuck thread can no longer be asked: every frame's change of URL, and
    // the end of each load (a <base> element, new cookies), update it.
    watchFrame(mainFrame());
    connect(this, &QWebPage::frameCreated, this, &PresentationToolPage::watchFrame);
    connect(this, &QWebPage::loadFinished, this, &PresentationToolPage::updateReport);
    // The report's reply is a reply of the start host like any other: its
    // cookies go to the jar (once the stuck script lets the GUI thread go).
    connect(&watchdog, &ScriptWatchdog::replyCookiesReceived, this,
            [this](const QList<QNetworkCookie> &replyCookies) {
                networkAccessManager()->cookieJar()->setCookiesFromUrl(replyCookies, reportUrl);
            });
    // Watching begins with the event loop: the time the program takes to
    // start is no page script.
    QMetaObject::invokeMethod(
        &watchdog, [this]() { watchdog.start(); }, Qt::QueuedConnection);
}

PresentationToolPage::~PresentationToolPage()
{
    // The web page's own destructor still emits load and URL signals, after
    // this part of the object is gone: they must not reach updateReport().
    disconnect(this, nullptr, this, nullptr);
    unwatchFrames(mainFrame());
}

bool PresentationToolPage::shouldInterruptJavaScript()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    updateReport();
    watchdog.reportNow();
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

void PresentationToolPage::updateReport()
{
    watchdog.setCourse(currentFrame()->baseUrl().path(QUrl::FullyEncoded));
    watchdog.setCookies(networkAccessManager()->cookieJar()->cookiesForUrl(reportUrl));
}

void PresentationToolPage::watchFrame(QWebFrame *frame)
{
    connect(frame, &QWebFrame::urlChanged, this, &PresentationToolPage::updateReport);
}

void PresentationToolPage::unwatchFrames(QWebFrame *frame)
{
    disconnect(frame, nullptr, this, nullptr);
    for (QWebFrame *child : frame->childFrames())
        unwatchFrames(child);
}
