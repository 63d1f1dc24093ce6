#include "skin/CToolDisplay.h"

#include "artwork/Artwork.h"
#include "resources/SkinLayout.h"
#include "skin/SkinButtons.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

#include <algorithm>

namespace knetix {

CToolDisplay::CToolDisplay(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    resize(200, 200);
}

bool CToolDisplay::loadPictures()
{
    static_assert(std::tuple_size_v<decltype(m_pictures)> == skin::kToolDisplaySetCount);
    for (int set = 0; set < int(m_pictures.size()); ++set)
        for (int level = 0; level < 3; ++level)
            for (int frame = 0; frame < 5; ++frame) {
                QImage& slot = m_pictures[size_t(set)][size_t(level)][size_t(frame)];
                slot = loadSkinPicture(skin::toolDisplayFrameName(set, level, frame));
                if (slot.isNull())
                    return false;
            }
    update();
    return true;
}

void CToolDisplay::setRegions(const QPolygon& window)
{
    m_window = polygonRegion(window);
    setMask(m_window);
    update();
}

void CToolDisplay::setIndexSources(std::function<int()> toolIndex, std::function<int()> sizeIndex)
{
    m_toolIndex = std::move(toolIndex);
    m_sizeIndex = std::move(sizeIndex);
}

skin::ToolDisplaySequence& CToolDisplay::sequence()
{
    static skin::ToolDisplaySequence shared;
    return shared;
}

int CToolDisplay::currentSet() const
{
    return skin::toolDisplaySet(m_toolIndex ? m_toolIndex() : 0);
}

const QImage& CToolDisplay::currentPicture() const
{
    const auto& seq = sequence();
    const size_t level = size_t(std::clamp(seq.level(), 0, 2));
    const size_t frame = size_t(std::clamp(seq.frame(), 0, 4));
    return m_pictures[size_t(currentSet())][level][frame];
}

void CToolDisplay::restartTimer()
{
    m_timer.start(100, this);
}

void CToolDisplay::advance()
{
    repaint();
    sequence().tick(std::clamp(m_sizeIndex ? m_sizeIndex() : 0, 0, 2));
}

void CToolDisplay::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!m_window.isEmpty())
        p.setClipRegion(m_window);
    p.drawImage(0, 0, currentPicture());
}

void CToolDisplay::timerEvent(QTimerEvent*)
{
    // Every timer message steps, whatever its id.
    advance();
}

void CToolDisplay::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void CToolDisplay::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
}

void CToolDisplay::mouseMoveEvent(QMouseEvent* event)
{
    event->accept();
}

} // namespace knetix
