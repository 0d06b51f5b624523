// Question, answer and connection rules of the clicker manager, and the exact
// script texts it hands to the page.
#include "ClickerManager.h"
#include "VotingTestSupport.h"
#include "WorkerThread.h"

#include <QJSEngine>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {

// Counts the manager's looks at the serial port list, i.e. its ticks, which
// come at the shortest interval.
class TickCountingManager : public ClickerManager
{
public:
    TickCountingManager() : ClickerManager(nullptr, WorkerThread::minimumIntervalMs) {}
    mutable int ticks = 0;
    QList<SerialPortEntry> ports;

protected:
    QList<SerialPortEntry> availableSerialPorts() const override
    {
        ++ticks;
        return ports;
    }
};

} // namespace

class ClickerManagerTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void startVotingAcceptsExactlyFourTypes_data();
    void startVotingAcceptsExactlyFourTypes();
    void answerTextForVotePackets_data();
    void answerTextForVotePackets();
    void numericQuestionDeliversOnlyNumbers_data();
    void numericQuestionDeliversOnlyNumbers();
    void voteScriptIsExact();
    void hostileTextsAreEscaped_data();
    void hostileTextsAreEscaped();
    void hostileTextsArriveUnchangedInPage_data();
    void hostileTextsArriveUnchangedInPage();
    void connectionStatusWaitsForDomReady();
    void connectionStatusChangesAreReportedOnce();
    void workerStopsWhenApplicationQuits();
    void tickLooksAtPortListOnce();

private:
    std::unique_ptr<ClickerManager> manager;
    std::unique_ptr<QSignalSpy> spy;
};

void ClickerManagerTest::init()
{
    manager = std::make_unique<ClickerManager>(nullptr);
    spy = std::make_unique<QSignalSpy>(manager.get(), &ClickerManager::sendJavaScript);
}

void ClickerManagerTest::cleanup()
{
    spy.reset();
    manager.reset();
}

void ClickerManagerTest::startVotingAcceptsExactlyFourTypes_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("mc") << "mc" << true;
    QTest::newRow("attendance") << "attendance" << true;
    QTest::newRow("na") << "na" << true;
    QTest::newRow("wa") << "wa" << true;
    QTest::newRow("upper case") << "MC" << false;
    QTest::newRow("padded") << " mc" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("other") << "poll" << false;
}

void ClickerManagerTest::startVotingAcceptsExactlyFourTypes()
{
    QFETCH(QString, type);
    QFETCH(bool, accepted);
    QCOMPARE(manager->startVoting("q1", type), accepted);
    QVERIFY(spy->isEmpty());
}

void ClickerManagerTest::answerTextForVotePackets_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("answer");
    QTest::newRow("mc 1") << "mc" << 1 << "a";
    QTest::newRow("mc 2") << "mc" << 2 << "b";
    QTest::newRow("mc 10") << "mc" << 10 << "j";
    QTest::newRow("mc 0 has no letter") << "mc" << 0 << QString();
    QTest::newRow("mc 11 has no letter") << "mc" << 11 << QString();
    QTest::newRow("mc 15 has no letter") << "mc" << 15 << QString();
    QTest::newRow("attendance 3") << "attendance" << 3 << "c";
    QTest::newRow("attendance 0") << "attendance" << 0 << "0";
    QTest::newRow("attendance 15") << "attendance" << 15 << "15";
}

void ClickerManagerTest::answerTextForVotePackets()
{
    QFETCH(QString, type);
    QFETCH(int, code);
    QFETCH(QString, answer);
    QVERIFY(manager->startVoting("q1", type));
    const QString text = manager->answerTextFor(code);
    QCOMPARE(text, answer);
    QCOMPARE(text.isNull(), answer.isNull());
}

void ClickerManagerTest::numericQuestionDeliversOnlyNumbers_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("delivered");
    QTest::newRow("integer") << "na"
                             << "12" << true;
    QTest::newRow("negative decimal") << "na"
                                      << "-3.5" << true;
    QTest::newRow("exponent") << "na"
                              << "1e3" << true;
    QTest::newRow("letters") << "na"
                             << "abc" << false;
    QTest::newRow("empty") << "na"
                           << "" << false;
    QTest::newRow("decimal comma") << "na"
                                   << "3,5" << false;
    QTest::newRow("not a number") << "na"
                                  << "nan" << false;
    QTest::newRow("infinity") << "na"
                              << "inf" << false;
    QTest::newRow("word answer takes letters") << "wa"
                                               << "abc" << true;
    QTest::newRow("attendance takes letters") << "attendance"
                                              << "abc" << true;
}

void ClickerManagerTest::numericQuestionDeliversOnlyNumbers()
{
    QFETCH(QString, type);
    QFETCH(QString, answer);
    QFETCH(bool, delivered);
    QVERIFY(manager->startVoting("q1", type));
    manager->sendVote("123456", answer);
    QCOMPARE(spy->count(), delivered ? 1 : 0);
}

