// What 1,000 cookies set in one page load cost the window's (GUI) thread.
//
// A page of http://bench.test/ sets 1,000 cookies from its script while it
// loads, each through document.cookie: 1,000 calls of the cookie jar, one
// cookie each, as a burst of Set-Cookie headers would make. Per run, in a
// fresh scratch folder (no cookie file):
//
//   in jar     time spent inside the jar's setCookiesFromUrl, summed over the
//              1,000 calls (GUI thread)
//   GUI CPU    CPU time of the GUI thread from the start of the load until the
//              page has loaded and the event loop has nothing left to do
//   on disk    wall time from the start of the load until the page is gone and
//              with it the jar, which has then written everything it keeps
//
// Usage: cookie-burst [--runs N] (default 5); needs an X server (or
// QT_QPA_PLATFORM=offscreen).
#include "CookieJar.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebFrame>
#include <QWebPage>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

constexpr int cookieCount = 1000;

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// The jar as the program uses it, with the time spent in each store added up.
class TimedJar : public CookieJar
{
public:
    using CookieJar::CookieJar;

    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookies, const QUrl &url) override
    {
        QElapsedTimer timer;
        timer.start();
        const bool accepted = CookieJar::setCookiesFromUrl(cookies, url);
        nanoseconds += timer.nsecsElapsed();
        ++calls;
        return accepted;
    }

    qint64 nanoseconds = 0;
    int calls = 0;
};

struct Figures
{
    double inJarMs = 0;
    double guiCpuMs = 0;
    double onDiskMs = 0;
    int calls = 0;
};

QString burstPage()
{
    return QStringLiteral("<html><body><script>"
                          "for (var i = 0; i < %1; ++i)"
                          "  document.cookie = 'c' + i + '=' + 'v'.repeat(40) + '; Path=/';"
                          "</script></body></html>")
        .arg(cookieCount);
}

Figures runOnce()
{
    QTemporaryDir scratch;
    const QString previous = QDir::currentPath();
    QDir::setCurrent(scratch.path());
    Figures figures;
    auto *page = new QWebPage;
    auto *jar = new TimedJar(QStringLiteral(".brq_cookies"));
    page->networkAccessManager()->setCookieJar(jar);
    QSignalSpy loaded(page, &QWebPage::loadFinished);

    QElapsedTimer wall;
    wall.start();
    const double cpuStart = threadCpuMs();
    page->mainFrame()->setHtml(burstPage(), QUrl(QStringLiteral("http://bench.test/")));
    if (loaded.isEmpty())
        loaded.wait(60000);
    QCoreApplication::processEvents();
    figures.guiCpuMs = threadCpuMs() - cpuStart;
    figures.inJarMs = jar->nanoseconds / 1e6;
    figures.calls = jar->calls;
    delete page; // and with it the jar
    figures.onDiskMs = wall.nsecsElapsed() / 1e6;
    QDir::setCurrent(previous);
    return figures;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void printFigure(const char *name, const std::vector<double> &values)
{
    std::printf("%-8s median %9.1f ms  (%.1f-%.1f)\n", name, median(values),
                *std::min_element(values.begin(), values.end()),
                *std::max_element(values.begin(), values.end()));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int runs = 5;
    if (argc == 3 && std::strcmp(argv[1], "--runs") == 0)
        runs = std::max(1, std::atoi(argv[2]));
    std::vector<double> inJar, guiCpu, onDisk;
    for (int i = 0; i < runs; ++i) {
        const Figures figures = runOnce();
        if (figures.calls != cookieCount) {
            std::fprintf(stderr, "cookie-burst: the jar saw %d calls, not %d\n", figures.calls,
                         cookieCount);
            return 1;
        }
        inJar.push_back(figures.inJarMs);
        guiCpu.push_back(figures.guiCpuMs);
        onDisk.push_back(figures.onDiskMs);
    }
    std::printf("%d cookies in one page load, %d runs:\n", cookieCount, runs);
    printFigure("in jar", inJar);
    printFigure("GUI CPU", guiCpu);
    printFigure("on disk", onDisk);
    return 0;
}
