#include "DocumentFixtures.h"

#include "document/ProjectFile.h"
#include "tests/common/Capture.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

namespace knetix {
namespace {

using test::gridPicture;
using test::readBytes;
using test::TempFolder;
using test::writeBytes;

int32_t int32At(const std::vector<uint8_t>& b, size_t at)
{
    int32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;
}
uint16_t wordAt(const std::vector<uint8_t>& b, size_t at)
{
    return uint16_t(b[at] | b[at + 1] << 8);
}
void putInt32(std::vector<uint8_t>& b, size_t at, int32_t v)
{
    std::memcpy(b.data() + at, &v, 4);
}
void putWord(std::vector<uint8_t>& b, size_t at, uint16_t v)
{
    b[at] = uint8_t(v);
    b[at + 1] = uint8_t(v >> 8);
}

// Where the records of a project with a picture, two or more keys with 32-bit
// thumbnails, no blend field and a tool lie, worked out from the document.
struct Layout {
    size_t rect, radius, patchCount, blockLength, block, source, stride, canvasEnd;
    std::vector<size_t> keyTag, keyRecord;
    size_t keyRecordSize;
    size_t thumbnailWidth, stripWidth, pictureWidth, cellCount, firstVisible, activeKey, menuKey, phase,
        currentKey, nextKey, blendPresent, tool, toolBitmapId, end;

    Layout(const Document& d, size_t storedPathLength)
    {
        rect = 1 + storedPathLength;
        radius = rect + 16;
        patchCount = radius + 4;
        blockLength = patchCount + 4 + 8 * size_t(d.strokePatch().count());
        const size_t L = d.picture().pictureBlock().size();
        block = blockLength + 4;
        source = block + L;
        stride = source + L - 40;
        canvasEnd = stride + 4;
        const Size thumb = d.keys().thumbnail();
        keyRecordSize = 4 + 8 * size_t(d.keys().cellCount()) + 4 + 24 + 4 * size_t(thumb.width * thumb.height);
        size_t at = canvasEnd + 2;
        for (int32_t i = 0; i < d.keys().count(); ++i) {
            keyTag.push_back(at);
            at += i == 0 ? 12 : 2;
            keyRecord.push_back(at);
            at += keyRecordSize;
        }
        thumbnailWidth = at;
        stripWidth = at + 8;
        pictureWidth = at + 16;
        cellCount = at + 24;
        firstVisible = at + 28;
        activeKey = at + 32;
        menuKey = at + 36;
        phase = at + 40;
        currentKey = at + 44;
        nextKey = at + 48;
        blendPresent = at + 56;
        tool = at + 60;
        toolBitmapId = tool + 2 + 2 + 2 + std::strlen(d.tool()->className()) + 52;
        end = toolBitmapId + 4;
    }
};

struct ProjectFileTest : ::testing::Test {
    TempFolder folder{test::currentTestName()};
    Document doc{60, 60};
    std::string picturePath;

    void SetUp() override
    {
        picturePath = folder / "grid.bmp";
        ASSERT_TRUE(doc.loadPicture(picturePath, *gridPicture(60, 40)));
        doc.selectTool(ToolKind::Whirl);
        doc.press(30, 30);
        doc.move(33, 31);
        doc.tick();
        doc.release();
        ASSERT_TRUE(doc.openKeyMenu(2));
        ASSERT_TRUE(doc.runKeyCommand(KeyCommand::Activate));
        doc.selectTool(ToolKind::Move);
        doc.press(20, 25);
        doc.move(25, 27);
        doc.release();
        doc.selectTool(ToolKind::Move); // a fresh tool, as reading makes one
    }

