#include "MainWebView.h"
#include "ShellTestSupport.h"
#include "StartupOptions.h"
#include "TrustedHosts.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QWebFrame>
#include <QtTest>

// Only pages of the service's hosts get the script bridge and have their
// certificate errors ignored. The development service answers as 127.0.0.1
// (the start URL's host) and as localhost, an other host for the same server.
namespace {

QString onHost(const QString &base, const QString &host)
{
    QUrl url(base);
    url.setHost(host);
    return url.toString();
}

// Answers every request on `server` with a redirect to `target`.
void redirectEverything(QTcpServer &server, const QByteArray &target)
{
    QObject::connect(&server, &QTcpServer::newConnection, &server, [&server, target]() {
        while (QTcpSocket *socket = server.nextPendingConnection()) {
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket, target]() {
                while (socket->canReadLine()) {
                    if (socket->readLine() == "\r\n") {
                        socket->write("HTTP/1.1 302 Found\r\nLocation: " + target +
                                      "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
                        socket->disconnectFromHost();
                        return;
                    }
                }
            });
        }
    });
}

// The window on `startUrl`, once its own load of the start URL has ended.
std::unique_ptr<MainWebView> openWindow(const QString &startUrl, QSettings *settings,
                                        const QStringList &trustedHosts = {})
{
    auto view =
        std::make_unique<MainWebView>(startUrl, QStringLiteral("q.log"), settings, trustedHosts);
    QSignalSpy loaded(view.get(), &QWebView::loadFinished);
    return loaded.wait(15000) ? std::move(view) : nullptr;
}

bool loadAndWait(MainWebView &view, const QString &url)
{
    QSignalSpy loaded(&view, &QWebView::loadFinished);
    view.load(QUrl(url));
    return loaded.wait(15000) && loaded.first().first().toBool();
}

QString bridgeType(QWebFrame *frame)
{
    return frame->evaluateJavaScript(QStringLiteral("typeof QtToolController")).toString();
}

} // namespace

class PageTrustTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void trustRule_data();
    void trustRule();
    void bridgeOnlyOnTrustedHosts_data();
    void bridgeOnlyOnTrustedHosts();
    void framesNeverGetTheBridge();
    void certificateErrorsPassOnlyOnTrustedHosts();

private:
    std::unique_ptr<DevService> service;
};

void PageTrustTest::initTestCase()
{
    service = std::make_unique<DevService>();
    QVERIFY(service->isRunning());
}

void PageTrustTest::trustRule_data()
{
    QTest::addColumn<QString>("startUrl");
    QTest::addColumn<QStringList>("named");
    QTest::addColumn<QString>("page");
    QTest::addColumn<bool>("trusted");
    const QString web = QStringLiteral("https://brimora.example/login");
    const QString file = QStringLiteral("file:///home/ann/start.html");
    const QStringList none;
    const QStringList every{QStringLiteral("*")};
    const auto row = [](const char *name, const QString &start, const QStringList &named,
                        const char *page, bool trusted) {
        QTest::newRow(name) << start << named << QString::fromLatin1(page) << trusted;
    };
    // Matching by host name is shown on real pages below.
    row("start host over ftp", web, none, "ftp://brimora.example/x", false);
    row("web start, file page", web, none, "file:///home/ann/start.html", false);
    row("every host, data document", web, every, "data:text/html,x", false);
    row("every host, file page", web, every, "file:///tmp/x.html", false);
    row("every host, script URL", web, every, "javascript:1", false);
    row("file start, file page", file, none, "file:///tmp/other.html", true);
    row("file start, blank document", file, none, "about:blank", false);
    row("file start, data document", file, none, "data:text/html,x", false);
    row("file start, named host", file, {QStringLiteral("localhost")}, "http://localhost/", true);
    row("file start, hostless web URL", file, none, "http:/x", false);
    row("no scheme, blank document", "brimora.example/login", none, "about:blank", false);
    row("no scheme, the host it names", "brimora.example/login", none,
        "https://brimora.example/login", false);
    row("no document yet", web, every, "", false);
}

// The rule alone: which documents the start URL and the named hosts trust.
void PageTrustTest::trustRule()
{
    QFETCH(QString, startUrl);
    QFETCH(QStringList, named);
    QFETCH(QString, page);
    QFETCH(bool, trusted);
    QCOMPARE(TrustedHosts(QUrl(startUrl), named).contains(QUrl(page)), trusted);
}

void PageTrustTest::bridgeOnlyOnTrustedHosts_data()
{
    QTest::addColumn<QString>("trustedHosts");
    QTest::addColumn<QString>("redirectHost");
    QTest::addColumn<QString>("pageHost");
    QTest::addColumn<bool>("bridge");
    const QString none;
    QTest::newRow("start host") << none << none << QStringLiteral("127.0.0.1") << true;
    QTest::newRow("other host") << none << none << QStringLiteral("localhost") << false;
    QTest::newRow("named host") << QStringLiteral("example.org, LocalHost") << none
                                << QStringLiteral("localhost") << true;
    QTest::newRow("every host") << QStringLiteral("*") << none << QStringLiteral("localhost")
                                << true;
    QTest::newRow("redirect to other host")
        << none << QStringLiteral("127.0.0.1") << QStringLiteral("localhost") << false;
    QTest::newRow("redirect to start host")
        << none << QStringLiteral("localhost") << QStringLiteral("127.0.0.1") << true;
}

