// The skin pictures: every name the program loads, at its size and depth, at
// 1x (compiled in) and at each larger factor the build draws (resource files
// in the data folder).

#include "SkinTest.h"

#include "artwork/Artwork.h"
#include "resources/SkinLayout.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <vector>

using namespace knetix;

namespace {

const std::string kDataFolder = KNETIX_TEST_DATA_DIR;

// The factors above 1 that this build draws.
std::vector<int> largerFactors()
{
    std::vector<int> factors;
    for (const QString& f : QString(KNETIX_TEST_ART_FACTORS).split(',', Qt::SkipEmptyParts))
        if (f.toInt() > 1)
            factors.push_back(f.toInt());
    return factors;
}

bool isToolFrame(const std::string& name)
{
    for (std::string_view set : skin::kToolDisplaySets)
        if (name.starts_with(set))
            return true;
    return false;
}

bool drawn(int factor)
{
    for (int f : largerFactors())
        if (f == factor)
            return true;
    return false;
}

// How much two pictures of one size differ: the share of pixels that differ
// at all, and the mean difference per colour channel (0..255).
struct Difference {
    double changed = 0;
    double mean = 0;
};

Difference difference(const QImage& a, const QImage& b)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    qint64 changed = 0, sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row), q = y.pixel(col, row);
            const int d = std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) + std::abs(qBlue(p) - qBlue(q));
            changed += d != 0;
            sum += d;
        }
    const double pixels = double(x.width()) * x.height();
    return {changed / pixels, sum / pixels / 3};
}

} // namespace

class ArtworkTest : public QObject {
    Q_OBJECT
private slots:
    // Every test starts and ends at 1x.
    void cleanup() { QVERIFY(setArtworkScale(1, kDataFolder)); }

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
        for (int set = 0; set < skin::kToolDisplaySetCount; ++set) {
            const QString name = QString::fromStdString(skin::toolDisplayFrameName(set, 0, 0));
            QCOMPARE(loadSkinPicture(skin::toolDisplayFrameName(set, 0, 0)), plain);
            QVERIFY2(loadSkinPicture(skin::toolDisplayFrameName(set, 0, 1)) != plain, qPrintable(name));
            QVERIFY2(loadSkinPicture(skin::toolDisplayFrameName(set, 2, 4)) !=
                         loadSkinPicture(skin::toolDisplayFrameName(set, 0, 4)),
                     qPrintable(name));
        }
        // Each set bends the lines its own way.
        for (int a = 0; a < skin::kToolDisplaySetCount; ++a)
            for (int b = a + 1; b < skin::kToolDisplaySetCount; ++b)
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

    void everyPictureAtEveryFactor()
    {
        if (largerFactors().empty())
            QSKIP("this build draws the artwork at 1x only (KNETIX_ART_FACTORS)");
        for (int factor : largerFactors()) {
            QVERIFY2(setArtworkScale(factor, kDataFolder), qPrintable(QString("factor %1").arg(factor)));
            QCOMPARE(artworkScale(), factor);
            for (const skin::PictureEntry& entry : skin::allPictures()) {
                const QImage image = loadSkinPicture(entry.name);
                const QByteArray what = QByteArray::fromStdString(entry.name) + " at " + QByteArray::number(factor);
                QVERIFY2(!image.isNull(), what);
                QVERIFY2(image.size() == QSize(entry.width, entry.height) * factor, what);
                QVERIFY2(image.devicePixelRatio() == factor, what);
                QVERIFY2(image.deviceIndependentSize() == QSizeF(entry.width, entry.height), what);
                if (entry.depth == 8)
                    QVERIFY2(image.format() == QImage::Format_Indexed8, what);
                else
                    QVERIFY2(image.format() != QImage::Format_Indexed8 && image.hasAlphaChannel() == (entry.depth == 32),
                             what);
            }
            const QImage icon = loadSkinIcon(128);
            QCOMPARE(icon.size(), QSize(32, 32) * factor);
            QCOMPARE(icon.deviceIndependentSize(), QSizeF(32, 32));
            QCOMPARE(loadSkinPicture("SpeedU"), loadSkinPicture("SPEEDU"));
        }
        QVERIFY(setArtworkScale(1, kDataFolder));
        QCOMPARE(loadSkinPicture("MAIN_WND").size(), QSize(640, 480));
        QCOMPARE(loadSkinPicture("MAIN_WND").devicePixelRatio(), 1.0);
    }

