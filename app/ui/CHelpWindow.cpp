#include "app/ui/CHelpWindow.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QScreen>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace knetix {

CHelpWindow::CHelpWindow(QWidget* parent) : QDialog(parent, Qt::Window)
{
    setWindowTitle(QStringLiteral("Knetix – Hilfe"));
    // A comfortable page, but never taller or wider than the screen's free area.
    QSize size(720, 560);
    if (const QScreen* screen = parent && parent->screen() ? parent->screen() : QGuiApplication::primaryScreen()) {
        const QRect free = screen->availableGeometry();
        size = size.boundedTo(free.size() - QSize(40, 60));
        // Centred, with room above for the window manager's title bar.
        setGeometry(QRect(QPoint(free.center().x() - size.width() / 2,
                                 free.top() + 30 + (free.height() - 30 - size.height()) / 2),
                          size));
    } else {
        resize(size);
    }
    m_browser = new QTextBrowser(this);
    m_browser->setOpenExternalLinks(true); // web addresses in the browser
    m_browser->setOpenLinks(true);
    auto* back = new QPushButton(QStringLiteral("&Zurück"), this);
    auto* contents = new QPushButton(QStringLiteral("&Inhalt"), this);
    auto* close = new QPushButton(QStringLiteral("&Schließen"), this);
    back->setEnabled(false);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QWidget::setEnabled);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(contents, &QPushButton::clicked, m_browser, &QTextBrowser::home);
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(contents);
    buttons->addStretch();
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_browser);
    layout->addLayout(buttons);
}

bool CHelpWindow::showDocument(const QString& path)
{
    const QString file = path.section(QLatin1Char('#'), 0, 0);
    const bool readable = QFileInfo(file).isReadable();
    if (readable) {
        QUrl url = QUrl::fromLocalFile(file);
        url.setFragment(path.section(QLatin1Char('#'), 1), QUrl::DecodedMode);
        if (url.fragment().isEmpty())
            url.setFragment(QString());
        m_browser->setSource(url);
    } else {
        m_browser->setHtml(QStringLiteral("<h2>Die Hilfe fehlt</h2><p>Die Datei %1 konnte nicht gelesen werden.</p>")
                               .arg(file.toHtmlEscaped()));
    }
    show();
    raise();
    activateWindow();
    return readable;
}

} // namespace knetix