void PageTrustTest::bridgeOnlyOnTrustedHosts()
{
    QFETCH(QString, trustedHosts);
    QFETCH(QString, redirectHost);
    QFETCH(QString, pageHost);
    QFETCH(bool, bridge);

    ScratchDirectory scratch;
    // As a user writes it: INI reads an unquoted "a, b" as a list.
    QVERIFY(writeDefaults(scratch.path(), "trustedHosts=" + trustedHosts.toUtf8()));
    const auto settings = openDefaults(scratch.path());
    const StartupOptions options = readStartupOptions(*settings, {});
    const auto view = openWindow(service->http() + QStringLiteral("/login"), settings.get(),
                                 options.trustedHosts);
    QVERIFY(view);

    // The sign-in leads on to the class page, whose script looks for the bridge.
    QString url = onHost(service->http(), pageHost) + QStringLiteral("/login?auto=1&user=ann");
    QTcpServer redirector;
    if (!redirectHost.isEmpty()) {
        QVERIFY(redirector.listen(QHostAddress::LocalHost));
        redirectEverything(redirector, url.toLatin1());
        url = QStringLiteral("http://%1:%2/").arg(redirectHost).arg(redirector.serverPort());
    }
    service->reset();
    QVERIFY(loadAndWait(*view, url));
    QCOMPARE(view->page()->mainFrame()->url().host(), pageHost);
    QCOMPARE(bridgeType(view->page()->mainFrame()), bridge ? "object" : "undefined");
    // What the page's own script found while the page loaded.
    const auto domReady = [this]() {
        for (const QJsonValue &event : service->records(QStringLiteral("events"))) {
            if (event.toObject().value(QStringLiteral("kind")) == QStringLiteral("dom_ready")) {
                return event.toObject();
            }
        }
        return QJsonObject();
    };
    QTRY_VERIFY_WITH_TIMEOUT(!domReady().isEmpty(), 10000);
    QCOMPARE(domReady().value(QStringLiteral("controller")).toBool(), bridge);
}

void PageTrustTest::framesNeverGetTheBridge()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    const auto view = openWindow(service->http() + QStringLiteral("/login"), settings.get());
    QVERIFY(view);
    QSignalSpy loaded(view.get(), &QWebView::loadFinished);
    view->setHtml(QStringLiteral("<iframe src='%1/login'></iframe>")
                      .arg(onHost(service->http(), QStringLiteral("localhost"))),
                  QUrl(service->http() + QStringLiteral("/")));
    QVERIFY(loaded.wait(15000));
    QCOMPARE(bridgeType(view->page()->mainFrame()), QStringLiteral("object"));
    const QList<QWebFrame *> frames = view->page()->mainFrame()->childFrames();
    QCOMPARE(frames.size(), 1);
    QCOMPARE(bridgeType(frames.first()), QStringLiteral("undefined"));
}

void PageTrustTest::certificateErrorsPassOnlyOnTrustedHosts()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    const auto view = openWindow(service->https() + QStringLiteral("/login"), settings.get());
    QVERIFY(view);
    QVERIFY(loadAndWait(*view, service->https() + QStringLiteral("/login?on=trusted")));

    // A synchronous request of the trusted page to the other host never
    // reaches the service: its certificate is checked.
    const QString other = onHost(service->https(), QStringLiteral("localhost"));
    view->page()->mainFrame()->evaluateJavaScript(
        QStringLiteral("var xhr = new XMLHttpRequest();"
                       "xhr.open('GET', '%1/login?on=sync', false);"
                       "try { xhr.send(); } catch (e) {}")
            .arg(other));

    // A page of the other host fails to load, with one line in the log.
    QVERIFY(!loadAndWait(*view, other + QStringLiteral("/login?on=page")));
    const QStringList log = readText(scratch.file(QStringLiteral("q.log"))).split('\n');
    const QStringList errors = log.filter(QStringLiteral("Certificate error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().startsWith(QStringLiteral("Certificate error from localhost: ")) &&
                 errors.first().contains(QStringLiteral("self-signed")),
             qPrintable(errors.first()));

    QStringList queries;
    for (const QJsonValue &request : service->requestsFor(QStringLiteral("/login"))) {
        queries.append(request.toObject().value(QStringLiteral("query")).toString());
    }
    QVERIFY2(queries.contains(QStringLiteral("on=trusted")), qPrintable(queries.join(' ')));
    QVERIFY2(!queries.contains(QStringLiteral("on=sync")), qPrintable(queries.join(' ')));
    QVERIFY2(!queries.contains(QStringLiteral("on=page")), qPrintable(queries.join(' ')));
}

QTEST_MAIN(PageTrustTest)
#include "PageTrustTest.moc"
