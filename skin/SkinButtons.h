#pragma once
// The bitmap buttons of the skin: each paints one of its named pictures, cut
// to the window polygon its owner gives it, and reacts only inside its hit
// polygon. The keyboard focus follows the mouse, so the Focus picture is the
// hover picture. Commands reach the owner posted, as command(control id).

#include "resources/SkinLayout.h"
#include "skin/model/ButtonModels.h"

#include <QImage>
#include <QPolygon>
#include <QRegion>
#include <QWidget>

#include <array>
#include <string_view>
#include <vector>

namespace knetix {

class CToolDisplay;

// A polygon of the skin layout as a region (winding fill).
QRegion polygonRegion(const QPolygon& polygon);
QPolygon layoutPolygon(const std::vector<skin::Point>& points);

// Places a control of the layout: tool index, position origin + offset with its
// window size, window and hit polygon, pictures (the tool display loads its own
// frames). False if a picture is missing; what is done so far stays.
bool placeSkinControl(QWidget* control, const skin::ControlLayout& layout, QPoint origin);

class CSkinButton : public QWidget {
    Q_OBJECT
public:
    CSkinButton(int controlId, QWidget* parent);

    int controlId() const { return m_id; }
    // The window polygon becomes the window's shape and the paint clip; only
    // points inside the hit polygon count as inside. An empty hit polygon means
    // the whole window.
    void setRegions(const QPolygon& window, const QPolygon& hit, bool redraw = true);
    bool isInside(QPoint point) const;

signals:
    void command(int controlId);

protected:
    // Sends the command after the current event, as a posted message would.
    void postCommand();
    // Loads the named pictures into slots; an empty name leaves its slot null.
    // False if a named picture is missing or the first name is.
    bool loadNamed(const std::vector<std::string_view>& names);
    const QImage& picture(size_t slot) const;
    bool hasPicture(size_t slot) const;
    void drawPicture(const QImage& image);

    void enterEvent(QEnterEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int m_id;
    QRegion m_window;
    QRegion m_hit;
    std::vector<QImage> m_pictures;
};

// A push button with Up, Down (pushed), Focus and Disabled pictures. Released
// outside its shape it sends nothing.
class CCommandButton : public CSkinButton {
    Q_OBJECT
public:
    using CSkinButton::CSkinButton;

    // Up is required; an optional name that is given must exist too.
    bool loadPictures(std::string_view up, std::string_view down = {}, std::string_view focus = {},
                      std::string_view disabled = {});
    // The picture painted now: 0 Up, 1 Down, 2 Focus, 3 Disabled.
    virtual int currentPicture() const;
    bool pushed() const { return m_model.pushed(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

    skin::CommandButtonModel m_model;
};

// A button that shows one of five state pictures (0 up, 1 down, 2 down with
// focus, 3 up with focus, 4 disabled).
class CStateButton : public CSkinButton {
    Q_OBJECT
public:
    CStateButton(skin::StateButtonModel::Variant variant, int controlId, QWidget* parent);

    bool loadPictures(std::string_view s0, std::string_view s1 = {}, std::string_view s2 = {},
                      std::string_view s3 = {}, std::string_view s4 = {});
    // Returns the previous state; repaints.
    int setState(int state);
    int state() const { return m_model.state(); }
    bool pressed() const { return m_model.pressed(); }
    bool latched() const { return m_model.latched(); }
    void setLatched(bool latched) { m_model.setLatched(latched); }

protected:
    // Called when the button went down by mouse or space.
    virtual void wentDown() {}
    // Called on every press, inside or outside, and on space.
    virtual void anyPress() {}

    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

    skin::StateButtonModel m_model;
};

// A tool or size button: one of a group, of which one is down.
class CToolButton : public CStateButton {
    Q_OBJECT
public:
    CToolButton(skin::StateButtonModel::Variant variant, int controlId, QWidget* parent);

    int toolIndex() const { return m_toolIndex; }
    void setToolIndex(int index) { m_toolIndex = index; }

signals:
    // Emitted at once (before the command) so that the group releases the others.
    void groupPressed(knetix::CToolButton* button);

protected:
    void wentDown() override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    int m_toolIndex = 0;
};

class CToolSelectButton : public CToolButton {
    Q_OBJECT
public:
    CToolSelectButton(int controlId, QWidget* parent);
};

// A size button also (re)starts the tool display's animation on every press.
class CSizeSelectButton : public CToolButton {
    Q_OBJECT
public:
    CSizeSelectButton(int controlId, QWidget* parent);
    void setToolDisplay(CToolDisplay* display) { m_display = display; }

protected:
    void anyPress() override;

private:
    CToolDisplay* m_display = nullptr;
};

// Stays down once released on its shape.
class CLatchButton : public CStateButton {
    Q_OBJECT
public:
    CLatchButton(int controlId, QWidget* parent);
};

// Flips on and off with each release on its shape.
class CToggleButton : public CStateButton {
    Q_OBJECT
public:
    CToggleButton(int controlId, QWidget* parent);
};

// One button of a group down at a time: the others whose state is down go up.
class CButtonGroup : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    void add(CToolButton* button);
    int index() const { return m_index; }
    const std::vector<CToolButton*>& buttons() const { return m_buttons; }

signals:
    void indexChanged(int index);

public slots:
    void pressed(knetix::CToolButton* button);

private:
    std::vector<CToolButton*> m_buttons;
    int m_index = 0;
};

} // namespace knetix