    std::vector<uint8_t> saved(Document& d, const std::string& name)
    {
        const std::string path = folder / name;
        EXPECT_TRUE(d.saveProject(path)) << name;
        return readBytes(path);
    }
};

TEST_F(ProjectFileTest, LayoutOfTheRecords)
{
    const auto bytes = saved(doc, "a.knx");
    const Layout at(doc, std::strlen("grid.bmp"));
    ASSERT_EQ(bytes.size(), at.end);

    EXPECT_EQ(bytes[0], 8); // picture path stored relative to the project's folder
    EXPECT_EQ(std::string(bytes.begin() + 1, bytes.begin() + 9), "grid.bmp");
    EXPECT_EQ(int32At(bytes, at.rect + 4), 10); // 60 x 40 centred in 60 x 60
    EXPECT_EQ(int32At(bytes, at.radius), 40 / 8);
    EXPECT_EQ(int32At(bytes, at.patchCount), 11 * 11);
    EXPECT_EQ(int32At(bytes, at.blockLength), 40 + 180 * 40);
    EXPECT_EQ(int32At(bytes, at.stride), 180);

    EXPECT_EQ(wordAt(bytes, at.canvasEnd), 3); // key count
    EXPECT_EQ(wordAt(bytes, at.keyTag[0]), 0xFFFF);
    EXPECT_EQ(wordAt(bytes, at.keyTag[0] + 2), 1); // schema
    EXPECT_EQ(wordAt(bytes, at.keyTag[0] + 4), 6);
    EXPECT_EQ(std::string(bytes.begin() + long(at.keyTag[0]) + 6, bytes.begin() + long(at.keyTag[0]) + 12), "CMMask");
    EXPECT_EQ(int32At(bytes, at.keyRecord[0]), 2400);
    EXPECT_EQ(wordAt(bytes, at.keyTag[1]), 0x8001);
    EXPECT_EQ(wordAt(bytes, at.keyTag[2]), 0x8001);

    EXPECT_EQ(int32At(bytes, at.stripWidth), 222);
    EXPECT_EQ(int32At(bytes, at.stripWidth + 4), 62);
    EXPECT_EQ(int32At(bytes, at.cellCount), 2400);
    EXPECT_EQ(int32At(bytes, at.activeKey), 2);
    EXPECT_EQ(int32At(bytes, at.blendPresent), 0);
    EXPECT_EQ(wordAt(bytes, at.tool), 0xFFFF);
    EXPECT_EQ(std::string(bytes.begin() + long(at.tool) + 6, bytes.begin() + long(at.tool) + 17), "CMTool_Move");
    EXPECT_EQ(int32At(bytes, at.toolBitmapId), 162);
}

TEST(ProjectFileToolIds, KindAndSizeInOneNumber)
{
    EXPECT_EQ(set_tool_from_id(173), (ToolSelection{"whirl", 16}));
    EXPECT_EQ(set_tool_from_id(174), (ToolSelection{"whirl", 8}));
    EXPECT_EQ(set_tool_from_id(175), (ToolSelection{"whirl", 4}));
    EXPECT_EQ(set_tool_from_id(152), (ToolSelection{"zoomin", 16}));
    EXPECT_EQ(set_tool_from_id(163), (ToolSelection{"move", 4}));
    for (int32_t id : {164, 171, 172, 151, 176, 0, -1})
        EXPECT_EQ(set_tool_from_id(id), std::nullopt) << id;

    EXPECT_EQ(toolBitmapId(ToolKind::Undo, 16), 165);
    EXPECT_EQ(toolBitmapId(ToolKind::Undo, 8), 166);
    EXPECT_EQ(toolBitmapId(ToolKind::Undo, 4), 167);
    EXPECT_EQ(toolBitmapId(ToolKind::Undo, 5), 167); // any other divisor counts as Large

    for (ToolKind kind : kToolKindsByNameOrder)
        for (int32_t divisor : {16, 8, 4}) {
            const auto selection = set_tool_from_id(toolBitmapId(kind, divisor));
            ASSERT_TRUE(selection);
            EXPECT_EQ(toolKindFromName(selection->name), kind);
            EXPECT_EQ(selection->divisor, divisor);
        }
}

TEST(ProjectFileEmpty, NoPictureNoKeysNoTool)
{
    TempFolder folder{test::currentTestName()};
    Document empty;
    ASSERT_TRUE(empty.saveProject(folder / "empty.knx"));
    const auto bytes = readBytes(folder / "empty.knx");
    ASSERT_EQ(bytes.size(), 1u + 16 + 4 + 4 + 4 + 2 + 56 + 4 + 2 + 4);
    EXPECT_EQ(int32At(bytes, 25), 0); // L = 0 ends the canvas record
    EXPECT_EQ(wordAt(bytes, 29), 0);  // the filmstrip follows at once: no keys
    EXPECT_EQ(int32At(bytes, 39), 222);
    EXPECT_EQ(wordAt(bytes, bytes.size() - 6), 0); // no tool
    EXPECT_EQ(int32At(bytes, bytes.size() - 4), 0);

    Document other;
    ASSERT_TRUE(other.loadPicture("x.bmp", *gridPicture(40, 40)));
    const Outcome opened = other.openProject(folder / "empty.knx");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened.status.problem, DocumentProblem::None); // no tool, no complaint about its id
    EXPECT_FALSE(other.picture().hasPicture());
    EXPECT_EQ(other.keys().count(), 0);
}

TEST(ProjectFilePaths, RelativeInsideTheFolderAbsoluteOtherwise)
{
    EXPECT_EQ(storedPicturePath("/work/pics/a.bmp", "/work/"), "pics/a.bmp");
    EXPECT_EQ(storedPicturePath("/other/a.bmp", "/work/"), "/other/a.bmp");
    EXPECT_EQ(storedPicturePath("/Work/a.bmp", "/work/"), "/Work/a.bmp"); // case-sensitive
    EXPECT_EQ(resolvedPicturePath("pics/a.bmp", "/work/"), "/work/pics/a.bmp");
    EXPECT_EQ(resolvedPicturePath("pics\\a.bmp", "/work/"), "/work/pics/a.bmp");
    EXPECT_EQ(resolvedPicturePath("/other/a.bmp", "/work/"), "/other/a.bmp");
    EXPECT_EQ(resolvedPicturePath("D:\\work\\a.bmp", "/work/"), "D:/work/a.bmp");
    EXPECT_EQ(resolvedPicturePath("\\\\server\\a.bmp", "/work/"), "//server/a.bmp");
    EXPECT_EQ(projectFolder("/work/sub/../p.knx"), "/work/");
}

TEST_F(ProjectFileTest, PicturePathOutsideTheFolderIsStoredWhole)
{
    Document d{60, 60};
    ASSERT_TRUE(d.loadPicture("/elsewhere/pic.bmp", *gridPicture(50, 50)));
    const auto bytes = saved(d, "b.knx");
    ASSERT_EQ(bytes[0], std::strlen("/elsewhere/pic.bmp"));
    Document reopened{60, 60};
    ASSERT_TRUE(reopened.openProject(folder / "b.knx"));
    EXPECT_EQ(reopened.picture().picturePath(), "/elsewhere/pic.bmp");
    EXPECT_TRUE(doc.openProject(folder / "b.knx"));
}

TEST_F(ProjectFileTest, SaveOpenSaveGivesIdenticalBytes)
{
    const auto first = saved(doc, "first.knx");
    Document reopened{60, 60};
    const Outcome opened = reopened.openProject(folder / "first.knx");
    ASSERT_TRUE(opened) << messageText(opened);
    EXPECT_EQ(reopened.picture().picturePath(), picturePath);
    EXPECT_EQ(reopened.picture().pictureBlock(), doc.picture().pictureBlock());
    EXPECT_EQ(reopened.keys().activeKey(), 2);
    EXPECT_EQ(reopened.picture().field(), reopened.keys().activeCells());
    EXPECT_EQ(test::activeField(reopened), test::activeField(doc));
    EXPECT_EQ(reopened.tool()->className(), std::string("CMTool_Move"));
    EXPECT_FALSE(reopened.modified());
    EXPECT_EQ(saved(reopened, "second.knx"), first);
}

TEST_F(ProjectFileTest, ReadingReplacesTheStoredToolByAFreshOne)
{
    doc.setPower(20);
    doc.press(30, 30);
    doc.move(35, 35);
    doc.release();
    const auto first = saved(doc, "first.knx");
    Document reopened{60, 60};
    ASSERT_TRUE(reopened.openProject(folder / "first.knx"));
    EXPECT_EQ(reopened.tool()->value(), 64);
    EXPECT_EQ(reopened.power(), 64);
    EXPECT_EQ(reopened.toolName(), "move");
    EXPECT_EQ(reopened.toolDivisor(), 8);
    const auto second = saved(reopened, "second.knx");
    // Only the tool's record differs; after that, the file is a fixed point.
    const Layout at(doc, std::strlen("grid.bmp"));
    EXPECT_TRUE(std::equal(first.begin(), first.begin() + long(at.tool), second.begin()));
    Document again{60, 60};
    ASSERT_TRUE(again.openProject(folder / "second.knx"));
    EXPECT_EQ(saved(again, "third.knx"), second);
}

TEST_F(ProjectFileTest, AnUnknownToolBitmapIdKeepsNameAndSize)
{
    auto bytes = saved(doc, "a.knx");
    const Layout at(doc, std::strlen("grid.bmp"));
    putInt32(bytes, at.toolBitmapId, 164);
    writeBytes(folder / "a.knx", bytes);
    Document other{60, 60};
    other.setToolSettings("smooth", kDivisorLarge);
    const Outcome opened = other.openProject(folder / "a.knx");
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened.status.problem, DocumentProblem::WrongToolBitmapId);
    EXPECT_EQ(other.tool()->className(), std::string("CMTool_Smooth"));
    EXPECT_EQ(other.tool()->radius(), 40 / 4);
}

