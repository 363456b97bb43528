#include <gtest/gtest.h>

#include "common/Paths.h"
#include "common/engine/Error.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/ui/QtTestApp.h"
#include "ui/FileFilter.h"
#include "ui/clsCommonDialog.h"

using testsupport::ScopedScriptedDialogs;
using ui::clsCommonDialog;

namespace {
using namespace std::string_literals;

// Throws, or returns what the call returned; fails when it did neither as expected.
template <typename F>
core::Error CaughtError(F&& call)
{
    try {
        call();
    } catch (const core::Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return core::Error(0, "");
}
}  // namespace

TEST(FileFilter, BufferSeparatesItemsWithSingleNulsAndEndsWithTwo)
{
    EXPECT_EQ(ui::FilterBuffer("Access (*.mdb)|*.mdb"), "Access (*.mdb)\0*.mdb\0\0"s);
    EXPECT_EQ(ui::FilterBuffer(""), "\0\0"s);
    EXPECT_EQ(ui::FilterBuffer("A|*.a|B|*.b|"), "A\0*.a\0B\0*.b\0\0\0"s);
}

TEST(FileFilter, ParsedIntoDescriptionAndPatternPairs)
{
    EXPECT_TRUE(ui::ParseFilter("").empty());
    const ui::FilterList list = ui::ParseFilter("Access (*.mdb)|*.mdb|Testo (*.txt)|*.txt;*.csv|");
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0], (std::pair<std::string, std::string>{"Access (*.mdb)", "*.mdb"}));
    EXPECT_EQ(list[1], (std::pair<std::string, std::string>{"Testo (*.txt)", "*.txt;*.csv"}));
}

TEST(FileFilter, ListEndsAtTheFirstEmptyItemOrAMissingPattern)
{
    // An empty description closes the list, as a double NUL does.
    EXPECT_EQ(ui::ParseFilter("A|*.a||*.b|C|*.c").size(), 1u);
    // A description without its pattern is not offered.
    EXPECT_EQ(ui::ParseFilter("A|*.a|B").size(), 1u);
    EXPECT_EQ(ui::ParseFilter("A|*.a|B|").size(), 1u);
    EXPECT_TRUE(ui::ParseFilter("|*.a").empty());
}

TEST(FileFilter, FileTitleIsThePartAfterTheLastSeparatorOfEitherKind)
{
    EXPECT_EQ(core::FileTitleOf("/dati/vecchio/arch.mdb"), "arch.mdb");
    EXPECT_EQ(core::FileTitleOf("C:\\Prog\\Dati\\arch.mdb"), "arch.mdb");
    EXPECT_EQ(core::FileTitleOf("/dati\\misto/a\\b.db"), "b.db");
    EXPECT_EQ(core::FileTitleOf("solo.db"), "solo.db");
}

TEST(CommonDialog, NewObjectHasTheDefaults)
{
    clsCommonDialog d;
    EXPECT_EQ(d.Parent, nullptr);
    EXPECT_EQ(d.FilterIndex, 0);
    EXPECT_EQ(d.Flags, 0);
    EXPECT_EQ(d.MaxFileSize, 256);
    EXPECT_FALSE(d.CancelError);
    EXPECT_EQ(d.ExtendedError(), 0);
    EXPECT_TRUE(d.FileName.empty());
    EXPECT_TRUE(d.FileTitle().empty());
    EXPECT_EQ(d.Color, 0u);
    EXPECT_EQ(d.FontSize, 0);
    EXPECT_EQ(d.hdc(), 0);
}

TEST(CommonDialog, OpenHandsTheSettingsToTheDialog)
{
    ScopedScriptedDialogs dialogs;
    dialogs->AnswerFile("/dati/arch.mdb", 2);
    clsCommonDialog d;
    d.DialogTitle = "Scegli";
    d.Filter = "Access (*.mdb)|*.mdb|SQLite (*.db)|*.db|";
    d.FilterIndex = 2;
    d.Flags = 6144;
    d.InitDir = "/dati";
    d.DefaultExt = ".mdb";
    d.FileName = "iniziale.mdb";
    ASSERT_TRUE(d.ShowOpen());

    const auto files = dialogs->CallsOf(testsupport::DialogCall::Kind::FileDialog);
    ASSERT_EQ(files.size(), 1u);
    const core::FileDialogRequest& r = files[0].fileRequest;
    EXPECT_EQ(r.kind, core::FileDialogRequest::Kind::Open);
    EXPECT_EQ(r.title, "Scegli");
    ASSERT_EQ(r.filters.size(), 2u);
    EXPECT_EQ(r.filters[1].second, "*.db");
    EXPECT_EQ(r.filterIndex, 2);
    EXPECT_EQ(r.initialDir, "/dati");
    EXPECT_EQ(r.fileName, "iniziale.mdb");
    EXPECT_EQ(r.defaultExt, "mdb");
    EXPECT_TRUE(r.fileMustExist);
    EXPECT_TRUE(r.pathMustExist);
}

