// The worker thread's timer runs in its own thread, while its ticks arrive on
// the thread that owns the WorkerThread object; stop() ends it cleanly; the
// interval comes from a setting.
#include "WorkerThread.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

namespace {

// The documented tick period.
constexpr qint64 tickPeriodMs = 1500;
// A period short enough not to hold the tests up.
constexpr int shortPeriodMs = 50;

} // namespace

class WorkerThreadTest : public QObject
{
    Q_OBJECT

private slots:
    void ticksArriveOnOwningThread();
    void stopEndsThreadAndIsRepeatable();
    void stopBeforeStartIsHarmless();
    void intervalFromSetting_data();
    void intervalFromSetting();
};

// The production period, at its real value.
void WorkerThreadTest::ticksArriveOnOwningThread()
{
    WorkerThread worker;
    QList<QThread *> tickThreads;
    connect(&worker, &WorkerThread::tickEvent, this,
            [&tickThreads] { tickThreads << QThread::currentThread(); });
    QElapsedTimer clock;
    clock.start();
    worker.start(QThread::InheritPriority);

    QTRY_VERIFY_WITH_TIMEOUT(tickThreads.size() >= 2, 15000);
    // Two periods have passed, less the 5 % a coarse timer may fire early.
    QVERIFY(clock.elapsed() >= 2 * tickPeriodMs * 95 / 100);
    for (QThread *thread : tickThreads)
        QCOMPARE(thread, QThread::currentThread());
    QVERIFY(worker.isRunning());
}

void WorkerThreadTest::stopEndsThreadAndIsRepeatable()
{
    WorkerThread worker(shortPeriodMs);
    QSignalSpy ticks(&worker, &WorkerThread::tickEvent);
    QSignalSpy finished(&worker, &QThread::finished);
    worker.start(QThread::InheritPriority);
    // Stopped while its timer runs: it has ticked once.
    QVERIFY(ticks.wait(5000));
    worker.stop();
    // stop() returns only once the thread has ended (its timer with it).
    QVERIFY(worker.isFinished());
    QCOMPARE(finished.count(), 1);
    worker.stop();
    QVERIFY(worker.isFinished());
    QCOMPARE(finished.count(), 1);
}

void WorkerThreadTest::stopBeforeStartIsHarmless()
{
    WorkerThread worker;
    worker.stop();
    QVERIFY(!worker.isRunning());
}

void WorkerThreadTest::intervalFromSetting_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("intervalMs");
    QTest::newRow("absent") << QString() << 1500;
    QTest::newRow("a number with blanks") << " 200 " << 200;
    QTest::newRow("below the minimum") << "49" << 50;
    QTest::newRow("negative") << "-1500" << 50;
    QTest::newRow("above the maximum") << "60001" << 60000;
    QTest::newRow("beyond an int") << "99999999999" << 60000;
    QTest::newRow("not a number") << "fast" << 1500;
    QTest::newRow("a fraction") << "200.5" << 1500;
}

void WorkerThreadTest::intervalFromSetting()
{
    QFETCH(QString, text);
    QFETCH(int, intervalMs);
    QCOMPARE(WorkerThread::intervalFromSetting(text), intervalMs);
}

QTEST_GUILESS_MAIN(WorkerThreadTest)
#include "WorkerThreadTest.moc"