// Every damaged file is refused with its message, and the open work stays as it was.
TEST_F(ProjectFileTest, DamagedFilesAreRefusedAndChangeNothing)
{
    const auto good = saved(doc, "good.knx");
    const Layout at(doc, std::strlen("grid.bmp"));
    const std::string path = folder / "bad.knx";
    const DocumentStatus endOfData = DocumentStatus::archive(ArchiveError::EndOfData, path);
    const DocumentStatus badFormat = DocumentStatus::archive(ArchiveError::BadIndex, path);
    const DocumentStatus unexpected = DocumentStatus::archive(ArchiveError::UnexpectedObject, path);
    const DocumentStatus badSchema = DocumentStatus::archive(ArchiveError::BadSchema, path);

    Document victim{60, 60};
    ASSERT_TRUE(victim.loadPicture("victim.bmp", *gridPicture(30, 60)));
    victim.selectTool(ToolKind::ZoomOut);
    victim.press(30, 30);
    victim.move(31, 31);
    victim.release();
    const auto before = saved(victim, "victim.knx");
    ASSERT_TRUE(victim.modified() == false);
    victim.setModified(true);

    auto expectRefused = [&](const std::vector<uint8_t>& bytes, const DocumentStatus& status, const std::string& what) {
        writeBytes(path, bytes);
        const Outcome o = victim.openProject(path);
        EXPECT_FALSE(o) << what;
        EXPECT_EQ(o.status, status) << what;
        EXPECT_TRUE(victim.modified()) << what;
    };

    // Truncation at every record boundary, inside every block, and all along.
    std::vector<size_t> cuts = {0, 1, at.rect, at.radius, at.patchCount, at.blockLength, at.block,
                                at.block + 39, at.source, at.source + 100, at.stride, at.canvasEnd,
                                at.canvasEnd + 1, at.keyTag[0] + 5, at.keyRecord[0], at.keyRecord[0] + 4,
                                at.keyRecord[1] + at.keyRecordSize - 1, at.thumbnailWidth, at.blendPresent,
                                at.tool, at.tool + 20, at.toolBitmapId, at.end - 1};
    for (size_t cut = 2; cut < at.end; cut += 97)
        cuts.push_back(cut);
    for (size_t cut : cuts)
        expectRefused(std::vector<uint8_t>(good.begin(), good.begin() + long(cut)), endOfData,
                      "cut at " + std::to_string(cut));

    struct Change {
        const char* what;
        std::function<void(std::vector<uint8_t>&)> apply;
        DocumentStatus status;
    };
    const std::vector<Change> changes = {
        {"schema 2", [&](auto& b) { putWord(b, at.keyTag[0] + 2, 2); }, badSchema},
        {"unknown class", [&](auto& b) { b[at.keyTag[0] + 6] = 'X'; }, unexpected},
        {"tool class as a key", [&](auto& b) { putWord(b, at.keyTag[1], 0x8000 + 9); }, badFormat},
        {"mask named twice", [&](auto& b) { putWord(b, at.keyTag[1], 0x0002); }, badFormat},
        {"unknown index", [&](auto& b) { putWord(b, at.keyTag[1], 0x8005); }, badFormat},
        {"mask as the tool", [&](auto& b) { putWord(b, at.tool, 0x8001); }, unexpected},
        {"key count too high", [&](auto& b) { putWord(b, at.canvasEnd, 4); }, badFormat},
        {"key count far too high", [&](auto& b) { putWord(b, at.canvasEnd, 0xFFFE); }, endOfData},
        {"cell count of a key", [&](auto& b) { putInt32(b, at.keyRecord[1], 2399); }, badFormat},
        {"negative cell count", [&](auto& b) { putInt32(b, at.keyRecord[1], -8); }, badFormat},
        {"huge cell count", [&](auto& b) { putInt32(b, at.keyRecord[0], 0x7FFFFFFF); }, endOfData},
        {"cell count of the strip", [&](auto& b) { putInt32(b, at.cellCount, 2401); }, badFormat},
        {"picture width", [&](auto& b) { putInt32(b, at.pictureWidth, 61); }, badFormat},
        {"strip height 0", [&](auto& b) { putInt32(b, at.stripWidth + 4, 0); }, badFormat},
        {"active key = count", [&](auto& b) { putInt32(b, at.activeKey, 3); }, badFormat},
        {"active key negative", [&](auto& b) { putInt32(b, at.activeKey, -1); }, badFormat},
        {"thumbnail size", [&](auto& b) { putInt32(b, at.thumbnailWidth, 1000); }, badFormat},
        {"thumbnail bits per pixel", [&](auto& b) { putWord(b, at.keyRecord[0] + 4 + 8 * 2400 + 4 + 18, 7); }, badFormat},
        {"thumbnail rows", [&](auto& b) { putInt32(b, at.keyRecord[0] + 4 + 8 * 2400 + 4 + 8, 100000); }, endOfData},
        {"blend announced, tool follows", [&](auto& b) { putInt32(b, at.blendPresent, 1); }, unexpected},
        {"blend announced, null",
         [&](auto& b) {
             putInt32(b, at.blendPresent, 1);
             b.insert(b.begin() + long(at.tool), {0, 0});
         },
         badFormat},
        {"stroke patch count", [&](auto& b) { putInt32(b, at.patchCount, 120); }, badFormat},
        {"tool radius", [&](auto& b) { putInt32(b, at.radius, -1); }, badFormat},
        {"block length", [&](auto& b) { putInt32(b, at.blockLength, 40 + 180 * 39); }, badFormat},
        {"block length huge", [&](auto& b) { putInt32(b, at.blockLength, 0x7FFFFFF0); }, endOfData},
        {"stride", [&](auto& b) { putInt32(b, at.stride, 184); }, badFormat},
        {"header height", [&](auto& b) { putInt32(b, at.block + 8, -40); }, badFormat},
        {"rectangle", [&](auto& b) { putInt32(b, at.rect + 8, 61); }, badFormat},
        {"tool strength", [&](auto& b) { putInt32(b, at.tool + 17, 65); }, badFormat},
    };
    for (const Change& change : changes) {
        auto bytes = good;
        change.apply(bytes);
        expectRefused(bytes, change.status, change.what);
    }

    EXPECT_FALSE(victim.openProject(folder / "missing.knx"));
    EXPECT_EQ(victim.openProject(folder / "missing.knx").status,
              DocumentStatus::fileError(ENOENT, folder / "missing.knx", false));

    victim.setModified(false);
    EXPECT_EQ(saved(victim, "victim-after.knx"), before);
}

