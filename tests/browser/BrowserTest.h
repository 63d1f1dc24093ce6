#pragma once
// What the browser's Qt tests share: folders built on disk, pictures written
// through the image library, a private temporary folder and settings file, and
// a message handler that records every box and answers from a list.

#include "browser/FileDialogs.h"
#include "browser/MessageBox.h"
#include "container/WA.h"
#include "files/imagelib/ImExp.h"
#include "tests/common/QtTestRunner.h"

#include <QSettings>
#include <QStringList>

#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace knetix::test {

namespace fs = std::filesystem;

class TestTree {
public:
    TestTree()
    {
        m_root = fs::temp_directory_path() / ("knetix-browser-" + std::to_string(std::random_device{}()));
        fs::create_directories(m_root);
    }
    ~TestTree() { fs::remove_all(m_root); }
    // The folder with a "/" at its end.
    std::string folder() const { return m_root.string() + "/"; }
    std::string path(const std::string& name) const { return folder() + name; }
    void file(const std::string& name, const std::string& text = "x") const { std::ofstream(path(name)) << text; }
    void dir(const std::string& name) const { fs::create_directories(path(name)); }
    // A BMP picture of the given size.
    void picture(const std::string& name, int32_t w, int32_t h) const
    {
        WA picture(WA_TYPE_24BIT, w, h);
        for (int32_t k = 0; k < h; ++k)
            for (int32_t x = 0; x < w; ++x) {
                picture.row(k)[3 * x] = uint8_t(x);
                picture.row(k)[3 * x + 1] = uint8_t(k);
                picture.row(k)[3 * x + 2] = 200;
            }
        Bitmap24View view{w, h, picture.rowBytes(), picture.row(0), 2835, 2835};
        ImExp_WriteFile(path(name), view);
    }

private:
    fs::path m_root;
};

// Records every message and answers questions from a list (No when it runs out).
class MessageRecorder {
public:
    MessageRecorder()
    {
        m_previous = setMessageHandler([this](QWidget*, const QString& text, MessageKind kind) {
            shown << text;
            if (kind != MessageKind::Question)
                return true;
            if (answers.empty())
                return false;
            const bool answer = answers.front();
            answers.pop_front();
            return answer;
        });
    }
    ~MessageRecorder() { setMessageHandler(m_previous); }

    QStringList shown;
    std::deque<bool> answers;

private:
    MessageHandler m_previous;
};

// One fixed volume: the test's own folder stands for a drive.
class FakeVolumes {
public:
    explicit FakeVolumes(const std::string& root)
    {
        m_previous = setVolumeProvider([root] {
            return std::vector<browser::Volume>{{root, browser::DriveKind::Fixed}};
        });
    }
    ~FakeVolumes() { setVolumeProvider(m_previous); }

private:
    VolumeProvider m_previous;
};

// The temporary folder (for RUVIZU.TMP) and the settings file of this test only.
class PrivatePlace {
public:
    PrivatePlace()
    {
        m_old = qgetenv("TMPDIR");
        qputenv("TMPDIR", QByteArray::fromStdString(m_tree.folder()));
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(m_tree.path("settings")));
    }
    ~PrivatePlace()
    {
        if (m_old.isEmpty())
            qunsetenv("TMPDIR");
        else
            qputenv("TMPDIR", m_old);
    }
    std::string database() const { return m_tree.path("RUVIZU.TMP"); }
    std::string settingsFile() const { return m_tree.path("settings/Kavon Software/Knetix.ini"); }

private:
    TestTree m_tree;
    QByteArray m_old;
};

constexpr const char* kTestFilter = "Bilder (*.JPG;*.PCX)|*.JPG;*.PCX|Alle Dateien (*.*)|*.*|Bitmaps|*.BMP||";

} // namespace knetix::test
