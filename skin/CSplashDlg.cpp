#include "skin/CSplashDlg.h"

#include "artwork/Artwork.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>

namespace knetix {

CSplashDlg::CSplashDlg(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("Knetix"));
    setAttribute(Qt::WA_DeleteOnClose);
    setAttribute(Qt::WA_OpaquePaintEvent);
    const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen();
    if (screen)
        setGeometry(screen->geometry());
    m_picture = loadSkinPicture("SPLASH_START");
    if (m_picture.isNull()) {
        // Nothing to show: end as by Cancel once the event loop runs.
        QTimer::singleShot(0, this, &QWidget::close);
        return;
    }
    m_timer.start(kLifetimeMs, this);
}

void CSplashDlg::showEvent(QShowEvent* event)
{
    setFocus(Qt::OtherFocusReason);
    QWidget::showEvent(event);
}

void CSplashDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    p.drawImage((width() - m_picture.width()) / 2, (height() - m_picture.height()) / 2, m_picture);
}

void CSplashDlg::keyPressEvent(QKeyEvent*)
{
    close();
}

void CSplashDlg::mousePressEvent(QMouseEvent* event)
{
    // Clicks do not close it, only keys do.
    event->accept();
}

void CSplashDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timer.timerId())
        close();
}

} // namespace knetix
