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

QTEST_MAIN(SyncRequestTest)
#include "SyncRequestTest.moc"
