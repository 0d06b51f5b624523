#include "MainWebView.h"
#include "ClickerManager.h"
#include "QtToolController.h"
#include "ShellTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QImageReader>
#include <QLabel>
#include <QMessageBox>
#include <QMovie>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QWebFrame>
#include <QtTest>

#include <functional>

namespace {

// Runs `answer` on the next modal message box once it is open.
void whenMessageBoxOpens(std::function<void(QMessageBox *)> answer)
{
    auto poll = std::make_shared<std::function<void()>>();
    *poll = [answer, poll]() {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (box == nullptr) {
            QTimer::singleShot(20, *poll);
            return;
        }
        answer(box);
        // A failed check inside `answer` returns early: never leave the box open.
        if (box->isVisible()) {
            box->reject();
        }
        // The poll drops its own reference once it is done.
        *poll = nullptr;
    };
    QTimer::singleShot(0, *poll);
}

QLabel *overlayOf(MainWebView &view)
{
    return view.findChild<QLabel *>();
}

// Closes the window from inside the application's event loop, as a user does,
// and returns the loop's exit code (1 when nothing ended it in time).
int closeFromEventLoop(MainWebView &view)
{
    QTimer::singleShot(0, &view, [&view]() { view.close(); });
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, []() { QCoreApplication::exit(1); });
    guard.start(20000);
    return QApplication::exec();
}

// The X server's top-level windows, bottom first.
QList<WId> stackingOrder()
{
    QProcess xwininfo;
    xwininfo.start(QStringLiteral("xwininfo"),
                   {QStringLiteral("-root"), QStringLiteral("-children")});
    xwininfo.waitForFinished(5000);
    // Children are listed top first, one per line: "  0x200005 "title": ...".
    QList<WId> order;
    const QRegularExpression child(QStringLiteral("^\\s+(0x[0-9a-f]+) "));
    for (const QString &line : QString::fromLatin1(xwininfo.readAllStandardOutput()).split('\n')) {
        const QRegularExpressionMatch match = child.match(line);
        if (match.hasMatch()) {
            order.prepend(match.captured(1).toULongLong(nullptr, 16));
        }
    }
    return order;
}

bool isAbove(WId upper, WId lower)
{
    const QList<WId> order = stackingOrder();
    return order.indexOf(upper) > order.indexOf(lower);
}

// Notes when a deferred deletion has been delivered to an object.
class DeferredDeleteWatch : public QObject
{
public:
    explicit DeferredDeleteWatch(QObject *watched) { watched->installEventFilter(this); }
    bool delivered = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::DeferredDelete)
            delivered = true;
        return false;
    }
};

// A port on which nothing listens.
quint16 closedPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost);
    return server.serverPort();
}

} // namespace

class MainWebViewTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void windowBasics();
    void comesBackOnTopOfOtherWindows();
    void overlayFollowsTheFirstAnswer_data();
    void overlayFollowsTheFirstAnswer();
    void everyPageFindsTheBridgeBeforeItsScripts();
    void clickerScriptsRunInThePage();
    void closeCancelKeepsWindowAndRemembersTick();
    void closeWithLogoutBlanksTheSessionAndQuits();
    void closeWithoutLogoutLeavesCookiesAlone();
    void sslWarningAbortOrIgnore_data();
    void sslWarningAbortOrIgnore();
    void pictureOfTheWindow();

private:
    std::unique_ptr<DevService> service;
};

void MainWebViewTest::initTestCase()
{
    qRegisterMetaType<QNetworkReply *>();
    service = std::make_unique<DevService>();
    QVERIFY(service->isRunning());
}