// First visible, menu key and the playback position hold whatever a writer
// had in memory; out of range they are settled on reading, in range they stay.
TEST_F(ProjectFileTest, StrayFilmstripFieldsAreSettledNotRefused)
{
    const auto good = saved(doc, "good.knx");
    const Layout at(doc, std::strlen("grid.bmp"));
    ASSERT_EQ(doc.keys().count(), 3);
    const std::string path = folder / "stray.knx";

    auto stray = good;
    putInt32(stray, at.firstVisible, 12345);
    putInt32(stray, at.menuKey, 77);
    putInt32(stray, at.phase, 999);
    putInt32(stray, at.currentKey, -5);
    putInt32(stray, at.nextKey, INT32_MAX);
    putInt32(stray, at.nextKey + 4, -777); // the play parameter is never checked
    writeBytes(path, stray);
    Document reader{60, 60};
    ASSERT_TRUE(reader.openProject(path));
    EXPECT_EQ(reader.keys().activeKey(), 2);
    const auto settled = saved(reader, "settled.knx");
    ASSERT_EQ(settled.size(), good.size());
    EXPECT_EQ(int32At(settled, at.firstVisible), 2); // into the list: its last key
    EXPECT_EQ(int32At(settled, at.menuKey), 0);
    EXPECT_EQ(int32At(settled, at.phase), 0);
    EXPECT_EQ(int32At(settled, at.currentKey), 0);
    EXPECT_EQ(int32At(settled, at.nextKey), 1);
    EXPECT_EQ(int32At(settled, at.nextKey + 4), -777);
    // Apart from the settled fields the file is saved as it was read.
    auto expected = stray;
    std::copy(settled.begin() + long(at.firstVisible), settled.begin() + long(at.nextKey + 4),
              expected.begin() + long(at.firstVisible));
    EXPECT_EQ(settled, expected);

    // The edge of each range is kept: the menu on the empty cell, phase 64,
    // the last key as current, first visible on the last key, and a negative
    // first visible goes to 0.
    auto edges = good;
    putInt32(edges, at.firstVisible, 2);
    putInt32(edges, at.menuKey, 3);
    putInt32(edges, at.phase, 64);
    putInt32(edges, at.currentKey, 2);
    putInt32(edges, at.nextKey, 0);
    writeBytes(path, edges);
    ASSERT_TRUE(reader.openProject(path));
    EXPECT_EQ(saved(reader, "edges.knx"), edges);
    putInt32(edges, at.firstVisible, -3);
    putInt32(edges, at.phase, -1);
    writeBytes(path, edges);
    ASSERT_TRUE(reader.openProject(path));
    const auto low = saved(reader, "low.knx");
    EXPECT_EQ(int32At(low, at.firstVisible), 0);
    EXPECT_EQ(int32At(low, at.phase), 0);
}