    // A 2x picture is the same drawing as the 1x one, drawn with twice the
    // detail: shrunk it looks like the 1x picture, and it is not the 1x
    // picture with its pixels doubled.
    void largerFactorsAreDrawnNotEnlarged()
    {
        if (!drawn(2))
            QSKIP("this build does not draw the artwork at 2x");
        std::vector<std::pair<std::string, QImage>> small;
        for (const skin::PictureEntry& entry : skin::allPictures())
            small.emplace_back(entry.name, loadSkinPicture(entry.name));
        QVERIFY(setArtworkScale(2, kDataFolder));
        for (const auto& [name, picture] : small) {
            // In RGB: Qt 6.4 crashes smooth-scaling an 8-bit picture whose
            // device pixel ratio is not 1.
            const QImage large = loadSkinPicture(name).convertToFormat(QImage::Format_RGB32);
            const QImage doubled = picture.convertToFormat(QImage::Format_RGB32)
                                       .scaled(picture.size() * 2, Qt::IgnoreAspectRatio, Qt::FastTransformation);
            const QImage shrunk = large.scaled(picture.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            // Lines and letters sit where they sit at 1x (the tool frames
            // differ most: the engine bends finer pixels).
            QVERIFY2(difference(shrunk, picture).mean < 12, name.c_str());
            // Antialiased edges fall between the doubled pixels. The tool
            // display's grid is whole pixels at 1x; only its bends differ,
            // most in the last frame.
            if (!isToolFrame(name) || name.ends_with("_LARGE_4"))
                QVERIFY2(difference(large, doubled).changed > 0.05, name.c_str());
        }
    }

    void aMissingOrForeignFileKeepsTheScale()
    {
        QVERIFY(!setArtworkScale(2, "/nonexistent/folder/"));
        QCOMPARE(artworkScale(), 1);
        QCOMPARE(loadSkinPicture("MAIN_WND").size(), QSize(640, 480));
        QCOMPARE(loadSkinPicture("MAIN_WND").devicePixelRatio(), 1.0);
        QVERIFY(!setArtworkScale(0, kDataFolder));
        QVERIFY(!setArtworkScale(5, kDataFolder));
        QCOMPARE(artworkScale(), 1);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString folder = dir.path() + '/';
        auto place = [&](int factor, const QByteArray& bytes) {
            QFile file(folder + QString("skin-%1x.rcc").arg(factor));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QCOMPARE(file.write(bytes), qint64(bytes.size()));
        };
        place(2, "not a resource file");
        QVERIFY(!setArtworkScale(2, folder.toStdString()));
        QCOMPARE(artworkScale(), 1);
        if (!drawn(2))
            QSKIP("needs the artwork at 2x");
        QFile real(QString::fromStdString(kDataFolder) + "skin-2x.rcc");
        QVERIFY(real.open(QIODevice::ReadOnly));
        const QByteArray twos = real.readAll();
        // Cut short, as by an interrupted copy.
        place(2, twos.left(twos.size() * 3 / 5));
        QVERIFY(!setArtworkScale(2, folder.toStdString()));
        // The 2x pictures under the 3x name.
        place(3, twos);
        QVERIFY(!setArtworkScale(3, folder.toStdString()));
        QCOMPARE(artworkScale(), 1);

        // A failed change leaves the scale that was chosen before, and the
        // folder needs no closing slash.
        QVERIFY(setArtworkScale(2, QString::fromStdString(kDataFolder).chopped(1).toStdString()));
        QVERIFY(!setArtworkScale(3, folder.toStdString()));
        QCOMPARE(artworkScale(), 2);
        QCOMPARE(loadSkinPicture("MAIN_WND").size(), QSize(1280, 960));
    }
};

KNETIX_SKIN_TEST(ArtworkTest);
#include "ArtworkTest.moc"
