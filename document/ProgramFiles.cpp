#include "document/ProgramFiles.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace knetix {

namespace {

std::string withSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

} // namespace

std::string programFolder()
{
    // The link names the program file itself, whichever path or symbolic link
    // started it.
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (error || self.empty())
        return {};
    return withSlash(self.parent_path().string());
}

std::string dataFolderFor(const std::string& programFolder, const char* dataDirVariable)
{
    if (dataDirVariable && *dataDirVariable)
        return withSlash(dataDirVariable);
    const fs::path folder(programFolder);
    std::error_code error;
    const fs::path installed = folder / ".." / "share" / "knetix";
    if (fs::is_directory(installed, error)) {
        const fs::path normal = fs::weakly_canonical(installed, error);
        return withSlash(error ? installed.lexically_normal().string() : normal.string());
    }
    return withSlash((folder / "data").string());
}

std::string programDataFolder()
{
    return dataFolderFor(programFolder(), std::getenv("KNETIX_DATA_DIR"));
}

std::string helpFilePath()
{
    return programDataFolder() + "knetix-hilfe.html";
}

std::string homePageFilePath()
{
    return programDataFolder() + "kavon.htm";
}

} // namespace knetix
