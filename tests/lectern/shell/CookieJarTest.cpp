#include "CookieJar.h"
#include "MainWebView.h"
#include "ShellTestSupport.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkCookie>
#include <QNetworkReply>
#include <QSet>
#include <QTextCodec>
#include <QWebPage>
#include <QtTest>

namespace {

const QString cookieFile = QStringLiteral(".brq_cookies");

QMap<QString, QString> asMap(const QList<QNetworkCookie> &cookies)
{
    QMap<QString, QString> map;
    for (const QNetworkCookie &cookie : cookies) {
        map.insert(QString::fromUtf8(cookie.name()), QString::fromUtf8(cookie.value()));
    }
    return map;
}

QNetworkCookie cookie(const QByteArray &name, const QByteArray &value)
{
    return QNetworkCookie(name, value);
}

// A new jar over the cookie file as it is now. It reads a copy under a name
// that no jar has read before: the settings class keeps what it has read of a
// path, and takes a file replaced within the same millisecond by one of the
// same size for the one it read.
std::unique_ptr<CookieJar> nextRunJar()
{
    static int copies = 0;
    const QString copy = QStringLiteral("next-run-%1").arg(++copies);
    QFile::copy(cookieFile, copy);
    return std::make_unique<CookieJar>(copy);
}

// The cookies the next run finds for `url`, once `jar` has written all it
// has.
QList<QNetworkCookie> nextRun(CookieJar &jar, const QUrl &url)
{
    jar.flush();
    return nextRunJar()->cookiesForUrl(url);
}

QByteArrayList namesOf(const QList<QNetworkCookie> &cookies)
{
    QByteArrayList names;
    for (const QNetworkCookie &cookie : cookies)
        names << cookie.name();
    return names;
}

// Sends one GET through `network` and waits for its end.
void fetch(QNetworkAccessManager &network, const QString &url)
{
    QNetworkReply *reply = network.get(QNetworkRequest(QUrl(url)));
    QSignalSpy finished(reply, &QNetworkReply::finished);
    QVERIFY(finished.wait(10000));
    delete reply;
}

} // namespace

class CookieJarTest : public QObject
{
    Q_OBJECT

private slots:
    void noFileMeansNoCookies();
    void cookiesAreFiledPerHostWhateverPathSchemeOrPort();
    void laterValueReplacesEarlier();
    void valuesSurviveTheFileFormat_data();
    void valuesSurviveTheFileFormat();
    void namesAreCutAtTheFirstZeroByte();
    void namesTheFileCannotHoldAreRefused_data();
    void namesTheFileCannotHoldAreRefused();
    void urlWithoutHostKeepsItsOwnCookies();
    void namesAreUtf8BothWays();
    void fileOfTheFirstVersionsStillLoads();
    void unwritableFileKeepsCookiesForTheRun();
    void unwritableFileIsToldOnceInThePageLog();
    void cookiesPerHostAreBounded();
    void boundsDropWhatWasSetLongestAgo_data();
    void boundsDropWhatWasSetLongestAgo();
    void burstIsWrittenOnceTheEventLoopTurns();
    void cookieFileIsTheOwnersAlone();
    void garbageFileDoesNotBreakTheJar();
    void cookiesTravelWithRequestsToTheirHostOnly();
};

void CookieJarTest::noFileMeansNoCookies()
{
    ScratchDirectory scratch;
    CookieJar jar(cookieFile);
    QVERIFY(jar.cookiesForUrl(QUrl(QStringLiteral("https://a.test/login"))).isEmpty());
    QVERIFY(!QFile::exists(scratch.file(cookieFile)));
}

