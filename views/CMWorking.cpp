#include "views/CMWorking.h"

#include "document/Document.h"
#include "qtbridge/QtBridge.h"
#include "resources/Strings.h"

#include <QImage>
#include <QMenu>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>


namespace knetix {

namespace {

int32_t execMenu(QMenu& menu, QPoint at)
{
    const QAction* chosen = menu.exec(at);
    return chosen ? chosen->data().toInt() : 0;
}

} // namespace

CMWorking::CMWorking(Document& document, QWidget* parent)
    : QWidget(parent), m_document(document), m_menuChooser(&execMenu)
{
    setWindowTitle(QStringLiteral("Work"));
    setAttribute(Qt::WA_OpaquePaintEvent); // the picture covers everything it shows
    setMouseTracking(true);
    m_strokeTimer.setInterval(kStrokeTimerMs);
    m_strokeTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_strokeTimer, &QTimer::timeout, this, &CMWorking::strokeTick);
    pictureChanged();
    m_document.addObserver(this);
}

CMWorking::~CMWorking()
{
    // Ends a playback first: the worker posts repaints to this window.
    m_document.removeObserver(this);
}

void CMWorking::pictureChanged(const Rect& area)
{
    // A point wider: the sharp display's pixels there read the cells beside.
    update(toQRect(area).adjusted(-1, -1, 1, 1));
}

void CMWorking::modeChanged(DocumentMode from, DocumentMode)
{
    // Playback paints the picture alone (each frame asks for its paint); the
    // circle and frame come back after.
    if (from == DocumentMode::Playing)
        update();
    if (from == DocumentMode::Stroking)
        m_strokeTimer.stop();
}

void CMWorking::historyMenu(QPoint globalPos)
{
    QMenu menu(this);
    QAction* undo = menu.addAction(qs(loadString(IDS_UNDO)));
    undo->setData(int(ChoseUndo));
    undo->setEnabled(m_document.canUndo());
    QAction* redo = menu.addAction(qs(loadString(IDS_REDO)));
    redo->setData(int(ChoseRedo));
    redo->setEnabled(m_document.canRedo());
    switch (m_menuChooser(menu, globalPos)) {
    case ChoseUndo:
        m_document.undo();
        break;
    case ChoseRedo:
        m_document.redo();
        break;
    default:
        break;
    }
}

void CMWorking::pictureChanged()
{
    const WorkingPicture& picture = m_document.picture();
    if (picture.hasPicture())
        setMask(QRegion(toQRect(picture.pictureRect())));
    else
        clearMask();
    m_circle = kNoCircle;
    updateCursor();
    update();
}

void CMWorking::toolChanged()
{
    if (toolRadius() != m_circleRadius) {
        m_circle = kNoCircle;
        m_circleRadius = toolRadius();
    }
    updateCursor();
    update();
}

void CMWorking::updateCursor()
{
    // Over the picture the inverted circle is the pointer.
    if (m_document.picture().hasPicture() && m_document.tool())
        setCursor(Qt::BlankCursor);
    else
        unsetCursor();
}

int CMWorking::toolRadius() const
{
    return m_document.tool() ? m_document.tool()->radius() : 0;
}

QRect CMWorking::circleSquare(QPoint centre) const
{
    const int r = toolRadius();
    return QRect(centre.x() - r, centre.y() - r, 2 * r + 1, 2 * r + 1);
}

void CMWorking::postRepaint()
{
    QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
}

void CMWorking::showPreview(const QImage& preview)
{
    m_preview = preview;
    repaint();
}

void CMWorking::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton && !m_document.buttonHeld()) {
        historyMenu(event->globalPosition().toPoint());
        return;
    }
    if (event->button() != Qt::LeftButton || !m_document.tool()) {
        event->ignore(); // the owner still sees the click
        return;
    }
    const QPoint p = event->position().toPoint();
    m_document.press(p.x(), p.y());
    if (m_document.strokeTimerActive())
        m_strokeTimer.start();
}

