#include "WorkerThread.h"

#include <QTimer>

WorkerThread::WorkerThread(QObject *parent) : QThread(parent) {}

WorkerThread::~WorkerThread()
{
    stop();
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
    timer.start(tickIntervalMs);
    exec();
    timer.stop();
}

void WorkerThread::tick()
{
    emit tickEvent();
}