TEST(CommonDialog, OnlyTheExistenceFlagsThatAreSetReachTheDialog)
{
    clsCommonDialog d;
    d.Flags = 4096;
    auto r = d.BuildFileRequest(core::FileDialogRequest::Kind::Open);
    EXPECT_TRUE(r.fileMustExist);
    EXPECT_FALSE(r.pathMustExist);
    d.Flags = 2048;
    r = d.BuildFileRequest(core::FileDialogRequest::Kind::Open);
    EXPECT_FALSE(r.fileMustExist);
    EXPECT_TRUE(r.pathMustExist);
    // The initial name is cut to the buffer's room.
    d.MaxFileSize = 5;
    d.FileName = "abcdefgh";
    EXPECT_EQ(d.BuildFileRequest(core::FileDialogRequest::Kind::Open).fileName, "abcd");
}

TEST(CommonDialog, ConfirmedOpenGivesPathTitleAndType)
{
    ScopedScriptedDialogs dialogs;
    dialogs->AnswerFile("/dati/vecchio/Arch4.mdb", 3);
    clsCommonDialog d;
    d.Filter = "A|*.a|B|*.b|C|*.mdb";
    d.Flags = 6144;
    ASSERT_TRUE(d.ShowOpen());
    EXPECT_EQ(d.FileName, "/dati/vecchio/Arch4.mdb");
    EXPECT_EQ(d.FileTitle(), "Arch4.mdb");
    EXPECT_EQ(d.FilterIndex, 3);
    EXPECT_EQ(d.Flags, 6144);
    EXPECT_EQ(d.ExtendedError(), 0);
}

TEST(CommonDialog, ExtensionOtherThanTheDefaultIsFlagged)
{
    ScopedScriptedDialogs dialogs;
    dialogs->AnswerFile("/d/a.txt", 1).AnswerFile("/d/b.MDB", 1);
    clsCommonDialog d;
    d.DefaultExt = "mdb";
    ASSERT_TRUE(d.ShowOpen());
    EXPECT_EQ(d.Flags & ui::ofn::ExtensionDifferent, ui::ofn::ExtensionDifferent);
    d.Flags = 0;
    ASSERT_TRUE(d.ShowOpen());
    EXPECT_EQ(d.Flags, 0);
}

TEST(CommonDialog, PlainCancelReturnsFalseWithAnEmptyName)
{
    ScopedScriptedDialogs dialogs;
    dialogs->CancelFile();
    clsCommonDialog d;
    d.FileName = "prima.mdb";
    d.FilterIndex = 2;
    EXPECT_FALSE(d.ShowOpen());
    EXPECT_TRUE(d.FileName.empty());
    EXPECT_EQ(d.ExtendedError(), 0);
    EXPECT_EQ(d.FilterIndex, 2);
}

TEST(CommonDialog, CancelErrorRaisesCancelWithTheNameAlreadyEmpty)
{
    ScopedScriptedDialogs dialogs;
    dialogs->CancelFile().CancelFile();
    clsCommonDialog d;
    d.CancelError = true;
    d.FileName = "prima.mdb";
    const core::Error e = CaughtError([&] { d.ShowOpen(); });
    EXPECT_EQ(e.Number(), 32755);
    EXPECT_EQ(e.Description(), "Cancel.");
    EXPECT_EQ(e.Source(), "FileOpenDialog");
    EXPECT_TRUE(d.FileName.empty());
    EXPECT_EQ(d.ExtendedError(), 0);

    d.FileName = "x";
    const core::Error s = CaughtError([&] { d.ShowSave(); });
    EXPECT_EQ(s.Source(), "FileSaveDialog");
    EXPECT_TRUE(d.FileName.empty());
}

TEST(CommonDialog, PathLongerThanTheBufferFailsInsteadOfBeingCut)
{
    ScopedScriptedDialogs dialogs;
    const std::string longPath = "/" + std::string(300, 'x') + ".mdb";
    dialogs->AnswerFile(longPath, 1).AnswerFile(longPath, 1);
    clsCommonDialog d;
    EXPECT_FALSE(d.ShowOpen());
    EXPECT_TRUE(d.FileName.empty());
    EXPECT_EQ(d.ExtendedError(), ui::cderr::BufferTooSmall);

    d.CancelError = true;
    d.MaxFileSize = static_cast<std::int32_t>(longPath.size()) + 1;  // exactly fits
    EXPECT_TRUE(d.ShowOpen());
    EXPECT_EQ(d.FileName, longPath);
    EXPECT_EQ(d.ExtendedError(), 0);
}

