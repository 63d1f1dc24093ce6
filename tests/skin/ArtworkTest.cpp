// The compiled-in pictures: every name the program loads, at its size and depth.

#include "SkinTest.h"

#include "artwork/Artwork.h"
#include "resources/SkinLayout.h"

#include <QTest>

using namespace knetix;

class ArtworkTest : public QObject {
    Q_OBJECT
private slots:
    void everyPictureAtItsSizeAndDepth()
    {
        for (const skin::PictureEntry& entry : skin::allPictures()) {
            const QImage image = loadSkinPicture(entry.name);
            QVERIFY2(!image.isNull(), entry.name.c_str());
            QCOMPARE(image.size(), QSize(entry.width, entry.height));
            if (entry.depth == 8)
                QVERIFY2(image.format() == QImage::Format_Indexed8, entry.name.c_str());
            else
                QVERIFY2(image.format() != QImage::Format_Indexed8 && image.hasAlphaChannel() == (entry.depth == 32),
                         entry.name.c_str());
        }
    }

    void namesAreFoundInAnyCase()
    {
        const QImage upper = loadSkinPicture("SPEEDU");
        QVERIFY(!upper.isNull());
        QCOMPARE(loadSkinPicture("SpeedU"), upper);
        QCOMPARE(loadSkinPicture("main_wnd").size(), QSize(640, 480));
        QVERIFY(hasSkinPicture("patratelU"));
        QVERIFY(loadSkinPicture("BTN_NOTHING_U").isNull());
        QVERIFY(!hasSkinPicture(""));
        QCOMPARE(loadSkinIcon(128).size(), QSize(32, 32));
    }

    void toolFramesStartUndeformedAndGrow()
    {
        const QImage plain = loadSkinPicture("HOOK_SMALL_0");
        for (int set = 0; set < 6; ++set) {
            const QString name = QString::fromStdString(skin::toolDisplayFrameName(set, 0, 0));
            QCOMPARE(loadSkinPicture(skin::toolDisplayFrameName(set, 0, 0)), plain);
            QVERIFY2(loadSkinPicture(skin::toolDisplayFrameName(set, 0, 1)) != plain, qPrintable(name));
            QVERIFY2(loadSkinPicture(skin::toolDisplayFrameName(set, 2, 4)) !=
                         loadSkinPicture(skin::toolDisplayFrameName(set, 0, 4)),
                     qPrintable(name));
        }
        // Each set bends the lines its own way.
        for (int a = 0; a < 6; ++a)
            for (int b = a + 1; b < 6; ++b)
                QVERIFY(loadSkinPicture(skin::toolDisplayFrameName(a, 2, 4)) !=
                        loadSkinPicture(skin::toolDisplayFrameName(b, 2, 4)));
    }

    void knobFaceIsBlackOutsideTheKnob()
    {
        for (const char* name : {"POWERU", "SPEEDU", "DEFORMATIONU"}) {
            const QImage knob = loadSkinPicture(name).convertToFormat(QImage::Format_RGB888);
            const int w = knob.width() / 2;
            int opaque = 0, shadow = 0;
            for (int y = 0; y < knob.height(); ++y)
                for (int x = 0; x < w; ++x) {
                    const int m = qBlue(knob.pixel(x, y));
                    QVERIFY(m == 0 || m == 128 || m == 255);
                    opaque += m == 0;
                    shadow += m == 128;
                    if (m != 0)
                        QCOMPARE(knob.pixel(x + w, y) & 0xFFFFFF, 0u);
                }
            QVERIFY(opaque > w * knob.height() / 2);
            QVERIFY(shadow > 0);
        }
    }

    void hoverAndPushedPicturesDiffer()
    {
        for (const auto& table : {skin::mainPanelControls(), skin::filmPanelControls(), skin::fileDialogControls()})
            for (const skin::ControlLayout& c : table) {
                const auto names = skin::pictureNames(c);
                for (size_t i = 1; i < names.size(); ++i)
                    if (names[i] != names[0])
                        QVERIFY2(loadSkinPicture(names[i]) != loadSkinPicture(names[0]), names[i].c_str());
            }
    }
};

KNETIX_SKIN_TEST(ArtworkTest);
#include "ArtworkTest.moc"
