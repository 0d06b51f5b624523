#ifndef LECTERN_SHELL_QTTOOLCONTROLLER_H
#define LECTERN_SHELL_QTTOOLCONTROLLER_H

#include <QObject>
#include <QRect>
#include <QSize>
#include <QString>

class ClickerManager;
class MainWebView;
class QScreen;

// The one object that the service's page script reaches: it is added to every
// page as the global "QtToolController", and its public slots are exactly what
// the page may call.
class QtToolController : public QObject
{
    Q_OBJECT

public:
    explicit QtToolController(MainWebView *window);

    // Called once by the ClickerManager constructor; not visible to script.
    void setClickerManager(ClickerManager *manager);

    // `size` bounded by the desktop (all screens together): the cap on the
    // page's sizes, and on the start-up size of the window.
    static QSize boundedToDesktop(const QSize &size);

public slots:
    // Sizes the window; -1 for either dimension maximizes it instead. While a
    // receiver is connected the window is kept at least 130 pixels wide.
    void resize(int width, int height);
    bool startVoting(QString question_id, QString question_type);
    void stopVoting();
    void setDomReady();
    // A JPEG picture of the desktop (without this window) as Base64 text.
    QString takeScreenshot();
    // Loads the start URL again (not a reload of the current page).
    void reloadPage();

protected:
    // The screen that maximizing fills and screenshots show; null when the
    // system has none. Virtual so that a test can take the screen away.
    virtual QScreen *primaryScreen() const;

    // Page script also sees QObject's own deleteLater(); the bridge must not be
    // destroyable from a page, so deferred deletion is refused.
    bool event(QEvent *event) override;

private:
    void maximize();
    bool receiverConnected() const;

    MainWebView *view = nullptr;
    bool maximized = false;
    QRect savedGeometry;
    ClickerManager *clickerManager = nullptr;
};

#endif // LECTERN_SHELL_QTTOOLCONTROLLER_H
