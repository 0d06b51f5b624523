#include "QtToolController.h"
#include "ClickerManager.h"
#include "MainWebView.h"
#include "ShellTestSupport.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QScreen>
#include <QWebFrame>
#include <QtTest>

namespace {

QRect available()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// A bridge on a system without screens.
class NoScreenController : public QtToolController
{
public:
    using QtToolController::QtToolController;

protected:
    QScreen *primaryScreen() const override { return nullptr; }
};

// Counts the paint events of a widget.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget *widget) { widget->installEventFilter(this); }
    int paints = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class QtToolControllerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void normalSizeIsApplied();
    void narrowWidthDependsOnTheReceiver_data();
    void narrowWidthDependsOnTheReceiver();
    void minusOneMaximizesAndNextRequestRestores();
    void minusOneWidthWithReceiverIsNotAMaximize();
    void minusOneHeightAlwaysMaximizes();
    void secondMaximizeRemembersTheMaximizedGeometry();
    void maximizeWithoutAScreenDoesNothing();
    void pageScriptReachesTheBridge();
    void hugeSizeIsBoundedByTheDesktop_data();
    void hugeSizeIsBoundedByTheDesktop();
    void screenshotIsAJpegOfTheScreen();
    void reloadPageReturnsToTheStartUrl();

private:
    // Connects or disconnects the receiver just before a bridge call; the
    // manager's own tick cannot run in between, both being on this thread.
    void setReceiver(bool connected);

    std::unique_ptr<DevService> service;
    std::unique_ptr<ScratchDirectory> scratch;
    std::unique_ptr<QSettings> settings;
    std::unique_ptr<MainWebView> view;
    QtToolController *bridge = nullptr;
};

void QtToolControllerTest::init()
{
    scratch = std::make_unique<ScratchDirectory>();
    settings = openDefaults(scratch->path());
    // A local start page is trusted: it has the bridge.
    const QString start = scratch->file(QStringLiteral("start.html"));
    QVERIFY(writeFile(start, "<p>start</p>", 0644));
    view = std::make_unique<MainWebView>(QUrl::fromLocalFile(start).toString(),
                                         QStringLiteral("q.log"), settings.get());
    QSignalSpy loaded(view.get(), &QWebView::loadFinished);
    QVERIFY(loaded.wait(10000));
    view->setGeometry(50, 60, 300, 200);
    view->show();
    QVERIFY(QTest::qWaitForWindowExposed(view.get()));
    bridge = view->bridge();
}

void QtToolControllerTest::cleanup()
{
    view.reset();
    settings.reset();
    scratch.reset();
}

void QtToolControllerTest::setReceiver(bool connected)
{
    if (connected) {
        view->clickers()->showConnectionStatus();
    } else {
        view->clickers()->hideConnectionStatus();
    }
}

void QtToolControllerTest::normalSizeIsApplied()
{
    setReceiver(false);
    bridge->resize(400, 300);
    QCOMPARE(view->geometry(), QRect(50, 60, 400, 300));
}

void QtToolControllerTest::narrowWidthDependsOnTheReceiver_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<bool>("receiver");
    QTest::addColumn<int>("expected");
    QTest::newRow("100 without receiver") << 100 << false << 100;
    QTest::newRow("100 with receiver") << 100 << true << 130;
    QTest::newRow("129 with receiver") << 129 << true << 130;
    QTest::newRow("130 with receiver") << 130 << true << 130;
    QTest::newRow("131 with receiver") << 131 << true << 131;
    QTest::newRow("0 with receiver") << 0 << true << 130;
    QTest::newRow("-7 with receiver") << -7 << true << 130;
}

void QtToolControllerTest::narrowWidthDependsOnTheReceiver()
{
    QFETCH(int, width);
    QFETCH(bool, receiver);
    QFETCH(int, expected);
    setReceiver(receiver);
    bridge->resize(width, 300);
    QCOMPARE(view->width(), qMax(expected, view->minimumWidth()));
    QCOMPARE(view->height(), 300);
}

void QtToolControllerTest::minusOneMaximizesAndNextRequestRestores()
{
    setReceiver(false);
    bridge->resize(-1, 500);
    QCOMPARE(view->frameGeometry().topLeft(), QPoint(0, 0));
    QCOMPARE(view->frameGeometry().size(), available().size());

    bridge->resize(400, 300);
    QCOMPARE(view->geometry(), QRect(50, 60, 400, 300));
}

void QtToolControllerTest::minusOneWidthWithReceiverIsNotAMaximize()
{
    setReceiver(true);
    bridge->resize(-1, 300);
    QCOMPARE(view->geometry(), QRect(50, 60, 130, 300));
}

void QtToolControllerTest::minusOneHeightAlwaysMaximizes()
{
    for (bool receiver : {false, true}) {
        view->setGeometry(50, 60, 300, 200);
        setReceiver(receiver);
        bridge->resize(500, -1);
        QCOMPARE(view->frameGeometry(), QRect(QPoint(0, 0), available().size()));
        bridge->resize(300, 200);
        QCOMPARE(view->geometry(), QRect(50, 60, 300, 200));
    }
}

