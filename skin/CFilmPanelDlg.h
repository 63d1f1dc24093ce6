#pragma once
// The strip below the canvas. Its wheel turns, in nine frames, between the
// filmstrip face (Play, left and right scroll) and the slider face (Play2 and
// the Power, Speed and Deformation sliders).

#include "skin/CSliderButton.h"
#include "skin/SkinButtons.h"
#include "skin/model/PanelModels.h"

#include <QBasicTimer>
#include <QImage>
#include <QWidget>

namespace knetix {

class CFilmPanelDlg : public QWidget {
    Q_OBJECT
public:
    // Control ids inside the panel.
    enum : int { IdPlay = 1001, IdPlay2 = 1002, IdLeftScroll = 1014, IdRightScroll = 1015,
                 IdDeformation = 1023, IdPower = 1027, IdSpeed = 1028 };

    explicit CFilmPanelDlg(QWidget* parent);

    // Sets up buttons, sliders and the wheel strip. A failing button stops the
    // setup of the rest (the panel still works with what it has); a missing
    // wheel frame leaves the strip incomplete.
    bool initialise();
    // Places the panel on the skin whose top-left corner is `panelOrigin`.
    void placeAt(QPoint panelOrigin);

    CSliderButton* speed() const { return m_speed; }
    CSliderButton* power() const { return m_power; }
    CSliderButton* deformation() const { return m_deformation; }
    CCommandButton* play() const { return m_play; }
    CCommandButton* play2() const { return m_play2; }
    CCommandButton* leftScroll() const { return m_leftScroll; }
    CCommandButton* rightScroll() const { return m_rightScroll; }

    const skin::WheelModel& wheel() const { return m_wheel; }
    bool wheelRunning() const { return m_timer.isActive(); }
    // The frame painted last and how many paints there were (for checks).
    int paintedFrame() const { return m_paintedFrame; }
    // One tick of the wheel timer.
    void advanceWheel();
    // The direction and hot-spot flag, one per program.
    static skin::WheelShared& shared();

signals:
    void playOrStop();
    void filmstripBack();
    void filmstripForward();
    void hideFilmstrip();
    void showFilmstrip();
    void showFileButtons(bool show);
    void cancelRequested();
    void sliderChanged(int value, int controlId);
    void framePainted(int frame);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    CCommandButton* m_play2 = nullptr;
    CSliderButton* m_speed = nullptr;
    CSliderButton* m_power = nullptr;
    CSliderButton* m_deformation = nullptr;
    CCommandButton* m_play = nullptr;
    CCommandButton* m_rightScroll = nullptr;
    CCommandButton* m_leftScroll = nullptr;
    skin::WheelModel m_wheel;
    QImage m_strip;
    int m_frameWidth = -1;
    int m_frameHeight = -1;
    int m_paintedFrame = -1;
    QBasicTimer m_timer;
};

} // namespace knetix
