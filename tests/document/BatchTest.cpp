#include "DocumentFixtures.h"

#include "app/BatchMain.h"
#include "document/Batch.h"
#include "resources/Messages.h"

#include <gtest/gtest.h>

#include <sstream>

namespace knetix {
namespace {

using test::TempFolder;

std::optional<BatchFailure> runScript(BatchRunner& runner, const std::string& script)
{
    std::istringstream in(script);
    return runner.run(in);
}

struct BatchTest : ::testing::Test {
    TempFolder folder{test::currentTestName()};
    std::string picture;
    void SetUp() override
    {
        picture = test::writeGridPicture(folder, "grid.bmp", 200, 150);
        ASSERT_FALSE(picture.empty());
    }
};

// A stroke written as a script gives exactly the field and picture that the
// same calls on the document give.
TEST_F(BatchTest, EveryToolMatchesTheDocumentDrivenDirectly)
{
    const char* sizes[] = {"small", "medium", "large"};
    const int32_t divisors[] = {kDivisorSmall, kDivisorMedium, kDivisorLarge};
    int size = 0;
    for (ToolKind kind : kToolKindsByNameOrder) {
        const int s = size++ % 3;
        // Undo and Smooth need something to act on: a whirl first.
        const std::string script = "canvas 300 240\nopen " + picture +
                                   "\ntool whirl large\npress 150 120\ntick 8\nrelease\n"
                                   "tool " + std::string(toolName(kind)) + " " + sizes[s] +
                                   "\npower 50\npress 140 110\nmove 146 114\ntick 3\nmove 152 118\ntick 2\nrelease\n";
        BatchRunner runner;
        const auto failure = runScript(runner, script);
        ASSERT_FALSE(failure) << batchMessage(*failure);

        Document direct(300, 240);
        ASSERT_TRUE(direct.openPicture(picture));
        direct.selectSize(kDivisorLarge);
        direct.selectTool(ToolKind::Whirl);
        direct.press(150, 120);
        for (int i = 0; i < 8; ++i)
            direct.tick();
        direct.release();
        direct.selectSize(divisors[s]);
        direct.selectTool(kind);
        direct.setPower(50);
        direct.press(140, 110);
        direct.move(146, 114);
        for (int i = 0; i < 3; ++i)
            direct.tick();
        direct.move(152, 118);
        direct.tick();
        direct.tick();
        direct.release();

        Document& scripted = *runner.document();
        EXPECT_EQ(test::activeField(scripted), test::activeField(direct)) << toolName(kind);
        EXPECT_EQ(scripted.picture().pictureBlock(), direct.picture().pictureBlock()) << toolName(kind);
        EXPECT_EQ(scripted.toolBitmapId(), direct.toolBitmapId());
    }
}

TEST_F(BatchTest, KeysScrollingAndProjects)
{
    const std::string script = "open " + picture +
                               "  # comment after a path\n"
                               "# a whole-line comment\n\n"
                               "key activate 2\nkey copy 0\nkey to-filmstrip 1\nkey right 0\n"
                               "key delete 3\nscroll forward\nscroll forward\n"
                               "save-project " + (folder / "p.knx") + "\n";
    BatchRunner runner;
    const auto failure = runScript(runner, script);
    ASSERT_FALSE(failure) << failure->line << ": " << batchMessage(*failure);
    Document& doc = *runner.document();
    EXPECT_EQ(doc.keys().count(), 3);
    EXPECT_EQ(doc.keys().activeKey(), 2);
    EXPECT_EQ(doc.keys().firstVisible(), 2);

    BatchRunner reader;
    ASSERT_FALSE(runScript(reader, "open-project " + (folder / "p.knx") + "\nsave-project " + (folder / "q.knx")));
    EXPECT_EQ(test::readBytes(folder / "p.knx"), test::readBytes(folder / "q.knx"));
}

// A picture opened by a relative path is found again from a project saved in
// another folder, and through it at its own size.
TEST_F(BatchTest, ARelativePictureIsFoundFromAProjectElsewhere)
{
    std::filesystem::create_directory(folder.path() / "sub");
    std::filesystem::current_path(folder.path());
    BatchRunner runner;
    const auto failure = runScript(runner, "open grid.bmp\nsave-project sub/p.knx\n"
                                           "open-project sub/p.knx\nsave-picture own.bmp own\n");
    ASSERT_FALSE(failure) << failure->line << ": " << batchMessage(*failure);
    EXPECT_EQ(runner.document()->picture().picturePath(), picture);
    const auto project = test::readBytes(folder / "sub/p.knx");
    const std::string stored(project.begin() + 1, project.begin() + 1 + project[0]);
    EXPECT_EQ(stored, picture); // not below the project's folder: stored whole
}

TEST_F(BatchTest, ALineThatCannotBeCarriedOutStopsTheScript)
{
    struct Case {
        std::string script;
        int line;
        BatchProblem problem;
        std::string message;
    };
    using enum BatchProblem;
    const std::string open = "open " + picture + "\n";
    const std::vector<Case> cases = {
        {"frobnicate\n", 1, UnknownCommand, "Unbekannter Befehl \"frobnicate\"."},
        {open + "canvas 300 300\n", 2, CanvasNotFirst, "\"canvas\" ist nur als erster Befehl erlaubt."},
        {"canvas 2 300\n", 1, NumberOutOfRange, "Die Zahl 2 liegt nicht zwischen 4 und 8192."},
        {open + "power 6x\n", 2, BadNumber, "Ungültige Zahl \"6x\"."},
        {open + "power 65\n", 2, NumberOutOfRange, "Die Zahl 65 liegt nicht zwischen 0 und 64."},
        {open + "press 10\n", 2, Usage, "Aufruf: press X Y"},
        {open + "move 10\n", 2, Usage, "Aufruf: move X Y"},
        {open + "tick 0\n", 2, NumberOutOfRange, "Die Zahl 0 liegt nicht zwischen 1 und 1000000."},
        {open + "tool hammer small\n", 2, UnknownTool, "Unbekanntes Werkzeug \"hammer\"."},
        {open + "tool zoom huge\n", 2, UnknownSize, "Unbekannte Größe \"huge\"."},
        {open + "key delete 0\n", 2, KeyCommandNotOffered, "Das Menü von Schlüssel 0 bietet \"delete\" nicht an."},
        {open + "key activate 1\n", 2, KeyCommandNotOffered, "Das Menü von Schlüssel 1 bietet \"activate\" nicht an."},
        {open + "key activate 3\n", 2, NoKeyMenu, "Auf Schlüssel 3 öffnet sich kein Menü."},
        {open + "key jump 0\n", 2, UnknownKeyCommand, "Unbekannter Schlüsselbefehl \"jump\"."},
        {open + "scroll sideways\n", 2, Usage, "Aufruf: scroll forward|back"},
        {"open " + (folder / "missing.bmp") + "\n", 1, DocumentFailed,
         folder / "missing.bmp" + " wurde nicht gefunden."},
        {"open-project " + (folder / "missing.knx") + "\n", 1, DocumentFailed,
         folder / "missing.knx" + " wurde nicht gefunden."},
        {"open-project " + picture + "\n", 1, DocumentFailed, picture + " besitzt ein falsches Format."},
        {"save-picture " + (folder / "x.bmp") + "\n", 1, DocumentFailed,
         "Bitte laden Sie ein Bild, um mit Knetix arbeiten zu können."},
        {open + "save-project " + (folder / "none/x.knx") + "\n", 2, DocumentFailed,
         "Ein Teil des Pfades von " + (folder / "none/x.knx") + " ist ungültig."},
    };
    for (const Case& c : cases) {
        BatchRunner runner;
        const auto failure = runScript(runner, c.script + "save-project " + (folder / "never.knx") + "\n");
        ASSERT_TRUE(failure) << c.script;
        EXPECT_EQ(failure->line, c.line) << c.script;
        EXPECT_EQ(failure->problem, c.problem) << c.script;
        EXPECT_EQ(batchMessage(*failure), c.message) << c.script;
    }
    EXPECT_FALSE(std::filesystem::exists(folder / "never.knx")); // nothing after the failing line ran
}

TEST_F(BatchTest, ScriptFilesReportLineAndExitStatus)
{
    const std::string good = folder / "good.knxs";
    test::writeBytes(good, {});
    std::ostringstream err;
    EXPECT_EQ(runBatchFile(good, err), 0);
    EXPECT_EQ(err.str(), "");

    const std::string bad = folder / "bad.knxs";
    const std::string text = "# demo\nopen " + picture + "\nspeed 80\n";
    test::writeBytes(bad, std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_EQ(runBatchFile(bad, err), 1);
    EXPECT_EQ(err.str(), "knetix: " + bad + ", Zeile 3: Die Zahl 80 liegt nicht zwischen 0 und 64.\n");

    std::ostringstream missing;
    EXPECT_EQ(runBatchFile(folder / "none.knxs", missing), 1);
    EXPECT_NE(missing.str().find("kann nicht geöffnet werden"), std::string::npos);
}

} // namespace
} // namespace knetix
