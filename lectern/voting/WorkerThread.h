#ifndef LECTERN_VOTING_WORKERTHREAD_H
#define LECTERN_VOTING_WORKERTHREAD_H

#include <QThread>

// Heartbeat of the vote collection: a thread that runs a repeating 1500 ms timer
// and turns each timeout into tickEvent().
//
// The thread object itself lives in the thread that created it (the main thread),
// so the timer's timeouts reach tick() as queued calls there, and tickEvent() is
// emitted on the main thread. The worker thread touches no shared data.
class WorkerThread : public QThread
{
    Q_OBJECT

public:
    static constexpr int tickIntervalMs = 1500;

    explicit WorkerThread(QObject *parent = nullptr);
    // Stops the thread first, so the object never dies under a running thread.
    ~WorkerThread() override;

    // Ends the event loop of run() and waits until the thread has finished.
    // Safe to call more than once and on a thread that never started.
    void stop();

signals:
    void tickEvent();

protected:
    void run() override;

private slots:
    void tick();
};

#endif // LECTERN_VOTING_WORKERTHREAD_H