void MainWebViewTest::windowBasics()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    MainWebView view(service->http() + QStringLiteral("/login"), QStringLiteral("q.log"),
                     settings.get());
    QCOMPARE(view.windowTitle(), QStringLiteral("Brimora"));
    const QList<QSize> sizes = view.windowIcon().availableSizes();
    for (int size : {16, 32, 48, 128, 256}) {
        QVERIFY2(sizes.contains(QSize(size, size)), qPrintable(QString::number(size)));
    }
    QVERIFY(view.bridge() != nullptr);
    QVERIFY(view.clickers() != nullptr);
    QVERIFY(QFile::exists(scratch.file(QStringLiteral("q.log"))));

    QMovie spinner(QStringLiteral(":/loading_big.gif"));
    QCOMPARE(spinner.frameCount(), 12);
    QCOMPARE(spinner.loopCount(), -1);
    QVERIFY(spinner.jumpToFrame(0));
    QCOMPARE(spinner.currentImage().size(), QSize(32, 32));
    // Every frame's delay as the file states it: the movie's own next delay is
    // shortened by the time the frame took to decode, which a busy machine shows.
    QImageReader frames(QStringLiteral(":/loading_big.gif"));
    for (int frame = 0; frame < spinner.frameCount(); ++frame) {
        QVERIFY(!frames.read().isNull());
        QCOMPARE(frames.nextImageDelay(), 50);
    }
}

void MainWebViewTest::comesBackOnTopOfOtherWindows()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    MainWebView view(QStringLiteral("about:blank"), QStringLiteral("q.log"), settings.get());
    view.setGeometry(100, 100, 200, 200);
    view.show();
    QWidget other;
    other.setGeometry(120, 120, 200, 200);
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    // Cover the view; its own once-a-second raise may win the first attempts,
    // so the other window is raised again until the X server shows it above.
    QTRY_VERIFY_WITH_TIMEOUT(isAbove(other.winId(), view.winId()) || (other.raise(), false), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(isAbove(view.winId(), other.winId()), 5000);
}

void MainWebViewTest::overlayFollowsTheFirstAnswer_data()
{
    QTest::addColumn<QString>("startUrl");
    QTest::addColumn<bool>("overlayStays");
    QTest::newRow("ok") << service->http() + "/login" << false;
    QTest::newRow("not found") << service->http() + "/missing" << false;
    QTest::newRow("self-signed https") << service->https() + "/login" << false;
    QTest::newRow("unresolvable host") << "http://lectern-test.invalid/login" << true;
    QTest::newRow("refused") << QString("http://127.0.0.1:%1/login").arg(closedPort()) << true;
}

void MainWebViewTest::overlayFollowsTheFirstAnswer()
{
    QFETCH(QString, startUrl);
    QFETCH(bool, overlayStays);

    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    MainWebView view(startUrl, QStringLiteral("q.log"), settings.get());
    QLabel *overlay = overlayOf(view);
    QVERIFY(overlay != nullptr);
    QVERIFY(overlay->movie() != nullptr);
    QCOMPARE(overlay->movie()->frameCount(), 12);
    QCOMPARE(overlay->movie()->state(), QMovie::Running);
    view.show();

    // Wait for both the page load and the probe to finish.
    QSignalSpy finished(view.page()->networkAccessManager(), &QNetworkAccessManager::finished);
    QTRY_VERIFY_WITH_TIMEOUT(finished.size() >= 2, 20000);
    QCOMPARE(overlay->isVisible(), overlayStays);
    QCOMPARE(overlay->movie()->state() == QMovie::Running, overlayStays);

    if (!overlayStays) {
        // Once hidden, it stays hidden, also when the bridge reloads the page.
        QSignalSpy loaded(&view, &QWebView::loadFinished);
        view.loadStartUrl();
        QVERIFY(loaded.wait(10000));
        QVERIFY(!overlay->isVisible());
    }
}

