#include "skin/CMyToolTipCtrl.h"

#include "artwork/Artwork.h"
#include "resources/Strings.h"
#include "skin/model/PanelModels.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QTimerEvent>

namespace knetix {

namespace {

using skin::Balloon;

const QPolygon& leftOutline()
{
    static const QPolygon outline({{1, 2}, {2, 1}, {3, 0}, {18, 0}, {18, 28}, {3, 28}, {2, 27}, {1, 26},
                                   {1, 25}, {0, 24}, {0, 0}});
    return outline;
}

const QPolygon& rightOutline()
{
    static const QPolygon outline({{1, 0}, {14, 0}, {15, 1}, {16, 2}, {17, 3}, {17, 25}, {16, 26}, {16, 27},
                                   {15, 27}, {14, 28}, {0, 28}, {0, 0}});
    return outline;
}

} // namespace

CMyToolTipCtrl::CMyToolTipCtrl(QWidget* owner)
    : QWidget(owner, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_ShowWithoutActivating);
    m_font = QFont("DejaVu Sans");
    m_font.setPixelSize(11);
    // A missing end only leaves that end undrawn.
    m_left = loadSkinPicture("TIP_LEFT");
    m_right = loadSkinPicture("TIP_RIGHT");
}

void CMyToolTipCtrl::addTool(QWidget* tool, int stringId)
{
    m_tools[tool] = stringId;
    tool->installEventFilter(this);
}

int CMyToolTipCtrl::textWidth() const
{
    return QFontMetrics(m_font).horizontalAdvance(m_text);
}

QSize CMyToolTipCtrl::sizeForText(const QString& text) const
{
    return QSize(Balloon::width(QFontMetrics(m_font).horizontalAdvance(text)), Balloon::kHeight);
}

void CMyToolTipCtrl::showTip(const QString& text, QPoint globalPos)
{
    m_text = text;
    resize(sizeForText(text));
    move(globalPos + QPoint(4, 18));
    m_unrolled = 0;
    show();
    raise();
    m_timer.start(8, this);
    update();
}

bool CMyToolTipCtrl::eventFilter(QObject* watched, QEvent* event)
{
    const auto it = m_tools.find(watched);
    if (it != m_tools.end() && m_active) {
        switch (event->type()) {
        case QEvent::ToolTip: {
            const auto* help = static_cast<QHelpEvent*>(event);
            const std::string_view text = loadString(it->second);
            showTip(QString::fromUtf8(text.data(), qsizetype(text.size())), help->globalPos());
            return true;
        }
        case QEvent::Leave:
        case QEvent::MouseButtonPress:
        case QEvent::Hide:
            m_timer.stop();
            hide();
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void CMyToolTipCtrl::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_timer.timerId())
        return;
    const int width = textWidth();
    m_unrolled += Balloon::step(width);
    if (m_unrolled > width + Balloon::step(width)) {
        m_unrolled = width + Balloon::step(width);
        m_timer.stop();
    }
    update();
}

void CMyToolTipCtrl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QFontMetrics fm(m_font);
    const int tw = fm.horizontalAdvance(m_text);
    const int th = fm.height();
    const int m = Balloon::kMargin;
    const int f = m_unrolled;
    // Left end and the part of the body unrolled so far.
    p.setClipRegion(QRegion(leftOutline()).united(QRegion(m, 5, f, th + 3)));
    if (!m_left.isNull())
        p.drawImage(0, 0, m_left);
    p.fillRect(QRect(m, 5, f, th + 4), QColor(192, 192, 192));
    p.setFont(m_font);
    p.setPen(Qt::black);
    p.drawText(QRect(16, (13 - th) / 2 + 8, tw + 6, th + 1), Qt::TextSingleLine, m_text);
    if (f >= tw + Balloon::step(tw)) {
        const QPolygon right = rightOutline().translated(tw + 15, 0);
        p.setClipRegion(QRegion(right));
        if (!m_right.isNull())
            p.drawImage(tw + m - 3, 0, m_right);
    }
}

} // namespace knetix
