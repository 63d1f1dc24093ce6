// The level table in the top README is the rule for which folder may include
// which: every #include "..." of the sources is read and checked against it,
// and each folder README's "Uses:" line must say the same as its row.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Row {
    int level = 0;
    std::string folder; // "skin/model/", with the trailing slash
    std::set<std::string> uses;
    bool usesEverything = false;
};

struct Table {
    std::vector<Row> rows;
    std::vector<std::string> problems;

    const Row* rowOf(const std::string& path) const
    {
        const Row* best = nullptr;
        for (const Row& r : rows)
            if (path.starts_with(r.folder) && (!best || r.folder.size() > best->folder.size()))
                best = &r;
        return best;
    }
};

std::string readText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string withSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

// The folders named in backticks in a piece of text, as table folders.
std::set<std::string> backtickedFolders(const std::string& text, const Table& table)
{
    std::set<std::string> named;
    static const std::regex quoted("`([^`]+)`");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), quoted); it != std::sregex_iterator(); ++it) {
        const std::string folder = withSlash((*it)[1].str());
        for (const Row& r : table.rows)
            if (r.folder == folder)
                named.insert(folder);
    }
    return named;
}

// The rows of the "## Levels" table: | level | `folder/` | holds | uses |.
Table parseLevelTable(const std::string& readme)
{
    Table table;
    const auto start = readme.starts_with("## Levels") ? 0 : readme.find("\n## Levels");
    if (start == std::string::npos) {
        table.problems.push_back("README has no \"## Levels\" section");
        return table;
    }
    std::istringstream lines(readme.substr(start));
    std::string line;
    std::vector<std::string> usesCells;
    static const std::regex row(R"(^\|\s*(\d+)\s*\|\s*`([^`]+)`\s*\|[^|]*\|([^|]*)\|\s*$)");
    if (start != 0)
        std::getline(lines, line); // the empty line before the heading
    std::getline(lines, line);
    while (std::getline(lines, line) && !line.starts_with("## ")) {
        std::smatch m;
        if (!std::regex_match(line, m, row))
            continue;
        table.rows.push_back({std::stoi(m[1]), withSlash(m[2]), {}, false});
        usesCells.push_back(m[3]);
    }
    for (size_t i = 0; i < table.rows.size(); ++i) {
        Row& r = table.rows[i];
        r.uses = backtickedFolders(usesCells[i], table);
        for (const std::string& used : r.uses) {
            const Row* other = nullptr;
            for (const Row& o : table.rows)
                if (o.folder == used)
                    other = &o;
            if (other->level >= r.level)
                table.problems.push_back(r.folder + " (level " + std::to_string(r.level) + ") uses " + used +
                                         " (level " + std::to_string(other->level) + "), which is not below it");
        }
    }
    if (table.rows.empty())
        table.problems.push_back("the level table has no rows");
    return table;
}

struct Include {
    std::string file; // relative to the source root
    int line = 0;
    std::string target;
};

