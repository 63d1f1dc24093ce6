#pragma once
// The balloon tooltip: a light grey body between two bitmap ends that unrolls
// from left to right each time it is shown.

#include <QBasicTimer>
#include <QFont>
#include <QImage>
#include <QWidget>

#include <map>

namespace knetix {

class CMyToolTipCtrl : public QWidget {
    Q_OBJECT
public:
    explicit CMyToolTipCtrl(QWidget* owner);

    // Shows the tip for `tool` on hover; the text comes from the string table.
    void addTool(QWidget* tool, int stringId);
    void setActive(bool active) { m_active = active; }

    // Shows a text below-right of a point (global coordinates) and unrolls.
    void showTip(const QString& text, QPoint globalPos);
    QString text() const { return m_text; }
    int textWidth() const;
    // The window size a text needs: text width + 2 x 18 - 4 by 28.
    QSize sizeForText(const QString& text) const;
    // Pixels of the body drawn so far; equals the text width plus a step when done.
    int unrolled() const { return m_unrolled; }
    bool unrolling() const { return m_timer.isActive(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    QFont m_font;
    QImage m_left;
    QImage m_right;
    QString m_text;
    std::map<QObject*, int> m_tools;
    bool m_active = true;
    int m_unrolled = 0;
    QBasicTimer m_timer;
};

} // namespace knetix