void CMWorking::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    const bool held = m_document.buttonHeld();
    if (!held && !toQRect(m_document.picture().pictureRect()).contains(p)) {
        if (m_circle != kNoCircle) {
            update(circleSquare(m_circle));
            m_circle = kNoCircle;
        }
        return;
    }
    if (toolRadius() > 0 && m_document.picture().hasPicture()) {
        QRegion dirty(circleSquare(m_circle));
        dirty += circleSquare(p);
        m_circle = p;
        m_circleRadius = toolRadius();
        update(dirty);
    }
    if (held) {
        // A move postpones the next tick by a full period.
        const bool timer = m_strokeTimer.isActive();
        m_strokeTimer.stop();
        m_document.move(p.x(), p.y());
        if (timer)
            m_strokeTimer.start();
    }
}

void CMWorking::strokeTick()
{
    if (!m_document.buttonHeld())
        return;
    m_document.tick();
    ++m_ticks;
}

void CMWorking::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_strokeTimer.stop();
    m_document.release();
}

void CMWorking::leaveEvent(QEvent*)
{
    if (!m_document.buttonHeld() && m_circle != kNoCircle) {
        update(circleSquare(m_circle));
        m_circle = kNoCircle;
    }
}

void CMWorking::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const LockedPicture locked = m_document.lockedPicture();
    const WorkingPicture& picture = *locked;
    if (!picture.hasPicture()) {
        painter.fillRect(event->rect(), Qt::black);
        const QRect frame = rect();
        painter.setPen(Qt::black);
        painter.drawLine(frame.topLeft(), frame.topRight());
        painter.drawLine(frame.topLeft(), frame.bottomLeft());
        painter.setPen(Qt::white);
        painter.drawLine(frame.bottomLeft(), frame.bottomRight());
        painter.drawLine(frame.topRight(), frame.bottomRight());
        // A first start shows what to do instead of a black square.
        QFont font = painter.font();
        font.setPixelSize(15);
        painter.setFont(font);
        painter.setPen(QColor(190, 170, 130));
        painter.drawText(frame.adjusted(48, 48, -48, -48), Qt::AlignCenter | Qt::TextWordWrap,
                         QString::fromUtf8(loadString(IDS_EMPTY_CANVAS_HINT)));
        return;
    }
    const QRect pictureRect = toQRect(picture.pictureRect());
    if (!m_preview.isNull()) {
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(pictureRect, m_preview);
        return;
    }
    const int W = picture.width(), H = picture.height();
    painter.setClipRect(pictureRect.adjusted(1, 1, -1, -1));
    if (const SharpCanvas& sharp = picture.sharp(); sharp.isLoaded() && sharp.fieldWidth() == W &&
                                                    sharp.fieldHeight() == H)
        drawBottomUp(painter, pictureRect.topLeft(), sharp.bits(), sharp.width(), sharp.height(), sharp.stride(),
                     sharp.factor());
    else
        drawBottomUp(painter, pictureRect.topLeft(), picture.displayedBits(), W, H, picture.stride());
    if (m_document.playing()) {
        ++m_playbackPaints;
        return; // plain mode: the picture only
    }

    if (m_circle != kNoCircle && toolRadius() > 0) {
        const int r = toolRadius();
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setCompositionMode(QPainter::RasterOp_NotDestination);
        painter.setPen(QPen(Qt::white, 0));
        painter.setBrush(Qt::NoBrush);
        painter.drawEllipse(QRect(m_circle.x() - r, m_circle.y() - r, 2 * r, 2 * r));
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    }
    // The frame on the picture's outermost pixels: black top and left, white
    // bottom and right.
    painter.setClipping(false);
    const QRect& f = pictureRect; // right() and bottom() are the last pixels
    painter.setPen(Qt::black);
    painter.drawLine(f.topLeft(), f.topRight());
    painter.drawLine(f.topLeft(), f.bottomLeft());
    painter.setPen(Qt::white);
    painter.drawLine(f.bottomLeft(), f.bottomRight());
    painter.drawLine(f.topRight(), f.bottomRight());
}

} // namespace knetix
