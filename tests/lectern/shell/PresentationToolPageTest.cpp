#include "PresentationToolPage.h"
#include "CookieJar.h"
#include "ShellTestSupport.h"

#include <QDir>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QWebFrame>
#include <QtTest>

namespace {

const QString initLine = QStringLiteral("Initialzied PresentationToolPage\n");

// Loads `url` into the page's main frame and waits for the load to end.
bool loadAndWait(QWebPage &page, const QString &url)
{
    QSignalSpy finished(&page, &QWebPage::loadFinished);
    page.mainFrame()->load(QUrl(url));
    return finished.wait(15000);
}

bool timesOut(PresentationToolPage &page)
{
    bool interrupt = true;
    QMetaObject::invokeMethod(&page, "shouldInterruptJavaScript", Qt::DirectConnection,
                              Q_RETURN_ARG(bool, interrupt));
    return !interrupt;
}

} // namespace

class PresentationToolPageTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void logHoldsOnlyThisRun();
    void consoleMessagesAreLoggedOnePerLine();
    void unopenableLogIsIgnored();
    void userAgentIsFixedForScriptAndService();
    void longScriptIsReportedOncePerRun();
    void reportGoesToTheStartHostAfterNavigation();

private:
    std::unique_ptr<DevService> service;
};

void PresentationToolPageTest::initTestCase()
{
    service = std::make_unique<DevService>();
    QVERIFY(service->isRunning());
}

void PresentationToolPageTest::logHoldsOnlyThisRun()
{
    ScratchDirectory scratch;
    QFile previous(scratch.file(QStringLiteral("quillet.log")));
    QVERIFY(previous.open(QIODevice::WriteOnly));
    previous.write(QByteArray(500, 'x') + "\nold tail\n");
    previous.close();

    PresentationToolPage page(QStringLiteral("http://127.0.0.1:1/login"),
                              QStringLiteral("quillet.log"));
    QCOMPARE(readText(scratch.file(QStringLiteral("quillet.log"))), initLine);
}

void PresentationToolPageTest::consoleMessagesAreLoggedOnePerLine()
{
    ScratchDirectory scratch;
    PresentationToolPage page(QStringLiteral("http://127.0.0.1:1/login"),
                              QStringLiteral("page.log"));
    // The script's statements sit on line 12 of the document.
    const QString html = QStringLiteral("<html><body>\n\n\n\n\n\n\n\n\n\n<script>\n"
                                        "console.log('hello %1 %2'); nope();\n"
                                        "</script></body></html>");
    QSignalSpy loaded(&page, &QWebPage::loadFinished);
    page.mainFrame()->setHtml(html, QUrl(QStringLiteral("http://origin.test/page.html")));
    QTRY_VERIFY(!loaded.isEmpty());
    page.mainFrame()->evaluateJavaScript(QStringLiteral("console.log('second')"));

    const QStringList lines = readText(scratch.file(QStringLiteral("page.log"))).split('\n');
    QCOMPARE(lines.value(0), initLine.trimmed());
    // The engine gives the script's URL and line for uncaught errors; for
    // console calls it does so only when it knows the caller.
    QCOMPARE(lines.size(), 5);
    QVERIFY2(lines.value(1).startsWith(QStringLiteral("hello %1 %2 : ")),
             qPrintable(lines.value(1)));
    QCOMPARE(lines.value(2), QStringLiteral("ReferenceError: Can't find variable: nope : 12 : "
                                            "http://origin.test/page.html"));
    QVERIFY2(lines.value(3).startsWith(QStringLiteral("second : ")), qPrintable(lines.value(3)));
    QCOMPARE(lines.value(4), QString());
}

