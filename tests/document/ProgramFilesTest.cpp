#include "DocumentFixtures.h"

#include "document/ProgramFiles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace knetix {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

// Sets or clears KNETIX_DATA_DIR for one test and puts the old value back.
class DataDirVariable {
public:
    explicit DataDirVariable(const char* value)
    {
        if (const char* old = std::getenv(kName))
            m_old = old;
        if (value)
            ::setenv(kName, value, 1);
        else
            ::unsetenv(kName);
    }
    ~DataDirVariable()
    {
        if (m_old)
            ::setenv(kName, m_old->c_str(), 1);
        else
            ::unsetenv(kName);
    }

private:
    static constexpr const char* kName = "KNETIX_DATA_DIR";
    std::optional<std::string> m_old;
};

TEST(ProgramFilesTest, ProgramFolderHoldsTheRunningProgram)
{
    const std::string folder = programFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_TRUE(fs::path(folder).is_absolute());
    EXPECT_TRUE(fs::exists(folder + "knetix_document_tests"));
}

TEST(ProgramFilesTest, TheVariableNamesTheFolderWithOrWithoutSlash)
{
    {
        DataDirVariable variable("/opt/knetix-daten");
        EXPECT_EQ(programDataFolder(), "/opt/knetix-daten/");
        EXPECT_EQ(helpFilePath(), "/opt/knetix-daten/knetix-hilfe.html");
        EXPECT_EQ(homePageFilePath(), "/opt/knetix-daten/kavon.htm");
    }
    {
        DataDirVariable variable("/opt/knetix-daten/");
        EXPECT_EQ(programDataFolder(), "/opt/knetix-daten/");
    }
    // Named even when it does not exist: the user asked for it.
    EXPECT_EQ(dataFolderFor("/usr/bin/", "relativ/daten"), "relativ/daten/");
}

TEST(ProgramFilesTest, InstalledLayoutWinsOverTheBuildTreeFolder)
{
    TempFolder prefix(test::currentTestName());
    fs::create_directories(prefix.path() / "bin");
    fs::create_directories(prefix.path() / "bin" / "data");
    const std::string bin = prefix / "bin/";
    EXPECT_EQ(dataFolderFor(bin, nullptr), bin + "data/");

    fs::create_directories(prefix.path() / "share" / "knetix");
    const std::string share = fs::canonical(prefix.path()).string() + "/share/knetix/";
    EXPECT_EQ(dataFolderFor(bin, nullptr), share);
    // An empty variable counts as unset.
    EXPECT_EQ(dataFolderFor(bin, ""), share);
    EXPECT_EQ(dataFolderFor(bin, "/anders"), "/anders/");
}

TEST(ProgramFilesTest, WithoutTheVariableTheTestProgramLooksBesideItself)
{
    DataDirVariable variable(nullptr);
    EXPECT_EQ(programDataFolder(), programFolder() + "data/");
    DataDirVariable empty("");
    EXPECT_EQ(programDataFolder(), programFolder() + "data/");
}

// The build copies the documents next to the program, so that knetix run from
// the build tree finds them by the same rule.
TEST(ProgramFilesTest, TheBuildTreeProgramFindsItsDocuments)
{
    const std::string folder = fs::path(KNETIX_PROGRAM).parent_path().string() + "/";
    const std::string data = dataFolderFor(folder, nullptr);
    EXPECT_EQ(data, folder + "data/");
    for (const char* name : {"knetix-hilfe.html", "kavon.htm"}) {
        const fs::path file = fs::path(data) / name;
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
        EXPECT_GT(fs::file_size(file), 500u) << file;
    }
    // The home page carries the project's version, not the placeholder.
    const auto page = test::readBytes(data + "kavon.htm");
    const std::string text(page.begin(), page.end());
    EXPECT_EQ(text.find('@'), std::string::npos);
    EXPECT_NE(text.find("knetix-hilfe.html"), std::string::npos);
}

} // namespace
} // namespace knetix
