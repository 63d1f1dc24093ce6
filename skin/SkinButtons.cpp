#include "skin/SkinButtons.h"

#include "artwork/Artwork.h"
#include "skin/CToolDisplay.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace knetix {

QRegion polygonRegion(const QPolygon& polygon)
{
    return QRegion(polygon, Qt::WindingFill);
}

QPolygon layoutPolygon(const std::vector<skin::Point>& points)
{
    QPolygon polygon;
    for (const skin::Point& p : points)
        polygon << QPoint(p.x, p.y);
    return polygon;
}

bool placeSkinControl(QWidget* control, const skin::ControlLayout& layout, QPoint origin)
{
    if (auto* tool = qobject_cast<CToolButton*>(control))
        tool->setToolIndex(layout.toolIndex);
    control->setGeometry(origin.x() + layout.offset.x, origin.y() + layout.offset.y, layout.windowWidth,
                         layout.windowHeight);
    const QPolygon window = layoutPolygon(skin::windowPolygon(layout));
    const QPolygon hit = layoutPolygon(skin::hitPolygon(layout));
    const std::vector<std::string> names = skin::pictureNames(layout);
    if (auto* display = qobject_cast<CToolDisplay*>(control)) {
        display->setRegions(window);
        return display->loadPictures();
    }
    if (auto* command = qobject_cast<CCommandButton*>(control)) {
        command->setRegions(window, hit);
        return names.size() >= 3 && command->loadPictures(names[0], names[1], names[2]);
    }
    if (auto* state = qobject_cast<CStateButton*>(control)) {
        state->setRegions(window, hit);
        return names.size() >= 4 && state->loadPictures(names[0], names[1], names[2], names[3]);
    }
    return false;
}

// ---- CSkinButton ----

CSkinButton::CSkinButton(int controlId, QWidget* parent) : QWidget(parent), m_id(controlId)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void CSkinButton::setRegions(const QPolygon& window, const QPolygon& hit, bool redraw)
{
    m_window = polygonRegion(window);
    m_hit = hit.isEmpty() ? QRegion() : polygonRegion(hit);
    setMask(m_window);
    if (redraw)
        update();
}

bool CSkinButton::isInside(QPoint point) const
{
    if (!m_hit.isEmpty())
        return m_hit.contains(point);
    return rect().contains(point);
}

void CSkinButton::postCommand()
{
    QPointer<CSkinButton> self(this);
    QMetaObject::invokeMethod(
        this, [self] { if (self) emit self->command(self->m_id); }, Qt::QueuedConnection);
}

bool CSkinButton::loadNamed(const std::vector<std::string_view>& names)
{
    m_pictures.assign(names.size(), QImage());
    bool ok = !names.empty() && !names[0].empty();
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].empty())
            continue;
        m_pictures[i] = loadSkinPicture(names[i]);
        ok = ok && !m_pictures[i].isNull();
    }
    update();
    return ok;
}

const QImage& CSkinButton::picture(size_t slot) const
{
    static const QImage none;
    return slot < m_pictures.size() ? m_pictures[slot] : none;
}

bool CSkinButton::hasPicture(size_t slot) const
{
    return !picture(slot).isNull();
}

void CSkinButton::drawPicture(const QImage& image)
{
    QPainter p(this);
    if (!m_window.isEmpty())
        p.setClipRegion(m_window);
    if (!image.isNull())
        p.drawImage(QPoint(0, 0), image);
}

void CSkinButton::enterEvent(QEnterEvent* event)
{
    // Focus follows the mouse: the Focus picture is the hover picture.
    setFocus(Qt::MouseFocusReason);
    QWidget::enterEvent(event);
}

void CSkinButton::focusInEvent(QFocusEvent* event)
{
    update();
    QWidget::focusInEvent(event);
}

void CSkinButton::focusOutEvent(QFocusEvent* event)
{
    update();
    QWidget::focusOutEvent(event);
}

// ---- CCommandButton ----

bool CCommandButton::loadPictures(std::string_view up, std::string_view down, std::string_view focus,
                                  std::string_view disabled)
{
    return loadNamed({up, down, focus, disabled});
}

int CCommandButton::currentPicture() const
{
    if (m_model.pushed() && hasPicture(1))
        return 1;
    if (hasFocus() && hasPicture(2))
        return 2;
    if (!isEnabled() && hasPicture(3))
        return 3;
    return 0;
}

