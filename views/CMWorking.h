#pragma once
// The canvas: the window in the middle of the main panel in which the picture
// is shown and bent with the mouse. A thin view over the document: mouse
// presses, moves and the 10 ms stroke timer become the document's stroke
// points; painting shows the displayed picture with the tool's circle.

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>

namespace knetix {

class Document;

class CMWorking : public QWidget {
    Q_OBJECT
public:
    static constexpr int kStrokeTimerMs = 10;

    CMWorking(Document& document, QWidget* parent = nullptr);
    ~CMWorking() override;

    // After a picture or project was loaded: only the picture rectangle is
    // visible, and the cursor follows what there is to draw with.
    void pictureChanged();
    // After a tool was chosen: a circle of another size is hidden until the
    // mouse moves.
    void toolChanged();

    // The circle's centre in client coordinates, or none.
    bool circleShown() const { return m_circle != kNoCircle; }
    QPoint circlePosition() const { return m_circle; }
    bool strokeTimerRunning() const { return m_strokeTimer.isActive(); }
    // Stroke-timer ticks that applied a stroke point so far.
    int strokeTicks() const { return m_ticks; }
    // Playback frames painted so far.
    int playbackPaints() const { return m_playbackPaints; }

    // Thread-safe: asks for a repaint from the playback worker.
    void postRepaint();
    // A picture shown over the picture rectangle, scaled to it, instead of the
    // working picture (a movie frame at the picture's own size); a null image
    // ends it.
    void showPreview(const QImage& preview);

signals:
    // A stroke is about to begin (the owner stops playback).
    void strokeBegins();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    static constexpr QPoint kNoCircle{-200, -200};

    void strokeTick();
    int toolRadius() const;
    QRect circleSquare(QPoint centre) const;
    void updateCursor();

    Document& m_document;
    QTimer m_strokeTimer;
    QPoint m_circle = kNoCircle;
    int m_circleRadius = 0;
    int m_ticks = 0;
    int m_playbackPaints = 0;
    QImage m_preview;
};

} // namespace knetix
