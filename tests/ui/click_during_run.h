#pragma once

#include <memory>

#include <QPushButton>
#include <QTimer>

namespace velkaro::test {

// Clicks `button` once `pumps` passes of pending events have gone by: a user pressing it
// while an operation runs.
inline void clickDuringRun(QPushButton* button, int pumps) {
    auto* timer = new QTimer(button);
    timer->setInterval(0);
    auto count = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, button, [=] {
        if (++*count == pumps) {
            timer->stop();
            timer->deleteLater();
            button->click();
        }
    });
    timer->start();
}

}  // namespace velkaro::test