void CookieJarTest::cookiesAreFiledPerHostWhateverPathSchemeOrPort()
{
    ScratchDirectory scratch;
    CookieJar jar(cookieFile);
    QVERIFY(jar.setCookiesFromUrl({cookie("s", "1"), cookie("t", "2")},
                                  QUrl(QStringLiteral("http://a.test/a/page"))));
    QVERIFY(jar.setCookiesFromUrl({cookie("s", "9")}, QUrl(QStringLiteral("http://b.test/"))));

    // A fresh jar over the same file.
    jar.flush();
    CookieJar reader(cookieFile);
    const QMap<QString, QString> expectedA{{"s", "1"}, {"t", "2"}};
    QCOMPARE(asMap(reader.cookiesForUrl(QUrl(QStringLiteral("https://a.test:8443/b")))), expectedA);
    QCOMPARE(asMap(reader.cookiesForUrl(QUrl(QStringLiteral("http://b.test/x")))),
             (QMap<QString, QString>{{"s", "9"}}));
    // Neither subdomains nor parent domains share a host's cookies.
    QVERIFY(reader.cookiesForUrl(QUrl(QStringLiteral("http://www.a.test/"))).isEmpty());
    QVERIFY(reader.cookiesForUrl(QUrl(QStringLiteral("http://test/"))).isEmpty());

    QSettings file(scratch.file(cookieFile), QSettings::IniFormat);
    QCOMPARE(file.childGroups(), (QStringList{"a.test", "b.test"}));
}

void CookieJarTest::laterValueReplacesEarlier()
{
    ScratchDirectory scratch;
    CookieJar jar(cookieFile);
    const QUrl url(QStringLiteral("http://a.test/"));
    jar.setCookiesFromUrl({cookie("s", "old"), cookie("keep", "k")}, url);
    jar.setCookiesFromUrl({cookie("s", "first"), cookie("s", "second")}, url);
    QCOMPARE(asMap(jar.cookiesForUrl(url)),
             (QMap<QString, QString>{{"s", "second"}, {"keep", "k"}}));
}

void CookieJarTest::valuesSurviveTheFileFormat_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("comma and semicolon") << QByteArray("a,b; c");
    QTest::newRow("at sign") << QByteArray("@ByteArray(x)");
    QTest::newRow("quotes and backslash") << QByteArray("\"q\\\"");
    QTest::newRow("percent") << QByteArray("a%20b");
    QTest::newRow("equals") << QByteArray("k=v=w");
    QTest::newRow("non-ASCII") << QByteArray("caf\xc3\xa9");
    QTest::newRow("not UTF-8") << QByteArray("\xe9\xff");
    QTest::newRow("lone continuation byte") << QByteArray("a\x80z");
    QTest::newRow("overlong slash") << QByteArray("\xc0\xaf");
    QTest::newRow("cut UTF-8") << QByteArray("caf\xc3");
    QTest::newRow("long") << QByteArray(4000, 'x');
}

void CookieJarTest::valuesSurviveTheFileFormat()
{
    QFETCH(QByteArray, value);
    ScratchDirectory scratch;
    CookieJar jar(cookieFile);
    const QUrl url(QStringLiteral("http://a.test/"));
    jar.setCookiesFromUrl({cookie("v", value)}, url);
    const QList<QNetworkCookie> back = nextRun(jar, url);
    QCOMPARE(back.size(), 1);
    QCOMPARE(back.first().value(), value);
}

void CookieJarTest::namesAreCutAtTheFirstZeroByte()
{
    ScratchDirectory scratch;
    CookieJar jar(cookieFile);
    const QUrl url(QStringLiteral("http://a.test/"));
    jar.setCookiesFromUrl({cookie(QByteArray("ab\0cd", 5), QByteArray("v\0w", 3))}, url);
    QCOMPARE(asMap(jar.cookiesForUrl(url)), (QMap<QString, QString>{{"ab", "v"}}));
}

void CookieJarTest::namesTheFileCannotHoldAreRefused_data()
{
    // Names that cannot be keys of the host's own section in the file: the
    // settings class takes "/" and "\" as separators of subgroups, and keys
    // are non-empty UTF-8 text.
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("slash") << QByteArray("dir/name");
    QTest::newRow("backslash") << QByteArray("dir\\name");
    QTest::newRow("not UTF-8") << QByteArray("caf\xe9");
    QTest::newRow("empty") << QByteArray();
}

void CookieJarTest::namesTheFileCannotHoldAreRefused()
{
    QFETCH(QByteArray, name);
    ScratchDirectory scratch;
    CookieJar jar(cookieFile);
    const QUrl url(QStringLiteral("http://a.test/"));
    QVERIFY(jar.setCookiesFromUrl({cookie(name, "1"), cookie("plain", "2")}, url));
    // Neither sent in this run nor written for the next.
    QCOMPARE(asMap(jar.cookiesForUrl(url)), (QMap<QString, QString>{{"plain", "2"}}));
    jar.flush();
    QSettings file(scratch.file(cookieFile), QSettings::IniFormat);
    QCOMPARE(file.allKeys(), QStringList{QStringLiteral("a.test/plain")});
}

