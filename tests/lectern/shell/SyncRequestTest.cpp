#include "MainWebView.h"
#include "ShellTestSupport.h"

#include <QNetworkReply>
#include <QWebFrame>
#include <QWebPage>
#include <QtTest>

// Requests a page's script makes while it waits for the answer (synchronous
// XMLHttpRequest) reach the service like any other request, also over HTTPS
// with a certificate whose errors the window ignores.
class SyncRequestTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void synchronousRequest_data();
    void synchronousRequest();
    void slowSynchronousRequestIsNoStuckScript();
    void unloadRequestsOfAClosingWindowGoOut();

private:
    std::unique_ptr<DevService> service;
};

void SyncRequestTest::initTestCase()
{
    qRegisterMetaType<QNetworkReply *>();
    service = std::make_unique<DevService>();
    QVERIFY(service->isRunning());
}

void SyncRequestTest::synchronousRequest_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<bool>("synchronous");
    QTest::newRow("http, synchronous") << service->http() << true;
    QTest::newRow("https, synchronous") << service->https() << true;
    QTest::newRow("https, asynchronous") << service->https() << false;
}

void SyncRequestTest::synchronousRequest()
{
    QFETCH(QString, base);
    QFETCH(bool, synchronous);

    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    MainWebView view(base + QStringLiteral("/login"), QStringLiteral("q.log"), settings.get());
    QSignalSpy loaded(&view, &QWebView::loadFinished);
    QVERIFY(loaded.wait(10000));
    QCOMPARE(loaded.first().first().toBool(), true);
    service->reset();

    // The result is the answer's status, or the exception the request threw.
    QWebFrame *frame = view.page()->mainFrame();
    const QString script =
        QStringLiteral("var result = 'pending';"
                       "(function () {"
                       "  var xhr = new XMLHttpRequest();"
                       "  xhr.open('GET', '/login?probe=1', %1);"
                       "  xhr.onloadend = function () { result = String(xhr.status); };"
                       "  try { xhr.send(); } catch (e) { result = String(e); }"
                       "})();"
                       "result");
    const QVariant immediate =
        frame->evaluateJavaScript(script.arg(synchronous ? "false" : "true"));
    if (synchronous) {
        // Answered before send() returns.
        QCOMPARE(immediate.toString(), QStringLiteral("200"));
    }
    QTRY_COMPARE_WITH_TIMEOUT(frame->evaluateJavaScript(QStringLiteral("result")).toString(),
                              QStringLiteral("200"), 10000);
    QCOMPARE(service->requestsFor(QStringLiteral("/login")).size(), 1);
}

// The window's thread waits for a synchronous request's answer outside page
// script: that wait is never reported, however long, but script after it is.
void SyncRequestTest::slowSynchronousRequestIsNoStuckScript()
{
    ScratchDirectory scratch;
    QVERIFY(writeDefaults(scratch.path(), "scriptReportMs=1000"));
    const auto settings = openDefaults(scratch.path());
    MainWebView view(service->http() + QStringLiteral("/login"), QStringLiteral("q.log"),
                     settings.get());
    QSignalSpy loaded(&view, &QWebView::loadFinished);
    QVERIFY(loaded.wait(10000));
    service->reset();

    // A report names the page shown when it went out: one sent during the
    // request would name /login.
    view.page()->mainFrame()->evaluateJavaScript(
        QStringLiteral("var xhr = new XMLHttpRequest();"
                       "xhr.open('GET', '/slow?ms=2500', false);"
                       "xhr.send();"
                       "history.pushState(null, '', '/after-request');"
                       "var end = Date.now() + 2500;"
                       "while (Date.now() < end) {}"));
    QCOMPARE(service->requestsFor(QStringLiteral("/slow")).size(), 1);
    QTRY_COMPARE_WITH_TIMEOUT(service->records(QStringLiteral("timeouts")).size(), 1, 10000);
    const QJsonObject report = service->records(QStringLiteral("timeouts")).first().toObject();
    QCOMPARE(report.value(QStringLiteral("course")).toString(), QStringLiteral("/after-request"));
}

// The page's own destruction unloads it: its unload handlers' synchronous
// requests still go out, after the page's watchdog is gone.
void SyncRequestTest::unloadRequestsOfAClosingWindowGoOut()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    auto view = std::make_unique<MainWebView>(service->http() + QStringLiteral("/login"),
                                              QStringLiteral("q.log"), settings.get());
    QSignalSpy loaded(view.get(), &QWebView::loadFinished);
    QVERIFY(loaded.wait(10000));
    service->reset();
    view->page()->mainFrame()->evaluateJavaScript(
        QStringLiteral("window.addEventListener('unload', function () {"
                       "  var xhr = new XMLHttpRequest();"
                       "  xhr.open('GET', '/slow?ms=1', false);"
                       "  xhr.send();"
                       "}, false);"));
    view.reset();
    QCOMPARE(service->requestsFor(QStringLiteral("/slow")).size(), 1);
}

QTEST_MAIN(SyncRequestTest)
#include "SyncRequestTest.moc"