void CCommandButton::paintEvent(QPaintEvent*)
{
    drawPicture(picture(size_t(currentPicture())));
}

void CCommandButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_model.press(isInside(event->position().toPoint()));
    update();
}

void CCommandButton::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    const bool before = m_model.pushed();
    m_model.move(isInside(event->position().toPoint()));
    if (before != m_model.pushed())
        update();
}

void CCommandButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool send = m_model.release(isInside(event->position().toPoint()));
    update();
    if (send)
        postCommand();
}

void CCommandButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        m_model.spaceDown();
        update();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CCommandButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        const bool send = m_model.spaceUp();
        update();
        if (send)
            postCommand();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

// ---- CStateButton ----

CStateButton::CStateButton(skin::StateButtonModel::Variant variant, int controlId, QWidget* parent)
    : CSkinButton(controlId, parent), m_model(variant)
{
}

bool CStateButton::loadPictures(std::string_view s0, std::string_view s1, std::string_view s2,
                                std::string_view s3, std::string_view s4)
{
    return loadNamed({s0, s1, s2, s3, s4});
}

int CStateButton::setState(int state)
{
    const int previous = m_model.setState(state);
    update();
    return previous;
}

void CStateButton::paintEvent(QPaintEvent*)
{
    const int state = m_model.state();
    drawPicture(picture(state >= 0 && hasPicture(size_t(state)) ? size_t(state) : 0));
}

void CStateButton::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool down = m_model.press(isInside(event->position().toPoint()));
    update();
    anyPress();
    if (down)
        wentDown();
}

void CStateButton::mouseMoveEvent(QMouseEvent* event)
{
    const int before = m_model.state();
    m_model.move(isInside(event->position().toPoint()));
    if (before != m_model.state())
        update();
}

void CStateButton::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const bool send = m_model.release(isInside(event->position().toPoint()));
    update();
    if (send)
        postCommand();
}

void CStateButton::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        const bool down = m_model.spaceDown();
        update();
        anyPress();
        if (down)
            wentDown();
        return;
    }
    QWidget::keyPressEvent(event);
}

void CStateButton::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat()) {
        m_model.spaceUp();
        update();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

void CStateButton::focusInEvent(QFocusEvent* event)
{
    m_model.focusIn();
    CSkinButton::focusInEvent(event);
}

void CStateButton::focusOutEvent(QFocusEvent* event)
{
    m_model.focusOut();
    CSkinButton::focusOutEvent(event);
}

// ---- tool, size, latch, toggle ----

CToolButton::CToolButton(skin::StateButtonModel::Variant variant, int controlId, QWidget* parent)
    : CStateButton(variant, controlId, parent)
{
    setMouseTracking(true);
}

void CToolButton::wentDown()
{
    emit groupPressed(this);
}

void CToolButton::mouseMoveEvent(QMouseEvent* event)
{
    // A tool button takes the focus on every move, pressed or not.
    if (!hasFocus())
        setFocus(Qt::MouseFocusReason);
    CStateButton::mouseMoveEvent(event);
}

CToolSelectButton::CToolSelectButton(int controlId, QWidget* parent)
    : CToolButton(skin::StateButtonModel::Variant::Tool, controlId, parent)
{
}

CSizeSelectButton::CSizeSelectButton(int controlId, QWidget* parent)
    : CToolButton(skin::StateButtonModel::Variant::Size, controlId, parent)
{
}

void CSizeSelectButton::anyPress()
{
    if (m_display)
        m_display->restartTimer();
}

CLatchButton::CLatchButton(int controlId, QWidget* parent)
    : CStateButton(skin::StateButtonModel::Variant::Latch, controlId, parent)
{
}

CToggleButton::CToggleButton(int controlId, QWidget* parent)
    : CStateButton(skin::StateButtonModel::Variant::Toggle, controlId, parent)
{
}

// ---- CButtonGroup ----

void CButtonGroup::add(CToolButton* button)
{
    m_buttons.push_back(button);
    connect(button, &CToolButton::groupPressed, this, &CButtonGroup::pressed);
}

void CButtonGroup::pressed(CToolButton* button)
{
    for (CToolButton* b : m_buttons) {
        if (b != button) {
            if (b->state() == skin::StateDown || b->state() == skin::StateDownFocus) {
                b->setState(skin::StateUp);
                b->repaint();
            }
        } else if (m_index != b->toolIndex()) {
            m_index = b->toolIndex();
            emit indexChanged(m_index);
        }
    }
}

} // namespace knetix
