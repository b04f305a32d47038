#pragma once

// Runs the Qt event queue in tests, always with a time limit.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>

namespace qel::test {

// Handles events until `condition` holds or `limit` has passed; returns the condition.
inline bool pumpUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds limit = std::chrono::milliseconds(2000)) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() >= limit.count())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// Handles events for `duration`.
inline void pumpFor(std::chrono::milliseconds duration) {
    pumpUntil([] { return false; }, duration);
}

} // namespace qel::test
