#include "skin/CFilmPanelDlg.h"

#include "artwork/Artwork.h"
#include "resources/SkinLayout.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QTimerEvent>

#include <algorithm>
#include <string>

namespace knetix {

skin::WheelShared& CFilmPanelDlg::shared()
{
    static skin::WheelShared wheel;
    return wheel;
}

CFilmPanelDlg::CFilmPanelDlg(QWidget* parent) : QWidget(parent), m_wheel(shared())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    resize(skin::kFilmPanel.width, skin::kFilmPanel.height);
    setMouseTracking(true); // the hand over the wheel
    m_play2 = new CCommandButton(IdPlay2, this);
    m_speed = new CSliderButton(IdSpeed, this);
    m_power = new CSliderButton(IdPower, this);
    m_deformation = new CSliderButton(IdDeformation, this);
    m_play = new CCommandButton(IdPlay, this);
    m_rightScroll = new CCommandButton(IdRightScroll, this);
    m_leftScroll = new CCommandButton(IdLeftScroll, this);
    connect(m_play, &CCommandButton::command, this, &CFilmPanelDlg::playOrStop);
    connect(m_play2, &CCommandButton::command, this, &CFilmPanelDlg::playOrStop);
    connect(m_rightScroll, &CCommandButton::command, this, &CFilmPanelDlg::filmstripBack);
    connect(m_leftScroll, &CCommandButton::command, this, &CFilmPanelDlg::filmstripForward);
    for (CSliderButton* s : {m_speed, m_power, m_deformation})
        connect(s, &CSliderButton::sliderChanged, this, &CFilmPanelDlg::sliderChanged);
}

void CFilmPanelDlg::placeAt(QPoint panelOrigin)
{
    setGeometry(panelOrigin.x() + skin::kFilmPanel.x, panelOrigin.y() + skin::kFilmPanel.y,
                skin::kFilmPanel.width, skin::kFilmPanel.height);
}

bool CFilmPanelDlg::initialise()
{
    bool ok = true;
    // The four buttons in set-up order, then the sliders.
    const std::pair<const char*, CCommandButton*> buttons[] = {
        {"Play", m_play}, {"Play2", m_play2}, {"LScroll", m_leftScroll}, {"RScroll", m_rightScroll}};
    for (const auto& [member, button] : buttons) {
        const skin::ControlLayout* c = skin::findControl(member);
        if (!c || !placeSkinControl(button, *c, QPoint())) {
            ok = false;
            break;
        }
    }
    if (ok) {
        for (const skin::SliderLayout& s : skin::sliders()) {
            CSliderButton* slider = s.member == "Speed"         ? m_speed
                                    : s.member == "Deformation" ? m_deformation
                                                                : m_power;
            slider->setGeometry(s.offset.x, s.offset.y, skin::kKnobWidth, skin::kKnobHeight);
            slider->hide();
            slider->setTrack(skin::kSliderTrackLeft, skin::kSliderTrackRight);
            ok = slider->load(s.base) && ok;
        }
    }
    m_play2->hide();

    // All wheel frames side by side, with room for one more.
    const QImage first = loadSkinPicture("WHEEL_0");
    if (!first.isNull()) {
        // Logical sizes; the strip itself has the pictures' pixels (s per point).
        const int s = std::max(1, qRound(first.devicePixelRatio()));
        m_frameWidth = first.width() / s;
        m_frameHeight = first.height() / s;
        m_strip = QImage(m_frameWidth * (skin::kWheelFrames + 1) * s, m_frameHeight * s, QImage::Format_RGB888);
        m_strip.setDevicePixelRatio(s);
        m_strip.fill(Qt::black);
        QPainter p(&m_strip);
        for (int i = 0; i < skin::kWheelFrames; ++i) {
            const QImage frame = loadSkinPicture("WHEEL_" + std::to_string(i));
            if (frame.isNull()) {
                ok = false;
                break;
            }
            p.drawImage(i * m_frameWidth, 0, frame);
        }
        p.end();
        QImage last = m_strip.copy(m_frameWidth * (skin::kWheelFrames - 1) * s, 0, m_frameWidth * s, m_frameHeight * s);
        last.setDevicePixelRatio(s);
        for (CSliderButton* s : {m_speed, m_power, m_deformation})
            s->setBackground(last);
    } else {
        ok = false;
    }
    update();
    return ok;
}

void CFilmPanelDlg::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int frame = std::clamp(m_wheel.shownFrame(), 0, skin::kWheelFrames - 1);
    if (m_frameWidth > 0) {
        const int s = qRound(m_strip.devicePixelRatio()); // the source rectangle is in pixels
        p.drawImage(QRect(0, 0, m_frameWidth, m_frameHeight), m_strip,
                    QRect(m_frameWidth * frame * s, 0, m_frameWidth * s, m_frameHeight * s));
    }
    else
        p.fillRect(rect(), Qt::black);
    m_paintedFrame = frame;
    emit framePainted(frame);
}

void CFilmPanelDlg::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    m_wheel.hotSpotDown(skin::kWheelClickArea.contains({at.x(), at.y()}));
}

void CFilmPanelDlg::mouseMoveEvent(QMouseEvent* event)
{
    // The hand says that the wheel can be turned.
    const QPoint at = event->position().toPoint();
    setCursor(skin::kWheelClickArea.contains({at.x(), at.y()}) ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void CFilmPanelDlg::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    if (m_wheel.hotSpotUp(skin::kWheelClickArea.contains({at.x(), at.y()}))) {
        emit hideFilmstrip();
        m_timer.start(40, this);
    }
}

void CFilmPanelDlg::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == m_timer.timerId())
        advanceWheel();
}

void CFilmPanelDlg::advanceWheel()
{
    const uint32_t a = m_wheel.tick();
    using W = skin::WheelModel;
    if (a & W::HideFilmControls)
        for (QWidget* w : std::initializer_list<QWidget*>{m_leftScroll, m_rightScroll, m_play, m_speed, m_deformation})
            w->hide();
    if (a & W::HideSliderControls)
        for (QWidget* w : std::initializer_list<QWidget*>{m_play2, m_deformation, m_speed, m_power})
            w->hide();
    if (a & W::ShowSliders)
        for (QWidget* w : std::initializer_list<QWidget*>{m_deformation, m_speed, m_power})
            w->show();
    if (a & W::Repaint)
        repaint();
    if (a & W::ShowPlay2)
        m_play2->show();
    if (a & W::StopTimer)
        m_timer.stop();
    if (a & W::ShowFileButtons)
        emit showFileButtons(true);
    if (a & W::ShowFilmControls)
        for (QWidget* w : std::initializer_list<QWidget*>{m_leftScroll, m_rightScroll, m_play})
            w->show();
    if (a & W::ShowFilmstrip)
        emit showFilmstrip();
}

void CFilmPanelDlg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        emit cancelRequested();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        return;
    QWidget::keyPressEvent(event);
}

} // namespace knetix
