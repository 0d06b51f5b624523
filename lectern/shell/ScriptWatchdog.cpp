#include "ScriptWatchdog.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslError>
#include <QVariant>

int ScriptWatchdog::thresholdFromSetting(const QVariant &value)
{
    // Through the text: QVariant's own conversion truncates a number beyond
    // int without failing.
    bool wholeNumber = false;
    const int ms = value.toString().toInt(&wholeNumber);
    return wholeNumber ? qMax(minimumThresholdMs, ms) : defaultThresholdMs;
}

ScriptWatchdog::OutsideScript::OutsideScript(ScriptWatchdog *watched) : watchdog(watched)
{
    if (watchdog != nullptr) {
        QMutexLocker lock(&watchdog->mutex);
        ++watchdog->waitsOutsideScript;
    }
}

ScriptWatchdog::OutsideScript::~OutsideScript()
{
    if (watchdog != nullptr) {
        QMutexLocker lock(&watchdog->mutex);
        --watchdog->waitsOutsideScript;
        // Counts as an answer: script after the wait gets the whole threshold.
        watchdog->pingAnswered = true;
    }
}

ScriptWatchdog::ScriptWatchdog(const QUrl &url, int timeoutMs)
    : reportUrl(url), thresholdMs(timeoutMs)
{
}

ScriptWatchdog::~ScriptWatchdog()
{
    {
        QMutexLocker lock(&mutex);
        stopping = true;
        wakeUp.wakeAll();
    }
    // Ends the wait for a report's answer; one that has not begun yet
    // returns at once.
    quit();
    wait();
}

void ScriptWatchdog::setCourse(const QString &encodedPath)
{
    QMutexLocker lock(&mutex);
    course = encodedPath;
}

void ScriptWatchdog::setCookies(const QList<QNetworkCookie> &reportCookies)
{
    QMutexLocker lock(&mutex);
    cookies = reportCookies;
}

void ScriptWatchdog::reportNow()
{
    QMutexLocker lock(&mutex);
    reportRequested = true;
    wakeUp.wakeAll();
}

void ScriptWatchdog::run()
{
    if (waitUntilDue()) {
        sendReport();
    }
}

// True once the GUI thread has left a ping unanswered for the threshold outside
// marked waits, or a report is asked for; false when the watchdog is being
// stopped.
bool ScriptWatchdog::waitUntilDue()
{
    const int checkMs = qMax(1, thresholdMs / 10);
    QElapsedTimer pingAge;
    QMutexLocker lock(&mutex);
    while (!stopping && !reportRequested) {
        if (waitsOutsideScript > 0) {
            // The ping is answered once the wait and what follows it let go.
            pingAge.start();
        } else if (pingAnswered.exchange(false)) {
            pingAge.start();
            // Runs on the GUI thread, which this object belongs to.
            QMetaObject::invokeMethod(
                this, [this]() { pingAnswered = true; }, Qt::QueuedConnection);
        } else if (pingAge.hasExpired(thresholdMs)) {
            return true;
        }
        wakeUp.wait(&mutex, checkMs);
    }
    return !stopping;
}

void ScriptWatchdog::sendReport()
{
    QNetworkRequest request(reportUrl);
    QByteArray body;
    {
        QMutexLocker lock(&mutex);
        if (!cookies.isEmpty()) {
            request.setHeader(QNetworkRequest::CookieHeader, QVariant::fromValue(cookies));
        }
        body = "course=" + QUrl::toPercentEncoding(course, "/");
    }
    request.setHeader(QNetworkRequest::ContentTypeHeader,
                      QByteArrayLiteral("application/x-www-form-urlencoded"));
    QNetworkAccessManager network;
    QNetworkReply *reply = network.post(request, body);
    // The report goes to the start URL's host, whose certificate errors are
    // ignored as they are for its pages.
    connect(reply, &QNetworkReply::sslErrors, reply,
            [reply](const QList<QSslError> &errors) { reply->ignoreSslErrors(errors); });
    // Of the answer only its cookies are kept; the thread ends with it.
    connect(reply, &QNetworkReply::finished, reply, [this, reply]() {
        const auto replyCookies =
            reply->header(QNetworkRequest::SetCookieHeader).value<QList<QNetworkCookie>>();
        if (!replyCookies.isEmpty()) {
            emit replyCookiesReceived(replyCookies);
        }
        quit();
    });
    exec();
}
