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

CSplashDlg::CSplashDlg(QWidget* parent, QString about)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_about(std::move(about))
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
    const QSize size = m_picture.deviceIndependentSize().toSize();
    const QRect picture((width() - size.width()) / 2, (height() - size.height()) / 2, size.width(), size.height());
    p.drawImage(picture, m_picture);
    if (m_about.isEmpty())
        return;
    QFont font = p.font();
    font.setPixelSize(13);
    p.setFont(font);
    p.setPen(QColor(226, 228, 232));
    p.drawText(QRect(picture.left() - 100, picture.bottom() + 16, picture.width() + 200, height() - picture.bottom()),
               Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap, m_about);
}

void CSplashDlg::keyPressEvent(QKeyEvent*)
{
    close();
}

void CSplashDlg::mousePressEvent(QMouseEvent* event)
{
    // At start-up clicks do not close it, only keys do; the About window
    // goes with either.
    event->accept();
    if (!m_about.isEmpty())
        close();
}

void CSplashDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timer.timerId())
        close();
}

} // namespace knetix
