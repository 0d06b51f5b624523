#ifndef LECTERN_SHELL_PRESENTATIONTOOLPAGE_H
#define LECTERN_SHELL_PRESENTATIONTOOLPAGE_H

#include "ScriptWatchdog.h"

#include <QFile>
#include <QString>
#include <QTextStream>
#include <QUrl>
#include <QWebPage>

// The page shown by the main window: fixed user agent, a log of the page's
// script console, plug-ins on, and a long-running script that is never
// interrupted but reported to the service once per run.
class PresentationToolPage : public QWebPage
{
    Q_OBJECT

public:
    // `scriptReportMs`: how long a page script may hold the GUI thread before
    // it is reported.
    PresentationToolPage(const QString &startUrlText, const QString &logPath,
                         int scriptReportMs = ScriptWatchdog::defaultThresholdMs);
    ~PresentationToolPage() override;

    static const char *const userAgent;

    // Writes one line to the log (dropped when the log could not be opened).
    void writeLogLine(const QString &line);

    // Watches the GUI thread for stuck page script; waits of the GUI thread
    // that are no page script mark themselves on it.
    ScriptWatchdog &scriptWatchdog() { return watchdog; }

public slots:
    // Called by name by web engines that ask whether to stop a long script.
    // This one never asks; the watchdog notices long scripts by itself.
    bool shouldInterruptJavaScript() override;

protected:
    void javaScriptConsoleMessage(const QString &message, int lineNumber,
                                  const QString &sourceID) override;
    QString userAgentForUrl(const QUrl &url) const override;

private:
    // Hands the watchdog the current frame's path and the report's cookies.
    void updateReport();
    void watchFrame(QWebFrame *frame);
    void unwatchFrames(QWebFrame *frame);

    QUrl reportUrl;
    ScriptWatchdog watchdog;
    QFile logFile;
    QTextStream logStream;
};

#endif // LECTERN_SHELL_PRESENTATIONTOOLPAGE_H
