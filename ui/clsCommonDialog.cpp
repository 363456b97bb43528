#include "ui/clsCommonDialog.h"

#include <QColorDialog>
#include <QDesktopServices>
#include <QFileInfo>
#include <QFontDialog>
#include <QUrl>
#include <algorithm>

#include "common/Paths.h"
#include "common/engine/Error.h"
#include "common/text/AsciiText.h"
#include "ui/FileFilter.h"

namespace ui {

namespace {
constexpr const char* kCancel = "Cancel.";

std::string ExtensionOf(const std::string& title)
{
    const std::size_t dot = title.find_last_of('.');
    return dot == std::string::npos ? std::string() : title.substr(dot + 1);
}

}  // namespace

bool clsCommonDialog::Fail(std::int32_t extendedError, const char* source)
{
    extendedError_ = extendedError;
    if (CancelError)
        throw core::Error(core::err::DialogCancel, kCancel, source);
    return false;
}

core::FileDialogRequest clsCommonDialog::BuildFileRequest(core::FileDialogRequest::Kind kind) const
{
    core::FileDialogRequest request;
    request.kind = kind;
    request.title = DialogTitle;
    request.filters = ParseFilter(Filter);
    request.filterIndex = FilterIndex;
    request.initialDir = InitDir;
    // The name buffer holds MaxFileSize - 1 characters and its end mark.
    const std::size_t room = MaxFileSize > 1 ? static_cast<std::size_t>(MaxFileSize - 1) : 0;
    request.fileName = FileName.substr(0, std::min(FileName.size(), room));
    std::string ext = DefaultExt;
    if (!ext.empty() && ext.front() == '.')
        ext.erase(0, 1);
    request.defaultExt = ext;
    request.fileMustExist = (Flags & ofn::FileMustExist) != 0;
    request.pathMustExist = (Flags & ofn::PathMustExist) != 0;
    return request;
}

bool clsCommonDialog::ShowFile(core::FileDialogRequest::Kind kind, const char* source)
{
    extendedError_ = cderr::None;
    refusedFileName_.clear();
    if (MaxFileSize < 2) {
        // No room for a name: fail as the system does for a buffer too small.
        FileName.clear();
        return Fail(cderr::BufferTooSmall, source);
    }
    const core::FileDialogRequest request = BuildFileRequest(kind);
    const core::FileDialogResult result = core::TheDialogs().ShowFileDialog(request);
    if (!result.accepted) {
        FileName.clear();
        return Fail(cderr::None, source);
    }
    // A path longer than the buffer is refused, never handed back cut short.
    if (result.fileName.size() > static_cast<std::size_t>(MaxFileSize - 1)) {
        FileName.clear();
        refusedFileName_ = result.fileName;
        return Fail(cderr::BufferTooSmall, source);
    }
    FilterIndex = result.filterIndex;
    FileName = result.fileName;
    fileTitle_ = core::FileTitleOf(result.fileName);
    if (!request.defaultExt.empty() && !core::text::SameTextIgnoringCase(ExtensionOf(fileTitle_), request.defaultExt))
        Flags |= ofn::ExtensionDifferent;
    return true;
}

bool clsCommonDialog::ShowOpen() { return ShowFile(core::FileDialogRequest::Kind::Open, "FileOpenDialog"); }

bool clsCommonDialog::ShowSave() { return ShowFile(core::FileDialogRequest::Kind::Save, "FileSaveDialog"); }

std::array<OleColor, 16> clsCommonDialog::CustomColors()
{
    std::array<OleColor, 16> colours{};
    for (std::size_t n = 0; n < colours.size(); ++n)
        colours[n] = 0x00FFFFFFu - static_cast<OleColor>(n) * 0x00101010u;
    return colours;
}

bool clsCommonDialog::ShowColor()
{
    extendedError_ = cderr::None;
    const auto custom = CustomColors();
    for (int n = 0; n < static_cast<int>(custom.size()) && n < QColorDialog::customCount(); ++n)
        QColorDialog::setCustomColor(n, ToQColor(custom[static_cast<std::size_t>(n)], QPalette()));
    const std::optional<QColor> chosen = PickColor(ToQColor(Color, QPalette()));
    if (!chosen || !chosen->isValid())
        return Fail(cderr::None, "ColorDialog");
    Color = FromQColor(*chosen);
    return true;
}

QFont clsCommonDialog::FontFromProperties() const
{
    QFont font;
    if (!FontName.empty())
        font.setFamily(QString::fromStdString(FontName));
    if (FontSize > 0)
        font.setPointSizeF(FontSize);
    font.setBold(FontBold);
    font.setItalic(FontItalic);
    font.setUnderline(FontUnderline);
    font.setStrikeOut(FontStrikethru);
    return font;
}

void clsCommonDialog::SetFontProperties(const QFont& font)
{
    FontName = font.family().toStdString();
    FontSize = font.pointSizeF() > 0 ? font.pointSizeF() : font.pointSize();
    FontBold = font.weight() >= QFont::Bold;
    FontItalic = font.italic();
    FontUnderline = font.underline();
    FontStrikethru = font.strikeOut();
}

bool clsCommonDialog::ShowFont()
{
    extendedError_ = cderr::None;
    const std::optional<QFont> chosen = PickFont(FontFromProperties());
    if (!chosen)
        return Fail(cderr::None, "FontDialog");
    SetFontProperties(*chosen);
    return true;
}

bool clsCommonDialog::ShowPrinter()
{
    hdc_ = 0;
    return Fail(cderr::NoDefaultPrinter, "PrintDialog");
}

bool clsCommonDialog::ShowHelp()
{
    extendedError_ = cderr::None;
    if (HelpFile.empty() || !QFileInfo(QString::fromStdString(HelpFile)).isFile() || !OpenHelpFile(HelpFile))
        return Fail(cderr::None, "HelpDialog");
    return true;
}

std::optional<QColor> clsCommonDialog::PickColor(const QColor& initial)
{
    const QColor chosen = QColorDialog::getColor(initial, Parent, QString::fromStdString(DialogTitle));
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

std::optional<QFont> clsCommonDialog::PickFont(const QFont& initial)
{
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, Parent, QString::fromStdString(DialogTitle));
    if (!ok)
        return std::nullopt;
    return chosen;
}

bool clsCommonDialog::OpenHelpFile(const std::string& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

}  // namespace ui
