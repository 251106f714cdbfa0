#pragma once

#include <QElapsedTimer>
#include <QTest>

// Runs the event loop until done() holds or `milliseconds` pass; whether it holds.
template <class Done>
bool waitUntil(Done&& done, int milliseconds = 30000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < milliseconds)
        QTest::qWait(5);
    return done();
}
