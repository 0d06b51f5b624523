#ifndef LECTERN_SHELL_SCRIPTWATCHDOG_H
#define LECTERN_SHELL_SCRIPTWATCHDOG_H

#include <QList>
#include <QMutex>
#include <QNetworkCookie>
#include <QString>
#include <QThread>
#include <QUrl>
#include <QVariant>
#include <QWaitCondition>

#include <atomic>

// Reports a page script that holds the GUI thread too long, once per run,
// without interrupting it. The web engine does not ask about long scripts, so
// a thread of its own watches the GUI thread: every tenth of the threshold it
// posts a ping that the GUI thread's event loop answers, and a ping left
// unanswered for the whole threshold means that page script is stuck. Dialogs
// run nested event loops, which answer; a synchronous request blocks the GUI
// thread without one, so its wait is marked (OutsideScript) and does not
// count: counting starts again where it ends. The report then goes out
// from the watchdog's thread through a network access manager of its own,
// since the page's one belongs to the stuck thread. The GUI thread keeps the
// report's course and cookies up to date meanwhile, and stores the cookies
// that the report's reply sets. After its one report the thread ends.
class ScriptWatchdog : public QThread
{
    Q_OBJECT

public:
    // How long a page script may hold the GUI thread before it is reported:
    // the classic engines' ten seconds. Far above what the service's pages
    // ever need (a burst of votes, a screenshot, a sign-in take well under a
    // second even on a slow computer), so the report means a page that hangs,
    // not a busy one.
    static constexpr int defaultThresholdMs = 10000;
    // Below a second, ordinary work of the GUI thread (a page's layout, a
    // screenshot) would pass for a hang.
    static constexpr int minimumThresholdMs = 1000;

    // The threshold that the setting `value` asks for: a whole number of
    // milliseconds, raised to the minimum; the default when the setting is
    // missing or no whole number.
    static int thresholdFromSetting(const QVariant &value);

    // For its lifetime the GUI thread waits for something other than page
    // script (a synchronous request's answer), however long: no report. A
    // watchdog that is gone already (a page's unload handlers run after it)
    // has nothing to mark.
    class OutsideScript
    {
    public:
        explicit OutsideScript(ScriptWatchdog *watched);
        ~OutsideScript();
        OutsideScript(const OutsideScript &) = delete;
        OutsideScript &operator=(const OutsideScript &) = delete;

    private:
        ScriptWatchdog *const watchdog;
    };

    ScriptWatchdog(const QUrl &url, int timeoutMs);
    // Stops watching, abandons a report still in flight and joins the thread.
    ~ScriptWatchdog() override;

    // The encoded path that the report sends as `course`.
    void setCourse(const QString &encodedPath);
    // The cookies that go with the report.
    void setCookies(const QList<QNetworkCookie> &reportCookies);
    // Sends the report at once, unless the run has sent it already.
    void reportNow();

signals:
    // The cookies that the report's reply sets; emitted on the watchdog's own
    // thread, for the GUI thread's cookie jar.
    void replyCookiesReceived(const QList<QNetworkCookie> &replyCookies);

protected:
    void run() override;

private:
    bool waitUntilDue();
    void sendReport();

    const QUrl reportUrl;
    const int thresholdMs;
    // Set by the GUI thread when it handles the latest ping.
    std::atomic<bool> pingAnswered{true};

    // Protects course, cookies, waitsOutsideScript, reportRequested and
    // stopping; wakeUp waits on it.
    QMutex mutex;
    QWaitCondition wakeUp;
    QString course;
    QList<QNetworkCookie> cookies;
    int waitsOutsideScript = 0;
    bool reportRequested = false;
    bool stopping = false;
};

#endif // LECTERN_SHELL_SCRIPTWATCHDOG_H