void CookieJarTest::urlWithoutHostKeepsItsOwnCookies()
{
    ScratchDirectory scratch;
    CookieJar jar(cookieFile);
    QVERIFY(jar.setCookiesFromUrl({cookie("local", "1")}, QUrl(QStringLiteral("about:blank"))));
    QVERIFY(jar.setCookiesFromUrl({cookie("s", "2")}, QUrl(QStringLiteral("http://a.test/"))));
    QCOMPARE(asMap(jar.cookiesForUrl(QUrl(QStringLiteral("about:blank")))),
             (QMap<QString, QString>{{"local", "1"}}));
    QCOMPARE(asMap(jar.cookiesForUrl(QUrl(QStringLiteral("http://a.test/")))),
             (QMap<QString, QString>{{"s", "2"}}));
}

void CookieJarTest::namesAreUtf8BothWays()
{
    ScratchDirectory scratch;
    // A local 8-bit encoding other than UTF-8 must not matter.
    QTextCodec *const locale = QTextCodec::codecForLocale();
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("ISO-8859-1"));
    CookieJar jar(cookieFile);
    const QUrl url(QStringLiteral("http://a.test/"));
    jar.setCookiesFromUrl({cookie("caf\xc3\xa9", "1")}, url);
    const QList<QNetworkCookie> back = nextRun(jar, url);
    QTextCodec::setCodecForLocale(locale);
    QCOMPARE(back.size(), 1);
    QCOMPARE(back.first().name(), QByteArray("caf\xc3\xa9"));
}

void CookieJarTest::fileOfTheFirstVersionsStillLoads()
{
    ScratchDirectory scratch;
    // As the first versions wrote it: every name and value as text.
    QFile file(scratch.file(cookieFile));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[General]\n"
               "local=1\n"
               "\n"
               "[a.test]\n"
               "at=@@ByteArray(x)\n"
               "caf%E9=cr\\xe8me \\x20ac\n"
               "list=\"a,b; c\"\n"
               "sessionid=abc123\n"
               "\n"
               "[b.test]\n"
               "empty=\n"
               "s=9\n");
    file.close();

    CookieJar jar(cookieFile);
    const auto bytesOf = [](const QList<QNetworkCookie> &cookies) {
        QMap<QByteArray, QByteArray> map;
        for (const QNetworkCookie &cookie : cookies)
            map.insert(cookie.name(), cookie.value());
        return map;
    };
    QCOMPARE(bytesOf(jar.cookiesForUrl(QUrl(QStringLiteral("https://a.test/")))),
             (QMap<QByteArray, QByteArray>{{"at", "@ByteArray(x)"},
                                           {"caf\xc3\xa9", "cr\xc3\xa8me \xe2\x82\xac"},
                                           {"list", "a,b; c"},
                                           {"sessionid", "abc123"}}));
    QCOMPARE(bytesOf(jar.cookiesForUrl(QUrl(QStringLiteral("http://b.test/")))),
             (QMap<QByteArray, QByteArray>{{"empty", ""}, {"s", "9"}}));
    QCOMPARE(bytesOf(jar.cookiesForUrl(QUrl(QStringLiteral("about:blank")))),
             (QMap<QByteArray, QByteArray>{{"local", "1"}}));
}

void CookieJarTest::unwritableFileKeepsCookiesForTheRun()
{
    ScratchDirectory scratch;
    // A directory where the file should be: neither readable nor writable.
    QVERIFY(QDir(scratch.path()).mkdir(cookieFile));
    CookieJar jar(cookieFile);
    QSignalSpy failures(&jar, &CookieJar::storeFailed);
    const QUrl url(QStringLiteral("http://a.test/"));
    QVERIFY(jar.setCookiesFromUrl({cookie("s", "1")}, url));
    QCOMPARE(asMap(jar.cookiesForUrl(url)), (QMap<QString, QString>{{"s", "1"}}));
    QTRY_COMPARE_WITH_TIMEOUT(failures.count(), 1, 10000);
    // Told once, naming the file and the error: a later failed write (all of
    // whose news has arrived once the jar has flushed and events are
    // processed) tells nothing more.
    QVERIFY(jar.setCookiesFromUrl({cookie("t", "2")}, url));
    jar.flush();
    QCoreApplication::processEvents();
    QCOMPARE(failures.count(), 1);
    QCOMPARE(asMap(jar.cookiesForUrl(url)), (QMap<QString, QString>{{"s", "1"}, {"t", "2"}}));
    const QString line = failures.first().first().toString();
    const QString path = QDir::current().absoluteFilePath(cookieFile);
    QVERIFY2(line.startsWith(QStringLiteral("Cookie file %1 cannot be written (").arg(path)),
             qPrintable(line));
    QVERIFY2(line.contains(QStringLiteral("directory")), qPrintable(line));
    // The next run finds nothing to read.
    QVERIFY(nextRun(jar, url).isEmpty());
}

