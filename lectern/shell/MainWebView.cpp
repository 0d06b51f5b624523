#include "MainWebView.h"

#include "ClickerManager.h"
#include "CookieJar.h"
#include "PresentationToolPage.h"
#include "QtToolController.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QMovie>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSettings>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <QWebFrame>

#include <cstdlib>

namespace {

const char logoutKey[] = "logout";
constexpr int raiseIntervalMs = 1000;

QIcon programIcon()
{
    QIcon icon;
    for (int size : {256, 128, 48, 32, 16}) {
        icon.addFile(QStringLiteral(":/icons/lectern-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

// The page's network access manager. The web engine runs a synchronous request
// (a synchronous XMLHttpRequest) to its end inside createRequest(), and for such
// requests the network library never emits sslErrors(): neither the window's
// handleSslErrors() nor any other slot can ignore their certificate errors.
// Those requests to trusted hosts therefore go out without certificate
// verification; every other request is verified, and asynchronous ones reach
// handleSslErrors().
class PageNetworkAccessManager : public QNetworkAccessManager
{
public:
    PageNetworkAccessManager(const TrustedHosts &trusted, QObject *parent)
        : QNetworkAccessManager(parent), trustedHosts(trusted)
    {
    }

protected:
    QNetworkReply *createRequest(Operation op, const QNetworkRequest &request,
                                 QIODevice *outgoingData) override
    {
        if (!request.attribute(QNetworkRequest::SynchronousRequestAttribute).toBool() ||
            !trustedHosts.contains(request.url())) {
            return QNetworkAccessManager::createRequest(op, request, outgoingData);
        }
        QNetworkRequest unverified(request);
        QSslConfiguration ssl = unverified.sslConfiguration();
        ssl.setPeerVerifyMode(QSslSocket::VerifyNone);
        unverified.setSslConfiguration(ssl);
        return QNetworkAccessManager::createRequest(op, unverified, outgoingData);
    }

private:
    const TrustedHosts trustedHosts;
};

} // namespace

MainWebView::MainWebView(const QString &startUrlText, const QString &logFile,
                         QSettings *startupSettings, const QStringList &trustedHostNames,
                         const QString &cookieFile, QWidget *parent)
    : QWebView(parent), settings(startupSettings),
      trustedHosts(QUrl(startUrlText), trustedHostNames)
{
    // The resources live in a static library: register them explicitly.
    Q_INIT_RESOURCE(lectern);
    setWindowTitle(QStringLiteral("Brimora"));
    setWindowIcon(programIcon());
    presentationPage = new PresentationToolPage(startUrlText, logFile);
    setPage(presentationPage);
    page()->setNetworkAccessManager(new PageNetworkAccessManager(trustedHosts, page()));
    auto *cookieJar = new CookieJar(cookieFile);
    // A cookie file that cannot be written is told in the page's log.
    connect(cookieJar, &CookieJar::storeFailed, presentationPage,
            &PresentationToolPage::writeLogLine);
    page()->networkAccessManager()->setCookieJar(cookieJar);

    controller = new QtToolController(this);
    // The receiver tick's interval; shortened by tests.
    clickerManager = new ClickerManager(
        controller, WorkerThread::intervalFromSetting(
                        settings->value(QStringLiteral("receiverTickMs")).toString()));
    // Names one serial port as the receiver; empty keeps detection by maker.
    clickerManager->setReceiverPort(settings->value(QStringLiteral("receiverPort")).toString());

    if (!QSslSocket::supportsSsl() && !confirmRunWithoutSsl(this)) {
        std::exit(0);
    }

    startUrl = QUrl(startUrlText);
    loadStartUrl();
    connect(page()->mainFrame(), &QWebFrame::javaScriptWindowObjectCleared, this,
            &MainWebView::addJSObject);
    QNetworkAccessManager *network = page()->networkAccessManager();
    connect(network, &QNetworkAccessManager::sslErrors, this, &MainWebView::handleSslErrors);
    buildLoadingOverlay();
    connect(clickerManager, &ClickerManager::sendJavaScript, this, &MainWebView::evaluateScript);
    connect(network, &QNetworkAccessManager::finished, this, &MainWebView::replyFinished);
    sendProbe();

    auto *raiseTimer = new QTimer(this);
    connect(raiseTimer, &QTimer::timeout, this, &MainWebView::goTop);
    raiseTimer->start(raiseIntervalMs);
}

MainWebView::~MainWebView()
{
    // Replies that the page aborts on its way out must not reach the overlay.
    QWebPage *webPage = page();
    disconnect(webPage->networkAccessManager(), nullptr, this, nullptr);
    // The cookie jar belongs to the page's network access manager.
    delete webPage;
    delete clickerManager;
    delete controller;
    delete loadingMovie;
}

void MainWebView::loadStartUrl()
{
    load(startUrl);
}

bool MainWebView::confirmRunWithoutSsl(QWidget *parent)
{
    const QMessageBox::StandardButton answer = QMessageBox::warning(
        parent, QStringLiteral("SSL Error"),
        QStringLiteral("Brimora may not function with this configuration. SSL is required!"),
        QMessageBox::Abort | QMessageBox::Ignore, QMessageBox::NoButton);
    return answer != QMessageBox::Abort;
}

void MainWebView::closeEvent(QCloseEvent *event)
{
    event->ignore();
    QMessageBox box(QMessageBox::Question, QStringLiteral("Close Brimora?"),
                    QStringLiteral("Are you sure that you'd like to quit Brimora?\n\n"),
                    QMessageBox::Close | QMessageBox::Cancel, this);
    auto *logoutBox = new QCheckBox(QObject::tr("Log me out"), &box);
    connect(logoutBox, &QCheckBox::stateChanged, this, &MainWebView::logoutStateChanged);
    logoutBox->setChecked(settings->value(QLatin1String(logoutKey), false).toBool());
    logoutBox->move(60, 31);

    if (box.exec() != QMessageBox::Close) {
        return;
    }
    event->accept();
    if (logoutBox->checkState() == Qt::Checked) {
        logOut();
    }
    QCoreApplication::quit();
}

void MainWebView::evaluateScript(QString script)
{
    page()->mainFrame()->evaluateJavaScript(script);
}

void MainWebView::addJSObject()
{
    // Only the main frame gets the bridge, and only while it shows a page of a
    // trusted host: the frame's URL is that of the document whose window
    // object is new, after any redirect. Frames inside a page never get it, so
    // an untrusted frame in a trusted page has none either.
    QWebFrame *frame = page()->mainFrame();
    if (trustedHosts.contains(frame->url())) {
        frame->addToJavaScriptWindowObject(QStringLiteral("QtToolController"), controller);
    }
}

void MainWebView::handleSslErrors(QNetworkReply *reply, QList<QSslError> errors)
{
    if (trustedHosts.contains(reply->url())) {
        reply->ignoreSslErrors(errors);
        return;
    }
    // Not ignored: the request fails, and with it a page load of that host.
    QStringList texts;
    for (const QSslError &error : errors) {
        texts.append(error.errorString());
    }
    presentationPage->writeLogLine(
        QStringLiteral("Certificate error from %1: %2")
            .arg(reply->url().host(), texts.join(QStringLiteral("; "))));
}

void MainWebView::replyFinished(QNetworkReply *reply)
{
    // Only "no answer at all" keeps the animation: any other outcome, an HTTP
    // error status included, means the network has answered.
    const QNetworkReply::NetworkError error = reply->error();
    if (error == QNetworkReply::ConnectionRefusedError ||
        error == QNetworkReply::HostNotFoundError) {
        return;
    }
    loadingMovie->stop();
    loadingLabel->hide();
}

void MainWebView::goTop()
{
    raise();
}

void MainWebView::logoutStateChanged(int state)
{
    settings->setValue(QLatin1String(logoutKey), state == Qt::Checked);
    settings->sync();
}

void MainWebView::buildLoadingOverlay()
{
    loadingLabel = new QLabel();
    loadingLabel->setText(QStringLiteral("Loading..."));
    loadingLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    loadingMovie = new QMovie(QStringLiteral(":/loading_big.gif"), QByteArray());
    loadingLabel->setMovie(loadingMovie);
    loadingMovie->start();
    auto *layout = new QGridLayout(this);
    layout->addWidget(loadingLabel);
    loadingLabel->setVisible(true);
}

void MainWebView::sendProbe()
{
    // Its answer is never read; it only feeds the overlay rule.
    QNetworkReply *probe = page()->networkAccessManager()->get(QNetworkRequest(startUrl));
    connect(probe, &QNetworkReply::finished, probe, &QObject::deleteLater);
}

void MainWebView::logOut()
{
    const QList<QNetworkCookie> blankSession{QNetworkCookie("sessionid", QByteArray())};
    page()->networkAccessManager()->cookieJar()->setCookiesFromUrl(blankSession, startUrl);
}
