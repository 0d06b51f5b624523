#ifndef LECTERN_SHELL_MAINWEBVIEW_H
#define LECTERN_SHELL_MAINWEBVIEW_H

#include "TrustedHosts.h"

#include <QList>
#include <QSslError>
#include <QString>
#include <QUrl>
#include <QWebView>

class ClickerManager;
class PresentationToolPage;
class QCloseEvent;
class QLabel;
class QMovie;
class QNetworkReply;
class QSettings;
class QtToolController;

// The program's only top-level window: a web view over the service's web
// application. Its constructor assembles the page, the cookie jar, the script
// bridge and the clicker manager; all of them live until the process ends.
class MainWebView : public QWebView
{
    Q_OBJECT

public:
    // `startupSettings` is the start-up settings object with the group "defaults"
    // open; the window reads and writes the `logout` key through it.
    // `trustedHostNames` are the hosts trusted besides the start URL's (see
    // TrustedHosts); `cookieFile` is where the cookie jar keeps its cookies.
    MainWebView(const QString &startUrlText, const QString &logFile, QSettings *startupSettings,
                const QStringList &trustedHostNames = {},
                const QString &cookieFile = QStringLiteral(".brq_cookies"),
                QWidget *parent = nullptr);
    // In the program the window lives until the process ends; a window that is
    // destroyed earlier takes down everything its constructor created.
    ~MainWebView() override;

    // Loads the start URL into the view (not a reload of the current page).
    void loadStartUrl();

    // Asks whether to run on without SSL support; true means go on.
    static bool confirmRunWithoutSsl(QWidget *parent);

    QtToolController *bridge() const { return controller; }
    ClickerManager *clickers() const { return clickerManager; }

protected:
    void closeEvent(QCloseEvent *event) override;

private slots:
    void evaluateScript(QString script);
    void addJSObject();
    void handleSslErrors(QNetworkReply *reply, QList<QSslError> errors);
    void replyFinished(QNetworkReply *reply);
    void goTop();
    void logoutStateChanged(int state);

private:
    void buildLoadingOverlay();
    void sendProbe();
    void logOut();

    ClickerManager *clickerManager = nullptr;
    QtToolController *controller = nullptr;
    QLabel *loadingLabel = nullptr;
    QMovie *loadingMovie = nullptr;
    QUrl startUrl;
    QSettings *settings = nullptr;
    TrustedHosts trustedHosts;
    // The page set in the constructor, for its log.
    PresentationToolPage *presentationPage = nullptr;
};

#endif // LECTERN_SHELL_MAINWEBVIEW_H
