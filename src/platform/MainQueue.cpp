#include "platform/MainQueue.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QTimer>

#include <cmath>

void MainQueue::post(QObject *context, std::function<void()> task)
{
    QMetaObject::invokeMethod(context ? context : QCoreApplication::instance(), std::move(task), Qt::QueuedConnection);
}

void MainQueue::after(double seconds, QObject *context, std::function<void()> task)
{
    const int delayMs = int(std::lround(seconds * 1000.0));
    QTimer::singleShot(delayMs, Qt::PreciseTimer, context ? context : QCoreApplication::instance(), std::move(task));
}
