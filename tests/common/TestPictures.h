#pragma once
// Pictures, folders and documents made in code, for the GoogleTest and the Qt
// Test programs alike (no test framework here).

#include "document/Document.h"
#include "container/WA.h"
#include "files/imagelib/ImExp.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace knetix::test {

// A picture with a grid of lines over colour ramps, so that any warp shows.
inline WAPtr gridPicture(int32_t w, int32_t h)
{
    auto picture = std::make_shared<WA>(WA_TYPE_24BIT, w, h);
    for (int32_t k = 0; k < h; ++k) {
        uint8_t* row = picture->row(k);
        for (int32_t x = 0; x < w; ++x) {
            const bool line = x % 8 == 0 || k % 8 == 0;
            row[3 * x + 0] = line ? 20 : uint8_t(255 * x / w);
            row[3 * x + 1] = line ? 20 : uint8_t(255 * k / h);
            row[3 * x + 2] = line ? 20 : uint8_t(128 + (x ^ k) % 100);
        }
    }
    return picture;
}

// A fresh folder under the test's temporary directory, removed afterwards.
class TempFolder {
public:
    explicit TempFolder(const std::string& name = "test",
                        const std::filesystem::path& base = std::filesystem::temp_directory_path())
    {
        m_path = base / ("knetix-" + name + "-" + std::to_string(std::random_device{}()));
        std::filesystem::create_directories(m_path);
    }

    // A folder in memory where the machine has one: for tests that save
    // hundreds of files and care about their bytes, not the disk.
    static std::filesystem::path memoryBase()
    {
        std::error_code ec;
        const std::filesystem::path shm = "/dev/shm";
        if (std::filesystem::is_directory(shm, ec) && ::access(shm.c_str(), W_OK) == 0)
            return shm;
        return std::filesystem::temp_directory_path();
    }
    ~TempFolder() { std::filesystem::remove_all(m_path); }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline std::vector<uint8_t> readBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return {};
    std::vector<uint8_t> bytes(size_t(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    return bytes;
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Writes the grid picture as a BMP file for commands that open by name;
// empty when it could not be written.
inline std::string writeGridPicture(const TempFolder& folder, const std::string& name, int32_t w, int32_t h)
{
    const WAPtr picture = gridPicture(w, h);
    Bitmap24View view{w, h, picture->rowBytes(), picture->row(0), 2835, 2835};
    const std::string path = folder / name;
    return ImExp_WriteFile(path, view) == ImExpStatus::Ok ? path : std::string();
}

inline std::vector<OffsetCell> activeField(Document& doc)
{
    const OffsetCell* cells = doc.keys().activeCells();
    return cells ? std::vector<OffsetCell>(cells, cells + doc.keys().cellCount()) : std::vector<OffsetCell>{};
}

} // namespace knetix::test