// Keys appended through the empty cell leave the menu key past the two keys a
// new picture brings; the project saved then must open again.
TEST_F(ProjectFileTest, AProjectSavedAfterANewPictureOpensAgain)
{
    ASSERT_TRUE(doc.openKeyMenu(3));
    ASSERT_TRUE(doc.runKeyCommand(KeyCommand::Activate));
    ASSERT_TRUE(doc.scrollForward());
    ASSERT_TRUE(doc.scrollForward());
    ASSERT_TRUE(doc.scrollForward());
    ASSERT_EQ(doc.keys().firstVisible(), 3);
    ASSERT_TRUE(doc.loadPicture(picturePath, *gridPicture(60, 40)));
    EXPECT_EQ(doc.keys().count(), 2);
    EXPECT_EQ(doc.keys().menuKey(), 0);
    EXPECT_EQ(doc.keys().firstVisible(), 1);
    const auto first = saved(doc, "after-open.knx");
    Document reader{60, 60};
    ASSERT_TRUE(reader.openProject(folder / "after-open.knx"));
    EXPECT_EQ(saved(reader, "again.knx"), first);
}

// Nothing but the rows and the geometry is needed to save a 24-bit picture:
// a header whose image size and colour count say otherwise still saves.
TEST_F(ProjectFileTest, PictureHeaderFieldsThatA24BitPictureIgnores)
{
    auto bytes = saved(doc, "good.knx");
    const Layout at(doc, std::strlen("grid.bmp"));
    putInt32(bytes, at.block + 20, 12345);    // image size
    putInt32(bytes, at.block + 32, 0x130000); // colours used
    writeBytes(folder / "header.knx", bytes);
    Document reader{60, 60};
    ASSERT_TRUE(reader.openProject(folder / "header.knx"));
    EXPECT_EQ(saved(reader, "header-again.knx"), bytes);
    ASSERT_TRUE(reader.savePicture(folder / "shown.bmp"));
    EXPECT_EQ(test::capture("gm identify -format '%w %h' '" + folder / "shown.bmp" + "'"), "60 40\n");
    MovieSettings raw;
    raw.codec = "raw";
    EXPECT_TRUE(reader.exportMovie(folder / "shown.avi", raw, 64, OutputSize::Screen));
}