void CookieJarTest::unwritableFileIsToldOnceInThePageLog()
{
    ScratchDirectory scratch;
    QVERIFY(QDir(scratch.path()).mkdir(cookieFile));
    const auto settings = openDefaults(scratch.path());
    MainWebView view(QStringLiteral("about:blank"), QStringLiteral("q.log"), settings.get());
    QNetworkCookieJar *jar = view.page()->networkAccessManager()->cookieJar();
    const QUrl url(QStringLiteral("http://a.test/"));
    jar->setCookiesFromUrl({cookie("s", "1")}, url);
    QCOMPARE(jar->cookiesForUrl(url).size(), 1);
    const auto told = [&scratch]() {
        return readText(scratch.file(QStringLiteral("q.log")))
            .split('\n')
            .filter(QStringLiteral("Cookie file "));
    };
    QTRY_COMPARE_WITH_TIMEOUT(told().size(), 1, 10000);
    QVERIFY2(told().first().contains(QDir::current().absoluteFilePath(cookieFile)),
             qPrintable(told().first()));
}

void CookieJarTest::cookiesPerHostAreBounded()
{
    ScratchDirectory scratch;
    CookieJar jar(cookieFile);
    const QUrl url(QStringLiteral("http://flood.test/"));
    const auto names = namesOf;
    // 180, the bound that Chromium and Firefox keep, are all kept.
    jar.setCookiesFromUrl({cookie("early", "1")}, url);
    QList<QNetworkCookie> more;
    for (int i = 0; i < 179; ++i)
        more << cookie("c" + QByteArray::number(i), "v");
    jar.setCookiesFromUrl(more, url);
    QCOMPARE(jar.cookiesForUrl(url).size(), 180);
    // One more drops the cookie set longest ago; one set again counts as new.
    jar.setCookiesFromUrl({cookie("early", "2")}, url);
    jar.setCookiesFromUrl({cookie("late", "3")}, url);
    QList<QByteArray> kept = names(jar.cookiesForUrl(url));
    QCOMPARE(kept.size(), 180);
    QVERIFY(!kept.contains("c0"));
    QVERIFY(kept.contains("c1"));
    QVERIFY(kept.contains("early"));
    QVERIFY(kept.contains("late"));

    // A host that sets 3000 cookies (about 120 KB) keeps its newest 180, in
    // this run and the next, and its requests stay within a server's 8 KB.
    QList<QNetworkCookie> flood;
    for (int i = 0; i < 3000; ++i)
        flood << cookie(QByteArray("f") + QByteArray::number(i).rightJustified(4, '0'),
                        QByteArray(32, 'x'));
    jar.setCookiesFromUrl(flood, url);
    QList<QByteArray> newest;
    for (int i = 2820; i < 3000; ++i)
        newest << QByteArray("f") + QByteArray::number(i);
    QCOMPARE(names(jar.cookiesForUrl(url)), newest);
    QList<QByteArray> stored = names(nextRun(jar, url));
    std::sort(stored.begin(), stored.end());
    QCOMPARE(stored, newest);
    QByteArray header;
    for (const QNetworkCookie &cookie : jar.cookiesForUrl(url))
        header +=
            (header.isEmpty() ? "" : "; ") + cookie.toRawForm(QNetworkCookie::NameAndValueOnly);
    QVERIFY2(header.size() < 8192, qPrintable(QString::number(header.size())));

    // A file that holds more from before the bounds, cookies and hosts, is
    // cut back when read.
    {
        QSettings bloated(scratch.file(cookieFile), QSettings::IniFormat);
        for (int i = 0; i < 3000; ++i)
            bloated.setValue(QStringLiteral("old.test/k%1").arg(i, 4, 10, QLatin1Char('0')), "v");
        for (int i = 0; i < 60; ++i)
            bloated.setValue(QStringLiteral("h%1.test/k").arg(i), "v");
    }
    const QUrl old(QStringLiteral("http://old.test/"));
    CookieJar reread(cookieFile);
    QCOMPARE(reread.cookiesForUrl(old).size(), 180);
    reread.flush();
    QSettings file(scratch.file(cookieFile), QSettings::IniFormat);
    QCOMPARE(file.childGroups().size(), CookieJar::maxHosts);
    file.beginGroup(QStringLiteral("old.test"));
    QCOMPARE(file.childKeys().size(), 180);
}

