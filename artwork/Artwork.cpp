#include "artwork/Artwork.h"

#include "resources/SkinLayout.h"

#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QResource>
#include <QString>

#include <map>
#include <mutex>

// The resource registration lives in the generated file; a static library would
// drop it unless something refers to it.
static void registerSkinArt()
{
    static std::once_flag once;
    std::call_once(once, [] { Q_INIT_RESOURCE(skin_art); });
}

namespace knetix {

namespace {

constexpr int kMaxScale = 4;

// The scale in use and the resource folder its pictures are in: ":/skin/" for
// the compiled-in 1x ones. Each file registered for a larger factor gets a
// root of its own, so that switching folders never pulls a file from under a
// scale in use.
struct Scale {
    int factor = 1;
    QString root = QStringLiteral(":/skin/");
};

std::mutex g_mutex;
Scale g_scale;
std::map<QString, QString> g_rootOfFile;
int g_registrations = 0;

Scale currentScale()
{
    const std::lock_guard lock(g_mutex);
    return g_scale;
}

QString resourcePath(const QString& root, std::string_view name)
{
    return root + QString::fromUtf8(name.data(), qsizetype(name.size())).toUpper();
}

// Every picture the program loads is there at its size times the factor. Only
// the headers are read.
bool completeSkin(const QString& root, int factor)
{
    for (const skin::PictureEntry& entry : skin::allPictures()) {
        QImageReader reader(resourcePath(root, entry.name), "PNG");
        if (reader.size() != QSize(entry.width * factor, entry.height * factor))
            return false;
    }
    return true;
}

} // namespace

QImage loadSkinPicture(std::string_view name)
{
    registerSkinArt();
    if (name.empty())
        return {};
    const Scale scale = currentScale();
    QImage image(resourcePath(scale.root, name), "PNG");
    if (!image.isNull())
        image.setDevicePixelRatio(scale.factor);
    return image;
}

bool hasSkinPicture(std::string_view name)
{
    registerSkinArt();
    return !name.empty() && QFile::exists(resourcePath(currentScale().root, name));
}

QImage loadSkinIcon(int id)
{
    return loadSkinPicture(skin::iconName(id));
}

bool setArtworkScale(int factor, const std::string& dataFolder)
{
    registerSkinArt();
    if (factor == 1) {
        const std::lock_guard lock(g_mutex);
        g_scale = Scale();
        return true;
    }
    if (factor < 2 || factor > kMaxScale)
        return false;
    QString folder = QString::fromStdString(dataFolder);
    if (!folder.isEmpty() && !folder.endsWith('/'))
        folder += '/';
    const QString file = QFileInfo(folder + QStringLiteral("skin-%1x.rcc").arg(factor)).absoluteFilePath();

    const std::lock_guard lock(g_mutex);
    auto known = g_rootOfFile.find(file);
    if (known == g_rootOfFile.end()) {
        // The generator files factor N's pictures under /skin-Nx.
        const QString mapRoot = QStringLiteral("/scale%1").arg(++g_registrations);
        if (!QFileInfo(file).isFile() || !QResource::registerResource(file, mapRoot))
            return false;
        const QString root = QStringLiteral(":%1/skin-%2x/").arg(mapRoot).arg(factor);
        if (!completeSkin(root, factor)) {
            QResource::unregisterResource(file, mapRoot);
            return false;
        }
        known = g_rootOfFile.emplace(file, root).first;
    }
    g_scale = {factor, known->second};
    return true;
}

int artworkScale()
{
    return currentScale().factor;
}

} // namespace knetix
