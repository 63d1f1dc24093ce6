#pragma once
// The file dialogs' scroll bar: a 30 x 179 picture with a thumb that pages on
// clicks above or below it and follows the mouse when dragged.

#include "skin/SkinButtons.h"
#include "skin/model/ScrollModel.h"

#include <QImage>
#include <QWidget>

namespace knetix {

// The thumb: a command button that can be forced to show its Down picture; a
// missing Down, Focus or Disabled picture is the Up picture.
class CBtnScrollBmp : public CCommandButton {
    Q_OBJECT
public:
    using CCommandButton::CCommandButton;
    bool loadPictures(std::string_view up, std::string_view down = {}, std::string_view focus = {},
                      std::string_view disabled = {});
    void setForcedDown(bool down);
    int currentPicture() const override;

private:
    bool m_forcedDown = false;
};

class CListScrollBar : public QWidget {
    Q_OBJECT
public:
    explicit CListScrollBar(QWidget* parent);

    bool loaded() const { return m_loaded; }
    // A negative maximum counts as 0; 0 hides the thumb and ignores clicks.
    void setRange(int maximum, int page);
    void scrollBy(int n);
    void toEnd();
    void toStart();
    // As the page clicks, without telling the owner.
    void pageDown();
    void pageUp();

    int position() const { return m_model.position(); }
    const skin::ScrollModel& model() const { return m_model; }
    CBtnScrollBmp* thumb() const { return m_thumb; }

signals:
    // Sent at once (not posted) with the new position.
    void scrolled(int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void placeThumb(int pixel);

    skin::ScrollModel m_model;
    CBtnScrollBmp* m_thumb;
    QImage m_background;
    int m_thumbTop = 0;
    bool m_loaded = false;
};

} // namespace knetix