void CookieJarTest::boundsDropWhatWasSetLongestAgo_data()
{
    // Cookies set one by one ("host name length-of-value"), and the pairs
    // "host/name" kept. A Cookie header counts "name=value" per cookie and
    // "; " between cookies.
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QStringList>("kept");
    QTest::newRow("cookie of 4096 bytes") << QStringList{"a n 4095"} << QStringList{"a/n"};
    QTest::newRow("cookie of 4097 bytes") << QStringList{"a n 4096"} << QStringList{};
    // 3996 + 2 + 3996 + 2 + 4 bytes.
    QTest::newRow("header of 8000 bytes")
        << QStringList{"a a 3994", "a b 3994", "a c 2"} << QStringList{"a/a", "a/b", "a/c"};
    QTest::newRow("header of 8001 bytes")
        << QStringList{"a a 3994", "a b 3994", "a c 3"} << QStringList{"a/b", "a/c"};
    QStringList hosts;
    QStringList kept;
    for (int i = 0; i <= CookieJar::maxHosts; ++i) {
        hosts << QStringLiteral("h%1 n 1").arg(i);
        kept << QStringLiteral("h%1/n").arg(i);
    }
    QTest::newRow("one host too many") << hosts << QStringList(kept.mid(1));
    hosts.insert(CookieJar::maxHosts, QStringLiteral("h0 m 1"));
    kept.removeAt(1);
    QTest::newRow("host set again counts as new") << hosts << kept + QStringList{"h0/m"};
}

void CookieJarTest::boundsDropWhatWasSetLongestAgo()
{
    QFETCH(QStringList, settings);
    QFETCH(QStringList, kept);
    ScratchDirectory scratch;
    CookieJar jar(cookieFile);
    QSet<QString> hosts;
    for (const QString &setting : settings) {
        const QStringList parts = setting.split(QLatin1Char(' '));
        hosts << parts[0];
        jar.setCookiesFromUrl({cookie(parts[1].toUtf8(), QByteArray(parts[2].toInt(), 'v'))},
                              QUrl(QStringLiteral("http://%1/").arg(parts[0])));
    }
    const auto keptBy = [&hosts](const CookieJar &cookies) {
        QStringList names;
        for (const QString &host : hosts) {
            for (const QByteArray &name :
                 namesOf(cookies.cookiesForUrl(QUrl(QStringLiteral("http://%1/").arg(host)))))
                names << host + QLatin1Char('/') + QString::fromUtf8(name);
        }
        names.sort();
        return names;
    };
    kept.sort();
    QCOMPARE(keptBy(jar), kept);
    jar.flush();
    QCOMPARE(keptBy(*nextRunJar()), kept);
}

void CookieJarTest::burstIsWrittenOnceTheEventLoopTurns()
{
    ScratchDirectory scratch;
    CookieJar jar(cookieFile);
    const QUrl url(QStringLiteral("http://a.test/"));
    // As a page script that sets 1000 cookies one by one, within one turn of
    // the event loop: nothing is written while it runs, all once it is over.
    for (int i = 0; i < 1000; ++i)
        jar.setCookiesFromUrl({cookie("c" + QByteArray::number(i), "v")}, url);
    QVERIFY(!QFile::exists(scratch.file(cookieFile)));
    QTRY_COMPARE_WITH_TIMEOUT(nextRunJar()->cookiesForUrl(url).size(), CookieJar::maxCookiesPerHost,
                              10000);
}

