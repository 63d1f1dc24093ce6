#pragma once
// The animated tool display: how the current tool bends straight lines, from
// the smallest effect up to the current size and back.

#include "skin/model/PanelModels.h"

#include <QBasicTimer>
#include <QImage>
#include <QRegion>
#include <QWidget>

#include <array>
#include <functional>

namespace knetix {

class CToolDisplay : public QWidget {
    Q_OBJECT
public:
    explicit CToolDisplay(QWidget* parent);

    // All 105 frames; false at the first one missing.
    bool loadPictures();
    void setRegions(const QPolygon& window);
    // Where the tool index (0..6) and size index (0..2) come from: the panel.
    void setIndexSources(std::function<int()> toolIndex, std::function<int()> sizeIndex);

    // (Re)starts the 100 ms animation; it then runs as long as the display lives.
    void restartTimer();
    bool animating() const { return m_timer.isActive(); }
    // One animation step: paint the current frame, then step.
    void advance();

    // The sequence is one per program.
    static skin::ToolDisplaySequence& sequence();
    // The picture shown now: [set][level][frame].
    const QImage& currentPicture() const;
    int currentSet() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    // Presses and moves are swallowed, so it never looks pressed.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    std::array<std::array<std::array<QImage, 5>, 3>, 7> m_pictures;
    QRegion m_window;
    std::function<int()> m_toolIndex;
    std::function<int()> m_sizeIndex;
    QBasicTimer m_timer;
};

} // namespace knetix