void MainWebViewTest::everyPageFindsTheBridgeBeforeItsScripts()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    MainWebView view(service->http() + QStringLiteral("/login"), QStringLiteral("q.log"),
                     settings.get());
    QSignalSpy loaded(&view, &QWebView::loadFinished);
    QVERIFY(loaded.wait(10000));
    QWebFrame *frame = view.page()->mainFrame();
    QCOMPARE(frame->evaluateJavaScript("typeof QtToolController").toString(),
             QStringLiteral("object"));

    loaded.clear();
    view.setHtml(QStringLiteral("<script>var seen = typeof QtToolController.reloadPage;</script>"),
                 QUrl(service->http() + QStringLiteral("/")));
    QTRY_VERIFY(!loaded.isEmpty());
    QCOMPARE(frame->evaluateJavaScript("seen").toString(), QStringLiteral("function"));

    // Script sees the bridge's slots but none of its other operations, and
    // cannot destroy it through the deleteLater() that every object has.
    QSignalSpy destroyed(view.bridge(), &QObject::destroyed);
    DeferredDeleteWatch deletion(view.bridge());
    frame->evaluateJavaScript(QStringLiteral("QtToolController.deleteLater()"));
    // The deletion request reaches the bridge, which refuses it.
    QTRY_VERIFY(deletion.delivered);
    QVERIFY(destroyed.isEmpty());
    for (const char *hidden : {"setClickerManager", "maximize", "receiverConnected"}) {
        QCOMPARE(frame->evaluateJavaScript(QStringLiteral("typeof QtToolController.") + hidden)
                     .toString(),
                 QStringLiteral("undefined"));
    }

    view.bridge()->reloadPage();
    QVERIFY(loaded.wait(10000));
    QCOMPARE(frame->evaluateJavaScript("typeof QtToolController.resize").toString(),
             QStringLiteral("function"));
}

void MainWebViewTest::clickerScriptsRunInThePage()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    MainWebView view(QStringLiteral("about:blank"), QStringLiteral("q.log"), settings.get());
    QSignalSpy loaded(&view, &QWebView::loadFinished);
    view.setHtml(QStringLiteral("<script>var calls = [];"
                                "var Clicker = {"
                                " vote: function(r, a) { calls.push('vote ' + r + ' ' + a); },"
                                " showConnectionStatus: function() { calls.push('show'); },"
                                " hideConnectionStatus: function() { calls.push('hide'); } };"
                                "</script>"));
    QTRY_VERIFY(!loaded.isEmpty());

    ClickerManager *manager = view.clickers();
    manager->showConnectionStatus();
    manager->setDomReady();
    QVERIFY(view.bridge()->startVoting(QStringLiteral("q1"), QStringLiteral("mc")));
    manager->sendVote(QStringLiteral("123456"), QStringLiteral("b"));
    QCOMPARE(view.page()->mainFrame()->evaluateJavaScript("calls.slice(0, 2).join('|')").toString(),
             QStringLiteral("show|vote 123456 b"));
}

void MainWebViewTest::closeCancelKeepsWindowAndRemembersTick()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    MainWebView view(QStringLiteral("about:blank"), QStringLiteral("q.log"), settings.get());
    view.show();

    bool seenUnticked = false;
    whenMessageBoxOpens([&](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("Close Brimora?"));
        QCOMPARE(box->text(), QStringLiteral("Are you sure that you'd like to quit Brimora?\n\n"));
        QCOMPARE(box->icon(), QMessageBox::Question);
        QCOMPARE(box->standardButtons(), QMessageBox::Close | QMessageBox::Cancel);
        auto *logout = box->findChild<QCheckBox *>();
        QVERIFY(logout != nullptr);
        QCOMPARE(logout->text(), QStringLiteral("Log me out"));
        QCOMPARE(logout->pos(), QPoint(60, 31));
        seenUnticked = !logout->isChecked();
        logout->click();
        box->button(QMessageBox::Cancel)->click();
    });
    QVERIFY(!view.close());
    QVERIFY(seenUnticked);
    QVERIFY(view.isVisible());
    // Written beside the program's other settings as soon as it was ticked.
    QSettings file(scratch.file(QStringLiteral("settings.ini")), QSettings::IniFormat);
    QCOMPARE(file.value(QStringLiteral("defaults/logout")).toBool(), true);
    QCOMPARE(file.allKeys(), QStringList{QStringLiteral("defaults/logout")});

    bool seenTicked = false;
    whenMessageBoxOpens([&](QMessageBox *box) {
        auto *logout = box->findChild<QCheckBox *>();
        seenTicked = logout->isChecked();
        logout->click();
        box->reject();
    });
    QVERIFY(!view.close());
    QVERIFY(seenTicked);
    file.sync();
    QCOMPARE(file.value(QStringLiteral("defaults/logout")).toBool(), false);
    QVERIFY(!QFile::exists(scratch.file(QStringLiteral(".brq_cookies"))));
}

