#include "QtToolController.h"

#include "ClickerManager.h"
#include "MainWebView.h"

#include <QApplication>
#include <QBuffer>
#include <QDesktopWidget>
#include <QEvent>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

namespace {

// While a receiver is connected the page's connection status must stay legible.
constexpr int minimumWidthWithReceiver = 130;

} // namespace

QSize QtToolController::boundedToDesktop(const QSize &size)
{
    // No window needs to be larger than all screens together; a larger one
    // makes the window system allocate (and fail on) a giant surface.
    const QScreen *screen = QGuiApplication::primaryScreen();
    return size.boundedTo(screen != nullptr ? screen->virtualSize()
                                            : QSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
}

QtToolController::QtToolController(MainWebView *window) : view(window) {}

void QtToolController::setClickerManager(ClickerManager *manager)
{
    clickerManager = manager;
}

void QtToolController::resize(int width, int height)
{
    if (width < minimumWidthWithReceiver) {
        if (receiverConnected()) {
            width = minimumWidthWithReceiver;
        } else if (width == -1) {
            maximize();
            return;
        }
    }
    if (height == -1) {
        maximize();
        return;
    }
    if (maximized) {
        maximized = false;
        view->setGeometry(savedGeometry);
    }
    view->resize(boundedToDesktop(QSize(width, height)));
    savedGeometry = view->geometry();
}

bool QtToolController::startVoting(QString question_id, QString question_type)
{
    return clickerManager != nullptr && clickerManager->startVoting(question_id, question_type);
}

void QtToolController::stopVoting()
{
    if (clickerManager != nullptr) {
        clickerManager->stopVoting();
    }
}

void QtToolController::setDomReady()
{
    if (clickerManager != nullptr) {
        clickerManager->setDomReady();
    }
}

QString QtToolController::takeScreenshot()
{
    QScreen *screen = primaryScreen();
    if (screen == nullptr) {
        return QString();
    }
    view->hide();
    const QPixmap picture = screen->grabWindow(QApplication::desktop()->winId(), 0, 0, -1, -1);
    view->show();

    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "jpg");
    return QString::fromLatin1(jpeg.toBase64());
}

void QtToolController::reloadPage()
{
    view->loadStartUrl();
}

bool QtToolController::event(QEvent *event)
{
    if (event->type() == QEvent::DeferredDelete) {
        return true;
    }
    return QObject::event(event);
}

QScreen *QtToolController::primaryScreen() const
{
    return QGuiApplication::primaryScreen();
}

void QtToolController::maximize()
{
    // Without a screen there is no area to fill: the request changes nothing.
    const QScreen *screen = primaryScreen();
    if (screen == nullptr) {
        return;
    }
    // Stored even when already maximized, so a later normal request puts back
    // the maximized geometry.
    maximized = true;
    savedGeometry = view->geometry();
    view->setGeometry(screen->availableGeometry());
    const QSize frame = view->frameSize();
    const QSize inner = view->geometry().size();
    view->resize(2 * inner.width() - frame.width(), 2 * inner.height() - frame.height());
    view->move(0, 0);
}

bool QtToolController::receiverConnected() const
{
    return clickerManager != nullptr && clickerManager->isConnected();
}
