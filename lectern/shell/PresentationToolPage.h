#ifndef LECTERN_SHELL_PRESENTATIONTOOLPAGE_H
#define LECTERN_SHELL_PRESENTATIONTOOLPAGE_H

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
    PresentationToolPage(const QString &startUrlText, const QString &logPath);

    static const char *const userAgent;

public slots:
    // Called by the web engine, by name, when a script has run for long.
    bool shouldInterruptJavaScript() override;

protected:
    void javaScriptConsoleMessage(const QString &message, int lineNumber,
                                  const QString &sourceID) override;
    QString userAgentForUrl(const QUrl &url) const override;

private:
    void writeLogLine(const QString &line);
    void sendTimeoutReport();

    bool timeoutReported = false;
    QUrl reportUrl;
    QFile logFile;
    QTextStream logStream;
};

#endif // LECTERN_SHELL_PRESENTATIONTOOLPAGE_H
