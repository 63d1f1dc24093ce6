#include "artwork/Artwork.h"

#include "resources/SkinLayout.h"

#include <QFile>
#include <QString>

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

QString resourcePath(std::string_view name)
{
    return QStringLiteral(":/skin/") + QString::fromUtf8(name.data(), qsizetype(name.size())).toUpper();
}

} // namespace

QImage loadSkinPicture(std::string_view name)
{
    registerSkinArt();
    if (name.empty())
        return {};
    return QImage(resourcePath(name), "PNG");
}

bool hasSkinPicture(std::string_view name)
{
    registerSkinArt();
    return !name.empty() && QFile::exists(resourcePath(name));
}

QImage loadSkinIcon(int id)
{
    return loadSkinPicture(skin::iconName(id));
}

} // namespace knetix