std::vector<Include> quotedIncludes(const std::string& file, const std::string& text)
{
    std::vector<Include> found;
    static const std::regex include(R"re(^\s*#\s*include\s*"([^"]+)")re");
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        std::smatch m;
        if (std::regex_search(line, m, include))
            found.push_back({file, number, m[1]});
    }
    return found;
}

// What the table forbids among these includes. `exists` tells whether a
// path below the source root is a file (a name beside the including file is
// the folder's own business).
std::vector<std::string> forbiddenIncludes(const Table& table, const std::vector<Include>& includes,
                                           const std::function<bool(const std::string&)>& exists)
{
    std::vector<std::string> problems;
    for (const Include& inc : includes) {
        const Row* from = table.rowOf(inc.file);
        if (!from) {
            problems.push_back(inc.file + " lies in no folder of the level table");
            continue;
        }
        const std::string beside = (fs::path(inc.file).parent_path() / inc.target).lexically_normal().string();
        if (inc.target.find('/') == std::string::npos || (!exists(inc.target) && exists(beside))) {
            const Row* besideRow = table.rowOf(beside);
            if (besideRow == from)
                continue;
        }
        // Generated files (moc output) and paths outside the tree are not ours to check.
        if (!exists(inc.target))
            continue;
        const Row* to = table.rowOf(inc.target);
        if (!to || to == from || from->usesEverything || from->uses.count(to->folder))
            continue;
        problems.push_back(inc.file + ":" + std::to_string(inc.line) + ": " + from->folder + " may not include \"" +
                           inc.target + "\" (" + to->folder + " is not in its row of the level table)");
    }
    return problems;
}

bool isSource(const fs::path& p)
{
    const std::string ext = p.extension().string();
    return ext == ".h" || ext == ".cpp";
}

const fs::path kRoot = KNETIX_SOURCE_DIR;

Table projectTable()
{
    Table table = parseLevelTable(readText(kRoot / "README.md"));
    for (const char* outside : {"tests/", "bench/", "fuzz/"})
        table.rows.push_back({99, outside, {}, true});
    return table;
}

TEST(Layering, EveryIncludeIsAllowedByTheLevelTable)
{
    const Table table = projectTable();
    for (const std::string& problem : table.problems)
        ADD_FAILURE() << problem;
    ASSERT_GT(table.rows.size(), 3u);

    std::vector<Include> includes;
    std::set<std::string> unplaced;
    size_t files = 0;
    for (const auto& top : fs::directory_iterator(kRoot)) {
        const std::string name = top.path().filename().string();
        if (!top.is_directory() || name.starts_with(".") || name.starts_with("build"))
            continue;
        for (const auto& entry : fs::recursive_directory_iterator(top.path())) {
            if (!entry.is_regular_file() || !isSource(entry.path()))
                continue;
            const std::string rel = fs::relative(entry.path(), kRoot).generic_string();
            if (!table.rowOf(rel)) {
                unplaced.insert(name + "/");
                continue;
            }
            ++files;
            const auto found = quotedIncludes(rel, readText(entry.path()));
            includes.insert(includes.end(), found.begin(), found.end());
        }
    }
    for (const std::string& folder : unplaced)
        ADD_FAILURE() << folder << " holds sources but has no row in the level table";
    EXPECT_GT(files, 100u);
    const auto exists = [](const std::string& rel) { return fs::is_regular_file(kRoot / rel); };
    for (const std::string& problem : forbiddenIncludes(table, includes, exists))
        ADD_FAILURE() << problem;
}

TEST(Layering, EachFolderReadmeEndsWithItsUsesLine)
{
    const Table table = projectTable();
    int checked = 0;
    for (const Row& row : table.rows) {
        if (row.usesEverything)
            continue;
        const fs::path readme = kRoot / row.folder / "README.md";
        if (!fs::exists(readme))
            continue;
        ++checked;
        std::string text = readText(readme);
        while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
            text.pop_back();
        const auto paragraph = text.rfind("\n\n");
        const std::string last = paragraph == std::string::npos ? text : text.substr(paragraph + 2);
        if (!last.starts_with("Uses:")) {
            ADD_FAILURE() << row.folder << "README.md does not end with a \"Uses:\" paragraph";
            continue;
        }
        std::set<std::string> named = backtickedFolders(last, table);
        named.erase(row.folder);
        EXPECT_EQ(named, row.uses) << row.folder << "README.md's \"Uses:\" line";
    }
    EXPECT_GT(checked, 8);
}

// The checker itself must catch a folder reaching up, or the test above
// could pass by checking nothing.
TEST(Layering, AnIncludeOfAHigherFolderIsReported)
{
    const Table table = parseLevelTable("intro\n\n## Levels\n\n| level | folder | holds | uses |\n|---|---|---|---|\n"
                                        "| 0 | `low/` | bottom | – |\n| 1 | `mid/` | middle | `low/` |\n"
                                        "| 2 | `top/` | top | `mid/`, `low/` |\n\n## Next\n");
    ASSERT_TRUE(table.problems.empty());
    ASSERT_EQ(table.rows.size(), 3u);
    const std::set<std::string> files = {"low/A.h", "low/B.h", "mid/C.h", "top/D.h"};
    const auto exists = [&](const std::string& rel) { return files.count(rel) > 0; };
    const std::vector<Include> includes = {
        {"mid/C.cpp", 1, "low/A.h"}, // down: fine
        {"low/B.cpp", 1, "B.h"},     // beside itself: fine
        {"low/A.cpp", 7, "mid/C.h"}, // up: refused
        {"mid/C.cpp", 2, "top/D.h"}, // up: refused
        {"top/D.cpp", 1, "QWidget"}, // not a file of ours
    };
    const auto problems = forbiddenIncludes(table, includes, exists);
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_NE(problems[0].find("low/A.cpp:7: low/ may not include \"mid/C.h\""), std::string::npos) << problems[0];
    EXPECT_NE(problems[1].find("top/D.h"), std::string::npos) << problems[1];

    const Table upward = parseLevelTable("## Levels\n| 0 | `a/` | x | `b/` |\n| 1 | `b/` | y | – |\n");
    ASSERT_EQ(upward.problems.size(), 1u);
    EXPECT_NE(upward.problems[0].find("a/ (level 0) uses b/"), std::string::npos);
}

} // namespace
