#include "WorkerThread.h"

#include <QTimer>

#include <algorithm>

WorkerThread::WorkerThread(int interval, QObject *parent)
    : QThread(parent), intervalMs(std::clamp(interval, minimumIntervalMs, maximumIntervalMs))
{
}

WorkerThread::~WorkerThread()
{
    stop();
}

int WorkerThread::intervalFromSetting(const QString &text)
{
    bool isNumber = false;
    const qlonglong interval = text.trimmed().toLongLong(&isNumber);
    if (!isNumber)
        return defaultIntervalMs;
    return int(std::clamp<qlonglong>(interval, minimumIntervalMs, maximumIntervalMs));
}

void WorkerThread::stop()
{
    quit();
    wait();
}

void WorkerThread::run()
{
    QTimer timer;
    // This object belongs to the creating thread, so the timeouts reach tick()
    // there as queued calls.
    connect(&timer, &QTimer::timeout, this, &WorkerThread::tick);
    timer.start(intervalMs);
    exec();
    timer.stop();
}

void WorkerThread::tick()
{
    emit tickEvent();
}
