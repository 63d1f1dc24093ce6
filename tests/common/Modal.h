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
#include <vector>

namespace knetix::test {

// Runs the event loop until `done` holds or `ms` have passed.
inline bool waitFor(const std::function<bool()>& done, int ms = 30000)
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

// Watches still waiting for their dialog.
inline std::vector<QPointer<QTimer>>& modalWatches()
{
    static std::vector<QPointer<QTimer>> watches;
    return watches;
}

// Acts on the next modal dialog of type D as soon as it is up. A dialog that
// never appears, or one still open a minute later, is closed so that a
// failing test ends instead of hanging; the bounds are generous because a
// busy machine only makes dialogs late. The watch itself, to end it early.
template <class D>
QPointer<QTimer> onNextModal(std::function<void(D*)> act)
{
    constexpr int kPatienceMs = 60000;
    auto* timer = new QTimer;
    auto waited = std::make_shared<QElapsedTimer>();
    waited->start();
    QObject::connect(timer, &QTimer::timeout, [timer, act, waited] {
        if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            QTimer::singleShot(kPatienceMs, d, [d] { d->done(QDialog::Rejected); });
            act(d);
        } else if (waited->elapsed() > kPatienceMs) {
            timer->stop();
            timer->deleteLater();
            if (auto* any = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                any->done(QDialog::Rejected);
        }
    });
    timer->start(5);
    modalWatches().emplace_back(timer);
    return timer;
}

// Ends the watches a test left waiting, so that none acts on a dialog of the
// next test.
inline void endModalWatches()
{
    for (const QPointer<QTimer>& watch : modalWatches())
        delete watch.data();
    modalWatches().clear();
}

} // namespace knetix::test
