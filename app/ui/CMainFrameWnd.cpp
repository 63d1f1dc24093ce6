#include "app/ui/CMainFrameWnd.h"

#include "app/ui/CMainDlg.h"
#include "artwork/Artwork.h"
#include "skin/CSplashDlg.h"

#include <QGuiApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

namespace knetix {

void coverScreen(QWidget* window)
{
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // Without a window manager only the geometry counts.
    window->setGeometry(screen->geometry());
}

CMainFrameWnd::CMainFrameWnd(ValueSettings& values, QSettings* settings)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), m_values(values), m_settings(settings)
{
    setWindowTitle(QStringLiteral("Knetix"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    const QImage icon = loadSkinIcon(128);
    if (!icon.isNull())
        setWindowIcon(QIcon(QPixmap::fromImage(icon)));
    watchScreen(QGuiApplication::primaryScreen());
    connect(qApp, &QGuiApplication::primaryScreenChanged, this, [this](QScreen* screen) {
        watchScreen(screen);
        recentre();
    });
}

CMainFrameWnd::~CMainFrameWnd() = default;

void CMainFrameWnd::watchScreen(QScreen* screen)
{
    if (screen)
        connect(screen, &QScreen::geometryChanged, this, &CMainFrameWnd::recentre, Qt::UniqueConnection);
}


int CMainFrameWnd::runMainDialog()
{
    CMainDlg dialog(m_values, m_settings, this);
    m_dialog = &dialog;
    int result = IDCANCEL;
    if (dialog.initDialog()) {
        dialog.setWindowIcon(windowIcon());
        if (m_showSplash)
            // The start-up picture comes up over the dialog once that is shown.
            QTimer::singleShot(0, &dialog, [d = &dialog] {
                auto* splash = new CSplashDlg(d);
                splash->show();
                splash->raise();
                splash->activateWindow();
            });
        for (const std::string& file : m_files)
            QTimer::singleShot(0, &dialog, [d = &dialog, file] { d->openFile(file); });
        result = dialog.exec();
    }
    m_dialog = nullptr;
    // The dialog's end is the program's end.
    QTimer::singleShot(0, this, &QWidget::close);
    return result;
}

void CMainFrameWnd::recentre()
{
    coverScreen(this);
    if (m_dialog)
        m_dialog->recentre(geometry());
}

void CMainFrameWnd::openFromOutside(const QStringList& files)
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    if (!m_dialog)
        return;
    m_dialog->raise();
    m_dialog->activateWindow();
    if (!files.isEmpty())
        m_dialog->openFromDesktop(files.front().toStdString());
}

void CMainFrameWnd::paintEvent(QPaintEvent*)
{
    QPainter(this).fillRect(rect(), Qt::black);
}

void CMainFrameWnd::changeEvent(QEvent* event)
{
    // Coming back from the task bar restores the frame.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && (windowState() & Qt::WindowMinimized))
        setWindowState(windowState() & ~Qt::WindowMinimized);
    QWidget::changeEvent(event);
}

} // namespace knetix