void ClickerManagerTest::voteScriptIsExact()
{
    QVERIFY(manager->startVoting("q1", "mc"));
    manager->sendVote("123456", manager->answerTextFor(2));
    // One pass: a "%2" in the remote text is not substituted again.
    manager->sendVote("%2", "%1");
    QCOMPARE(scripts(*spy),
             QStringList({"Clicker.vote('123456', 'b');", "Clicker.vote('%2', '%1');"}));
}

void ClickerManagerTest::hostileTextsAreEscaped_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("literal");
    QTest::newRow("single quote") << "it's"
                                  << R"(it\'s)";
    QTest::newRow("double quote") << R"(say "x")"
                                  << R"(say \"x\")";
    QTest::newRow("backslash") << R"(a\b\)"
                               << R"(a\\b\\)";
    QTest::newRow("line breaks") << "a\nb\rc"
                                 << R"(a\nb\rc)";
    QTest::newRow("script line terminators")
        << QString::fromUtf16(u"a\u2028b\u2029c") << R"(a\u2028b\u2029c)";
    QTest::newRow("control characters")
        << QString::fromLatin1("\x01\t\x1b\x7f", 4) << R"(\u0001\u0009\u001b\u007f)";
    QTest::newRow("zero character") << QString(QChar(0)) << R"(\u0000)";
    QTest::newRow("breakout") << "'); pwned(); ('"
                              << R"(\'); pwned(); (\')";
    QTest::newRow("plain text and non-ASCII stay")
        << QString::fromUtf16(u"ab 12 é€😀 </script>") << QString::fromUtf16(u"ab 12 é€😀 </script>");
}

void ClickerManagerTest::hostileTextsAreEscaped()
{
    QFETCH(QString, text);
    QFETCH(QString, literal);
    QVERIFY(manager->startVoting("q1", "wa"));
    manager->sendVote(text, text);
    QCOMPARE(scripts(*spy), QStringList(QString("Clicker.vote('%1', '%1');").arg(literal)));
}

void ClickerManagerTest::hostileTextsArriveUnchangedInPage_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("quote breakout") << "'); pwned = true; ('";
    QTest::newRow("escaped quote breakout") << R"(\'); pwned = true; //)";
    QTest::newRow("line break breakout") << "\n pwned = true; //";
    QTest::newRow("line separator breakout") << QString::fromUtf16(u"\u2028 pwned = true; //");
    QTest::newRow("every ASCII character") << [] {
        QString all;
        for (ushort code = 1; code < 0x80; ++code)
            all += QChar(code);
        return all;
    }();
}

void ClickerManagerTest::hostileTextsArriveUnchangedInPage()
{
    QFETCH(QString, text);
    QVERIFY(manager->startVoting("q1", "wa"));
    manager->sendVote(text, text + "!");
    QCOMPARE(spy->count(), 1);

    QJSEngine engine;
    engine.evaluate("var pwned = false; var received = [];"
                    "var Clicker = { vote: function(remote, answer) {"
                    " received.push(remote, answer); } };");
    const QJSValue result = engine.evaluate(spy->at(0).at(0).toString());
    QVERIFY2(!result.isError(), qPrintable(result.toString()));
    QCOMPARE(engine.globalObject().property("received").toVariant().toStringList(),
             QStringList({text, text + "!"}));
    QCOMPARE(engine.globalObject().property("pwned").toBool(), false);
}

void ClickerManagerTest::connectionStatusWaitsForDomReady()
{
    manager->showConnectionStatus();
    QVERIFY(manager->isConnected());
    QVERIFY(spy->isEmpty());

    manager->setDomReady();
    QCOMPARE(scripts(*spy), QStringList({showScript}));
    // Each report of readiness tells the page again.
    manager->setDomReady();
    QCOMPARE(scripts(*spy), QStringList({showScript, showScript}));
}

void ClickerManagerTest::connectionStatusChangesAreReportedOnce()
{
    manager->setDomReady();
    manager->hideConnectionStatus();
    QVERIFY(spy->isEmpty());

    manager->showConnectionStatus();
    manager->hideConnectionStatus();
    manager->hideConnectionStatus();
    QVERIFY(!manager->isConnected());
    QCOMPARE(scripts(*spy), QStringList({showScript, hideScript}));
}

void ClickerManagerTest::workerStopsWhenApplicationQuits()
{
    TickCountingManager beforeQuit;
    QVERIFY(QMetaObject::invokeMethod(QCoreApplication::instance(), "aboutToQuit"));
    TickCountingManager afterQuit;
    // Two ticks of the later manager: the earlier one would have ticked by then.
    QTRY_VERIFY_WITH_TIMEOUT(afterQuit.ticks >= 2, 15000);
    QCOMPARE(beforeQuit.ticks, 0);
}

void ClickerManagerTest::tickLooksAtPortListOnce()
{
    // A candidate that does not open: the tick both finds and tries it.
    TickCountingManager counting;
    counting.ports = {{QStringLiteral("/dev/lectern-no-such-port"), QStringLiteral("FTDI")}};
    counting.tick();
    QVERIFY(!counting.isConnected());
    QCOMPARE(counting.ticks, 1);
    counting.ports.clear();
    counting.tick();
    QCOMPARE(counting.ticks, 2);
}

QTEST_GUILESS_MAIN(ClickerManagerTest)
#include "ClickerManagerTest.moc"