void PresentationToolPageTest::unopenableLogIsIgnored()
{
    ScratchDirectory scratch;
    PresentationToolPage page(QStringLiteral("http://127.0.0.1:1/login"),
                              QStringLiteral("no/such/dir/page.log"));
    page.mainFrame()->evaluateJavaScript(QStringLiteral("console.log('lost')"));
    QVERIFY(QDir(scratch.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

void PresentationToolPageTest::userAgentIsFixedForScriptAndService()
{
    ScratchDirectory scratch;
    PresentationToolPage page(service->http() + QStringLiteral("/login"),
                              QStringLiteral("page.log"));
    service->reset();
    QVERIFY(loadAndWait(page, service->http() + QStringLiteral("/login")));

    // The program's documented user agent, written out here rather than taken from the page.
    const QString expected = QStringLiteral("Mozilla/5.0 (quilletPresentationTool; en-US; "
                                            "rv:1.9.1.2;) Gecko/20090729 Firefox/3.5.2");
    QCOMPARE(page.mainFrame()->evaluateJavaScript(QStringLiteral("navigator.userAgent")).toString(),
             expected);
    // The page and what it pulls in (its style sheet) both carry it.
    const QJsonArray requests = service->records(QStringLiteral("requests"));
    QVERIFY(requests.size() >= 2);
    for (const QJsonValue &request : requests) {
        QCOMPARE(request.toObject().value(QStringLiteral("user_agent")).toString(), expected);
    }
}

void PresentationToolPageTest::longScriptIsReportedOncePerRun()
{
    ScratchDirectory scratch;
    PresentationToolPage page(service->http() + QStringLiteral("/login?from=desk"),
                              QStringLiteral("page.log"));
    page.networkAccessManager()->setCookieJar(new CookieJar(QStringLiteral(".brq_cookies")));
    QVERIFY(loadAndWait(page, service->http() + QStringLiteral("/login?auto=1&user=ann")));
    service->reset();

    QVERIFY(timesOut(page));
    QTRY_COMPARE_WITH_TIMEOUT(service->records(QStringLiteral("timeouts")).size(), 1, 10000);
    const QJsonObject report = service->records(QStringLiteral("timeouts")).first().toObject();
    // After the auto-login the page is the class page.
    QCOMPARE(report.value(QStringLiteral("course")).toString(), QStringLiteral("/class"));
    QCOMPARE(report.value(QStringLiteral("user")).toString(), QStringLiteral("ann"));
    const QJsonObject request =
        service->requestsFor("/ereport_javascript_timeout/").first().toObject();
    QCOMPARE(request.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
    QCOMPARE(request.value(QStringLiteral("query")).toString(), QStringLiteral("from=desk"));
    // The reply's cookie is stored as any reply's of the start host is.
    const QUrl startUrl(service->http() + QStringLiteral("/login"));
    QTRY_VERIFY_WITH_TIMEOUT(
        page.networkAccessManager()->cookieJar()->cookiesForUrl(startUrl).contains(
            QNetworkCookie("timeout_reported", "1")),
        10000);

    // Later timeouts of the same run send nothing. A marker request sent
    // after them shows that nothing was queued before it.
    QVERIFY(timesOut(page));
    QVERIFY(timesOut(page));
    QNetworkReply *marker = page.networkAccessManager()->get(
        QNetworkRequest(QUrl(service->http() + QStringLiteral("/marker"))));
    QSignalSpy markerDone(marker, &QNetworkReply::finished);
    QVERIFY(markerDone.wait(10000));
    delete marker;
    QCOMPARE(service->records(QStringLiteral("timeouts")).size(), 1);
}

void PresentationToolPageTest::reportGoesToTheStartHostAfterNavigation()
{
    DevService elsewhere;
    QVERIFY(elsewhere.isRunning());
    ScratchDirectory scratch;
    PresentationToolPage page(service->http() + QStringLiteral("/login"),
                              QStringLiteral("page.log"));
    QVERIFY(loadAndWait(page, elsewhere.http() + QStringLiteral("/some/course%20page")));
    service->reset();
    elsewhere.reset();

    QVERIFY(timesOut(page));
    QTRY_COMPARE_WITH_TIMEOUT(service->records(QStringLiteral("timeouts")).size(), 1, 10000);
    QCOMPARE(service->records(QStringLiteral("timeouts"))
                 .first()
                 .toObject()
                 .value(QStringLiteral("course"))
                 .toString(),
             QStringLiteral("/some/course%20page"));
    QVERIFY(elsewhere.records(QStringLiteral("timeouts")).isEmpty());
}

QTEST_MAIN(PresentationToolPageTest)
#include "PresentationToolPageTest.moc"