TEST(CommonDialog, TooSmallBufferNeverShowsTheDialog)
{
    ScopedScriptedDialogs dialogs;
    clsCommonDialog d;
    d.MaxFileSize = 1;
    EXPECT_FALSE(d.ShowOpen());
    EXPECT_EQ(d.ExtendedError(), ui::cderr::BufferTooSmall);
    EXPECT_EQ(dialogs->Count(testsupport::DialogCall::Kind::FileDialog), 0);
}

TEST(CommonDialog, SaveStartsWithAnEmptyNameAndAsksForASaveDialog)
{
    ScopedScriptedDialogs dialogs;
    dialogs->AnswerFile("/d/nuovo.db", 1);
    clsCommonDialog d;
    ASSERT_TRUE(d.ShowSave());
    const auto files = dialogs->CallsOf(testsupport::DialogCall::Kind::FileDialog);
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].fileRequest.kind, core::FileDialogRequest::Kind::Save);
    EXPECT_TRUE(files[0].fileRequest.fileName.empty());
    EXPECT_EQ(d.FileTitle(), "nuovo.db");
}

namespace {
// Colour and font answered by the test instead of Qt's dialogs.
class ScriptedChooser : public clsCommonDialog {
public:
    std::optional<QColor> colour;
    std::optional<QFont> font;
    QColor offeredColour;
    QFont offeredFont;

protected:
    std::optional<QColor> PickColor(const QColor& initial) override
    {
        offeredColour = initial;
        return colour;
    }
    std::optional<QFont> PickFont(const QFont& initial) override
    {
        offeredFont = initial;
        return font;
    }
};
}  // namespace

TEST(CommonDialog, ColourInAndOutAsBlueGreenRed)
{
    testsupport::EnsureQtApp();
    ScriptedChooser d;
    d.Color = 0x00FF8000u;  // blue FF, green 80, red 00
    d.colour = QColor(0x12, 0x34, 0x56);
    ASSERT_TRUE(d.ShowColor());
    EXPECT_EQ(d.offeredColour, QColor(0x00, 0x80, 0xFF));
    EXPECT_EQ(d.Color, 0x00563412u);

    d.colour.reset();
    d.CancelError = true;
    EXPECT_EQ(CaughtError([&] { d.ShowColor(); }).Source(), "ColorDialog");
    EXPECT_EQ(d.Color, 0x00563412u);
}

TEST(CommonDialog, CustomColoursRunFromWhiteDown)
{
    const auto colours = clsCommonDialog::CustomColors();
    EXPECT_EQ(colours[0], 0x00FFFFFFu);
    EXPECT_EQ(colours[1], 0x00EFEFEFu);
    EXPECT_EQ(colours[15], 0x000F0F0Fu);
}

TEST(CommonDialog, FontPropertiesInAndOut)
{
    testsupport::EnsureQtApp();
    ScriptedChooser d;
    d.FontName = "DejaVu Sans";
    d.FontSize = 12;
    d.FontItalic = true;
    QFont chosen("DejaVu Serif");
    chosen.setPointSizeF(9.5);
    chosen.setBold(true);
    chosen.setStrikeOut(true);
    d.font = chosen;
    ASSERT_TRUE(d.ShowFont());
    EXPECT_EQ(d.offeredFont.family(), "DejaVu Sans");
    EXPECT_EQ(d.offeredFont.pointSizeF(), 12);
    EXPECT_TRUE(d.offeredFont.italic());
    EXPECT_EQ(d.FontName, "DejaVu Serif");
    EXPECT_DOUBLE_EQ(d.FontSize, 9.5);
    EXPECT_TRUE(d.FontBold);
    EXPECT_FALSE(d.FontItalic);
    EXPECT_FALSE(d.FontUnderline);
    EXPECT_TRUE(d.FontStrikethru);

    d.font.reset();
    EXPECT_FALSE(d.ShowFont());
    EXPECT_EQ(d.FontName, "DejaVu Serif");
}

TEST(CommonDialog, PrinterAndHelpFailAsFarAsThisPlatformGoes)
{
    clsCommonDialog d;
    EXPECT_FALSE(d.ShowPrinter());
    EXPECT_EQ(d.ExtendedError(), ui::cderr::NoDefaultPrinter);
    d.CancelError = true;
    EXPECT_EQ(CaughtError([&] { d.ShowPrinter(); }).Source(), "PrintDialog");

    d.HelpFile = "/non/esiste/guida.hlp";
    const core::Error help = CaughtError([&] { d.ShowHelp(); });
    EXPECT_EQ(help.Number(), 32755);
    EXPECT_EQ(help.Source(), "HelpDialog");
    EXPECT_EQ(d.ExtendedError(), 0);
}
