#include "app/ui/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace knetix {

namespace {

int32_t readInt(QSettings& settings, const char* key, int32_t fallback)
{
    bool ok = false;
    const int value = settings.value(QLatin1String(key)).toInt(&ok);
    return ok ? int32_t(value) : fallback;
}

} // namespace

std::unique_ptr<QSettings> openSettings()
{
    return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Kavon Software"),
                                       QStringLiteral("Knetix"));
}

ValueSettings loadValueSettings(QSettings& settings)
{
    ValueSettings values;
    settings.beginGroup(QStringLiteral("Value"));
    values.sound = readInt(settings, "Sound", values.sound);
    values.baloons = readInt(settings, "Baloons", values.baloons);
    values.screen = readInt(settings, "Screen", values.screen);
    if (settings.contains(QStringLiteral("Tool")))
        values.tool = settings.value(QStringLiteral("Tool")).toString().toStdString();
    values.scale = readInt(settings, "Scale", values.scale);
    if (values.scale <= 0)
        values.scale = kDivisorMedium;
    // A negative or absurd cap falls back to the default.
    values.undoMB = readInt(settings, "UndoMB", values.undoMB);
    if (values.undoMB < 0 || values.undoMB > (1 << 20))
        values.undoMB = ValueSettings{}.undoMB;
    values.zoom = readInt(settings, "Zoom", values.zoom);
    if (values.zoom < 0 || values.zoom > 4)
        values.zoom = 0;
    settings.endGroup();
    return values;
}

void saveValueSettings(QSettings& settings, const ValueSettings& values)
{
    settings.beginGroup(QStringLiteral("Value"));
    settings.setValue(QStringLiteral("Sound"), values.sound);
    settings.setValue(QStringLiteral("Baloons"), values.baloons);
    settings.setValue(QStringLiteral("Screen"), values.screen);
    settings.setValue(QStringLiteral("Tool"), QString::fromStdString(values.tool));
    settings.setValue(QStringLiteral("Scale"), values.scale);
    settings.setValue(QStringLiteral("UndoMB"), values.undoMB);
    settings.setValue(QStringLiteral("Zoom"), values.zoom);
    settings.endGroup();
    settings.sync();
}

std::string defaultPictureFolder()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    std::string out = folder.toStdString();
    if (out.empty() || out.back() != '/')
        out += '/';
    return out;
}

Folders loadFolders(QSettings& settings, const std::string& defaultFolder)
{
    Folders folders;
    settings.beginGroup(QStringLiteral("PATH"));
    for (int i = 0; i < FolderCount; ++i) {
        const QVariant value = settings.value(QLatin1String(kFolderKeys[size_t(i)]));
        folders[size_t(i)] = value.isValid() ? value.toString().toStdString() : defaultFolder;
    }
    settings.endGroup();
    return folders;
}

void saveFolders(QSettings& settings, const Folders& folders)
{
    settings.beginGroup(QStringLiteral("PATH"));
    for (int i = 0; i < FolderCount; ++i)
        settings.setValue(QLatin1String(kFolderKeys[size_t(i)]), QString::fromStdString(folders[size_t(i)]));
    settings.endGroup();
    settings.sync();
}

} // namespace knetix