void MainWebViewTest::closeWithLogoutBlanksTheSessionAndQuits()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    settings->setValue(QStringLiteral("logout"), true);
    MainWebView view(service->http() + QStringLiteral("/login?auto=1&user=ann"),
                     QStringLiteral("q.log"), settings.get());
    view.show();
    QSignalSpy loaded(&view, &QWebView::loadFinished);
    QVERIFY(loaded.wait(10000));
    // The jar writes the sign-in's cookie soon after it is set, not at once.
    QSettings cookies(scratch.file(QStringLiteral(".brq_cookies")), QSettings::IniFormat);
    QTRY_VERIFY_WITH_TIMEOUT(
        (cookies.sync(),
         !cookies.value(QStringLiteral("127.0.0.1/sessionid")).toString().isEmpty()),
        10000);

    whenMessageBoxOpens([](QMessageBox *box) { box->button(QMessageBox::Close)->click(); });
    // The confirmed close ends the event loop with code 0.
    QCOMPARE(closeFromEventLoop(view), 0);
    QVERIFY(!view.isVisible());

    cookies.sync();
    QVERIFY(cookies.contains(QStringLiteral("127.0.0.1/sessionid")));
    QCOMPARE(cookies.value(QStringLiteral("127.0.0.1/sessionid")).toString(), QString());

    // The next request to the host sends the blank session.
    service->reset();
    view.loadStartUrl();
    QVERIFY(loaded.wait(10000));
    const QJsonObject first = service->requestsFor(QStringLiteral("/login")).first().toObject();
    QCOMPARE(first.value(QStringLiteral("cookie")).toString(), QStringLiteral("sessionid="));
}

void MainWebViewTest::closeWithoutLogoutLeavesCookiesAlone()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    MainWebView view(QStringLiteral("http://host.test/login"), QStringLiteral("q.log"),
                     settings.get());
    view.show();
    whenMessageBoxOpens([](QMessageBox *box) { box->button(QMessageBox::Close)->click(); });
    QCOMPARE(closeFromEventLoop(view), 0);
    QVERIFY(!view.isVisible());
    QVERIFY(!QFile::exists(scratch.file(QStringLiteral(".brq_cookies"))));
}

void MainWebViewTest::sslWarningAbortOrIgnore_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<bool>("goOn");
    QTest::newRow("abort") << int(QMessageBox::Abort) << false;
    QTest::newRow("ignore") << int(QMessageBox::Ignore) << true;
    // Escape picks the box's escape button, Abort.
    QTest::newRow("escape") << -1 << false;
}

void MainWebViewTest::sslWarningAbortOrIgnore()
{
    QFETCH(int, answer);
    QFETCH(bool, goOn);

    whenMessageBoxOpens([answer](QMessageBox *box) {
        QCOMPARE(box->windowTitle(), QStringLiteral("SSL Error"));
        QCOMPARE(
            box->text(),
            QStringLiteral("Brimora may not function with this configuration. SSL is required!"));
        QCOMPARE(box->icon(), QMessageBox::Warning);
        QCOMPARE(box->standardButtons(), QMessageBox::Abort | QMessageBox::Ignore);
        if (answer < 0) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else {
            box->button(QMessageBox::StandardButton(answer))->click();
        }
    });
    QCOMPARE(MainWebView::confirmRunWithoutSsl(nullptr), goOn);
}

void MainWebViewTest::pictureOfTheWindow()
{
    ScratchDirectory scratch;
    const auto settings = openDefaults(scratch.path());
    const struct
    {
        QString url;
        QString picture;
    } shots[] = {
        {service->http() + QStringLiteral("/login"), QStringLiteral("window-page.png")},
        {QStringLiteral("http://lectern-test.invalid/"), QStringLiteral("window-loading.png")}};
    for (const auto &shot : shots) {
        MainWebView view(shot.url, QStringLiteral("q.log"), settings.get());
        view.resize(330, 400);
        view.show();
        QSignalSpy loaded(&view, &QWebView::loadFinished);
        QVERIFY(loaded.wait(15000));
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QImage image = view.grab().toImage();
        QCOMPARE(image.size(), QSize(330, 400));
        QVERIFY(image.save(QStringLiteral(SHELL_TEST_OUTPUT_DIR "/") + shot.picture));
    }
}

QTEST_MAIN(MainWebViewTest)
#include "MainWebViewTest.moc"
