#pragma once
// The canvas: the window in the middle of the main panel in which the picture
// is shown and bent with the mouse. A thin view over the document: mouse
// presses, moves and the 10 ms stroke timer become the document's stroke
// points; painting shows the displayed picture with the tool's circle. It
// follows the document as its observer; a right click offers undo and redo.

#include "document/DocumentObserver.h"

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>

#include <functional>

class QMenu;

namespace knetix {

class Document;

class CMWorking : public QWidget, private DocumentObserver {
    Q_OBJECT
public:
    static constexpr int kStrokeTimerMs = 10;
    // The right-click menu's entries, as the chooser returns them.
    enum MenuChoice : int32_t { NoChoice = 0, ChoseUndo = 1, ChoseRedo = 2 };
    // Shows the menu at a screen point and returns the chosen entry's data,
    // or 0. Replaceable so that tests need no modal menu.
    using MenuChooser = std::function<int32_t(QMenu& menu, QPoint globalPos)>;

    CMWorking(Document& document, QWidget* parent = nullptr);
    ~CMWorking() override;

    // After a picture or project was loaded: only the picture rectangle is
    // visible, and the cursor follows what there is to draw with.
    void pictureChanged();
    // After a tool was chosen: a circle of another size is hidden until the
    // mouse moves.
    void toolChanged() override;
    void setMenuChooser(MenuChooser chooser) { m_menuChooser = std::move(chooser); }

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

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    static constexpr QPoint kNoCircle{-200, -200};

    // What the document reports.
    void workReplaced() override { pictureChanged(); }
    void pictureChanged(const Rect& area) override;
    void modeChanged(DocumentMode from, DocumentMode to) override;
    void playbackFrameShown() override { postRepaint(); }

    void historyMenu(QPoint globalPos);

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
    MenuChooser m_menuChooser;
};

} // namespace knetix
