#pragma once
// For window tests: acting on the next modal dialog, and waiting with the
// event loop running.

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace knetix::test {

// Runs the event loop until `done` holds or `ms` have passed.
inline bool waitFor(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

// Acts on the next modal dialog of type D as soon as it is up. A dialog that
// never appears, or one still open ten seconds later, is closed so that a
// failing test ends instead of hanging. The watch itself, to end it early.
template <class D>
QPointer<QTimer> onNextModal(std::function<void(D*)> act)
{
    auto* timer = new QTimer;
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, act, ticks] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            QTimer::singleShot(10000, d, [d] { d->done(QDialog::Rejected); });
            act(d);
        } else if (++*ticks > 1000) {
            timer->stop();
            timer->deleteLater();
            if (auto* any = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                any->done(QDialog::Rejected);
        }
    });
    timer->start(5);
    return timer;
}

} // namespace knetix::test