void QtToolControllerTest::secondMaximizeRemembersTheMaximizedGeometry()
{
    setReceiver(false);
    bridge->resize(-1, -1);
    const QRect maximized = view->geometry();
    bridge->resize(-1, 500);
    bridge->resize(400, 300);
    QCOMPARE(view->geometry(), QRect(maximized.topLeft(), QSize(400, 300)));
}

void QtToolControllerTest::maximizeWithoutAScreenDoesNothing()
{
    NoScreenController screenless(view.get());
    screenless.resize(-1, -1);
    screenless.resize(500, -1);
    QCOMPARE(view->geometry(), QRect(50, 60, 300, 200));
    // Nothing was maximized, so nothing is put back before a normal size.
    view->move(70, 80);
    screenless.resize(400, 300);
    QCOMPARE(view->geometry(), QRect(70, 80, 400, 300));
}

void QtToolControllerTest::pageScriptReachesTheBridge()
{
    setReceiver(false);
    QWebFrame *frame = view->page()->mainFrame();
    frame->evaluateJavaScript(QStringLiteral("QtToolController.resize(420, 310)"));
    QCOMPARE(view->size(), QSize(420, 310));

    QCOMPARE(frame->evaluateJavaScript("QtToolController.startVoting('q1', 'mc')"), QVariant(true));
    QCOMPARE(frame->evaluateJavaScript("QtToolController.startVoting('q1', 'essay')"),
             QVariant(false));
    QCOMPARE(frame->evaluateJavaScript("QtToolController.startVoting('q2', 'MC')"),
             QVariant(false));
    frame->evaluateJavaScript(QStringLiteral("QtToolController.stopVoting()"));
    frame->evaluateJavaScript(QStringLiteral("QtToolController.setDomReady()"));

    // A call without its arguments fails in the page and leaves the window
    // alone; arguments that are no numbers arrive as script converts them, 0.
    QCOMPARE(frame
                 ->evaluateJavaScript(QStringLiteral(
                     "try { QtToolController.resize(); 'called' } catch (e) { 'threw' }"))
                 .toString(),
             QStringLiteral("threw"));
    QCOMPARE(view->size(), QSize(420, 310));
    frame->evaluateJavaScript(QStringLiteral("QtToolController.resize('wide', {})"));
    QCOMPARE(view->size(), view->minimumSize());
    QVERIFY(view->isVisible());
}

void QtToolControllerTest::hugeSizeIsBoundedByTheDesktop_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::newRow("both") << 100000 << 100000;
    QTest::newRow("width") << 40000 << 300;
    QTest::newRow("height") << 300 << 2147483647;
}

void QtToolControllerTest::hugeSizeIsBoundedByTheDesktop()
{
    QFETCH(int, width);
    QFETCH(int, height);
    setReceiver(false);
    PaintCounter counter(view.get());
    bridge->resize(width, height);
    // Painting such a window would crash the program; it must get painted.
    QTRY_VERIFY(counter.paints > 0);
    const QSize desktop = QGuiApplication::primaryScreen()->virtualSize();
    QCOMPARE(view->size(), QSize(width, height).boundedTo(desktop));
    QVERIFY(view->isVisible());
}

void QtToolControllerTest::screenshotIsAJpegOfTheScreen()
{
    const QString text = bridge->takeScreenshot();
    QVERIFY(!text.isEmpty());
    QVERIFY(!text.contains('\n'));
    QByteArray jpeg =
        QByteArray::fromBase64(text.toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    QVERIFY(jpeg.startsWith("\xff\xd8"));
    QBuffer buffer(&jpeg);
    QImageReader reader(&buffer);
    QCOMPARE(reader.format(), QByteArray("jpeg"));
    QCOMPARE(reader.size(), QGuiApplication::primaryScreen()->geometry().size());
    QVERIFY(view->isVisible());

    // The same through page script, as a string.
    const QVariant fromScript = view->page()->mainFrame()->evaluateJavaScript(
        QStringLiteral("QtToolController.takeScreenshot()"));
    QVERIFY(fromScript.toString().startsWith(QStringLiteral("/9j/")));
}

void QtToolControllerTest::reloadPageReturnsToTheStartUrl()
{
    if (!service) {
        service = std::make_unique<DevService>();
    }
    QVERIFY(service->isRunning());
    const QUrl start(service->http() + QStringLiteral("/login?next=/class"));
    view = std::make_unique<MainWebView>(start.toString(), QStringLiteral("q.log"), settings.get());
    QSignalSpy loaded(view.get(), &QWebView::loadFinished);
    QVERIFY(loaded.wait(10000));
    view->load(QUrl(service->http() + QStringLiteral("/elsewhere")));
    QVERIFY(loaded.wait(10000));
    QCOMPARE(view->url().path(), QStringLiteral("/elsewhere"));

    view->page()->mainFrame()->evaluateJavaScript(QStringLiteral("QtToolController.reloadPage()"));
    QVERIFY(loaded.wait(10000));
    QCOMPARE(view->url(), start);
}

QTEST_MAIN(QtToolControllerTest)
#include "QtToolControllerTest.moc"