void CookieJarTest::cookieFileIsTheOwnersAlone()
{
    ScratchDirectory scratch;
    const FileCreationMask openMask(0);
    const QString path = scratch.file(cookieFile);
    // Open to all, as older versions left it.
    QVERIFY(writeFile(path, "[a.test]\nsessionid=old\n", 0644));
    CookieJar jar(cookieFile);
    // Restricted at once, before anything is set.
    QCOMPARE(QString::number(modeOf(path), 8), QStringLiteral("600"));
    // A file written anew, with none to replace, is as private.
    QVERIFY(QFile::remove(path));
    const QUrl url(QStringLiteral("http://a.test/"));
    jar.setCookiesFromUrl({cookie("sessionid", "new")}, url);
    jar.flush();
    QCOMPARE(QString::number(modeOf(path), 8), QStringLiteral("600"));
    // Nothing but the file is left in the folder.
    QCOMPARE(QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{cookieFile});
    QCOMPARE(asMap(nextRun(jar, url)), (QMap<QString, QString>{{"sessionid", "new"}}));
}

void CookieJarTest::garbageFileDoesNotBreakTheJar()
{
    ScratchDirectory scratch;
    QFile file(scratch.file(cookieFile));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray junk;
    for (int i = 0; i < 2048; ++i) {
        junk.append(char((i * 131 + 7) % 256));
    }
    file.write(junk);
    file.close();

    CookieJar jar(cookieFile);
    const QUrl url(QStringLiteral("http://a.test/"));
    jar.cookiesForUrl(url);
    QVERIFY(jar.setCookiesFromUrl({cookie("s", "1")}, url));
    QCOMPARE(asMap(jar.cookiesForUrl(url)).value(QStringLiteral("s")), QStringLiteral("1"));
}

void CookieJarTest::cookiesTravelWithRequestsToTheirHostOnly()
{
    DevService service;
    QVERIFY(service.isRunning());
    ScratchDirectory scratch;
    QNetworkAccessManager network;
    auto *jar = new CookieJar(cookieFile);
    network.setCookieJar(jar);

    fetch(network, service.http() + QStringLiteral("/static/style.css"));
    QVERIFY(!QFile::exists(scratch.file(cookieFile)));

    // The login sets "sessionid" with Path=/; it goes with every later request
    // to the host, whatever the path.
    fetch(network, service.http() + QStringLiteral("/login?auto=1&user=ann"));
    jar->flush();
    QSettings file(scratch.file(cookieFile), QSettings::IniFormat);
    QCOMPARE(file.childGroups(), QStringList{QStringLiteral("127.0.0.1")});
    const QString session = file.value(QStringLiteral("127.0.0.1/sessionid")).toString();
    QVERIFY(!session.isEmpty());

    service.reset();
    fetch(network, service.http() + QStringLiteral("/nowhere/else"));
    // Same service under another host name: no cookies.
    QString otherHost = service.http();
    otherHost.replace(QStringLiteral("127.0.0.1"), QStringLiteral("localhost"));
    fetch(network, otherHost + QStringLiteral("/elsewhere"));
    QCOMPARE(service.requestsFor(QStringLiteral("/nowhere/else"))
                 .first()
                 .toObject()
                 .value(QStringLiteral("cookie"))
                 .toString(),
             QStringLiteral("sessionid=") + session);
    QCOMPARE(service.requestsFor(QStringLiteral("/elsewhere"))
                 .first()
                 .toObject()
                 .value(QStringLiteral("cookie"))
                 .toString(),
             QString());

    // A deletion by past expiry keeps the value that came with it, and the
    // cookie is still sent.
    fetch(network, service.http() + QStringLiteral("/logout"));
    jar->flush();
    file.sync();
    QVERIFY(file.contains(QStringLiteral("127.0.0.1/sessionid")));
    QCOMPARE(file.value(QStringLiteral("127.0.0.1/sessionid")).toString(), QString());
    service.reset();
    fetch(network, service.http() + QStringLiteral("/after"));
    QCOMPARE(service.requestsFor(QStringLiteral("/after"))
                 .first()
                 .toObject()
                 .value(QStringLiteral("cookie"))
                 .toString(),
             QStringLiteral("sessionid="));
}

QTEST_MAIN(CookieJarTest)
#include "CookieJarTest.moc"