// A radius-0 tool (Small on a picture under 16 pixels high) visits no point:
// the canvas never makes a patch for it, and the project says so.
TEST(ProjectFileRadiusZero, NoStrokePatchIsMade)
{
    TempFolder folder{test::currentTestName()};
    Document doc{60, 60};
    ASSERT_TRUE(doc.loadPicture(folder / "flat.bmp", *gridPicture(120, 20)));
    ASSERT_EQ(doc.picture().height(), 10);
    doc.selectSize(kDivisorSmall);
    doc.selectTool(ToolKind::Whirl);
    ASSERT_EQ(doc.tool()->radius(), 0);
    const std::vector<OffsetCell> before(doc.keys().activeCells(), doc.keys().activeCells() + doc.keys().cellCount());
    doc.press(30, 30);
    doc.move(31, 30);
    doc.tick();
    doc.release();
    EXPECT_EQ(doc.strokePatch().count(), 0);
    EXPECT_EQ(std::vector<OffsetCell>(doc.keys().activeCells(), doc.keys().activeCells() + doc.keys().cellCount()), before);
    ASSERT_TRUE(doc.saveProject(folder / "flat.knx"));
    const auto bytes = readBytes(folder / "flat.knx");
    const size_t radius = 1 + std::strlen("flat.bmp") + 16;
    EXPECT_EQ(int32At(bytes, radius), 0);
    EXPECT_EQ(int32At(bytes, radius + 4), 0); // patch count, and no cells follow
    EXPECT_EQ(int32At(bytes, radius + 8), int32_t(doc.picture().pictureBlock().size()));
}

TEST_F(ProjectFileTest, AFailedSaveKeepsTheOldFile)
{
    const auto first = saved(doc, "keep.knx");
    const Outcome o = doc.saveProject(folder / "no-such-folder/x.knx");
    EXPECT_FALSE(o);
    EXPECT_EQ(o.status, DocumentStatus::fileError(ENOENT, folder / "no-such-folder/x.knx", true));
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_EQ(entry.path().filename(), "keep.knx"); // no temporary file left behind
    // Saving over a file that cannot be replaced leaves it whole.
    std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    doc.setModified(true);
    const Outcome denied = doc.saveProject(folder / "keep.knx");
    std::filesystem::permissions(folder.path(), std::filesystem::perms::owner_all);
    if (::geteuid() != 0) { // root may write anyway
        EXPECT_FALSE(denied);
        EXPECT_TRUE(doc.modified());
    }
    EXPECT_EQ(readBytes(folder / "keep.knx"), first);
}

} // namespace
} // namespace knetix
