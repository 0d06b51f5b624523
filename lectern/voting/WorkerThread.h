#ifndef LECTERN_VOTING_WORKERTHREAD_H
#define LECTERN_VOTING_WORKERTHREAD_H

#include <QString>
#include <QThread>

// Heartbeat of the vote collection: a thread that runs a repeating timer (1500 ms
// unless told otherwise) and turns each timeout into tickEvent().
//
// The thread object itself lives in the thread that created it (the main thread),
// so the timer's timeouts reach tick() as queued calls there, and tickEvent() is
// emitted on the main thread. The worker thread touches no shared data.
class WorkerThread : public QThread
{
    Q_OBJECT

public:
    static constexpr int defaultIntervalMs = 1500;
    // Bounds of a chosen interval: a shorter one would keep the main thread
    // busy with ticks, a longer one would leave a receiver unnoticed for long.
    static constexpr int minimumIntervalMs = 50;
    static constexpr int maximumIntervalMs = 60000;

    // The interval is clamped to the bounds above.
    explicit WorkerThread(int intervalMs = defaultIntervalMs, QObject *parent = nullptr);
    // Stops the thread first, so the object never dies under a running thread.
    ~WorkerThread() override;

    // The interval that a settings text (receiverTickMs) asks for: a whole
    // number of milliseconds, clamped to the bounds; anything else, an empty
    // text included, means the default.
    static int intervalFromSetting(const QString &text);

    // Ends the event loop of run() and waits until the thread has finished.
    // Safe to call more than once and on a thread that never started.
    void stop();

signals:
    void tickEvent();

protected:
    void run() override;

private slots:
    void tick();

private:
    const int intervalMs;
};

#endif // LECTERN_VOTING_WORKERTHREAD_H
