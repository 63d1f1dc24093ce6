#pragma once
// A plain window holding the canvas, the filmstrip and a few buttons, so that
// they can be driven before the skinned main panel exists.

#include "document/Document.h"
#include "views/CMWorking.h"
#include "views/CMKeys.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QPushButton>
#include <QWidget>

namespace knetix::test {

class TestHost : public QWidget {
public:
    Document document;
    CMWorking* canvas;
    CMKeys* strip;
    QPushButton* play;
    QPushButton* back;
    QPushButton* forward;

    TestHost()
        : canvas(new CMWorking(document, this)), strip(new CMKeys(document, this)),
          play(new QPushButton(QStringLiteral("Abspielen"), this)),
          back(new QPushButton(QStringLiteral("<"), this)), forward(new QPushButton(QStringLiteral(">"), this))
    {
        setStyleSheet(QStringLiteral("background: #202124; color: #ddd;"));
        resize(400, 470);
        canvas->setGeometry(23, 10, 354, 354);
        strip->move(89, 390);
        back->setGeometry(40, 390, 40, 62);
        forward->setGeometry(320, 390, 40, 62);
        play->setGeometry(150, 456, 100, 14);
        connect(play, &QPushButton::clicked, this, [this] { togglePlayback(); });
        connect(back, &QPushButton::clicked, strip, &CMKeys::scrollBack);
        connect(forward, &QPushButton::clicked, strip, &CMKeys::scrollForward);
        // The canvas and the strip follow the document themselves.
    }

    // The windows refer to the document, which goes before the base class
    // deletes its children.
    ~TestHost() override
    {
        document.stopPlayback();
        delete canvas;
        delete strip;
    }

    void pictureLoaded()
    {
        canvas->pictureChanged();
        strip->update();
    }
    void toolChosen() { canvas->toolChanged(); }

    void togglePlayback()
    {
        if (document.playing()) {
            stop();
            return;
        }
        // Any click now ends playback (headless platforms have no grab; every
        // widget here stops playback on a press anyway).
        if (document.play() &&
            QGuiApplication::platformName() != QLatin1String("offscreen"))
            grabMouse();
    }

    void stop()
    {
        if (QWidget::mouseGrabber() == this)
            releaseMouse();
        if (document.playing()) {
            document.stopPlayback();
            canvas->update();
        }
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        stop();
        QWidget::mousePressEvent(event);
    }
};

} // namespace knetix::test
