#pragma once
// The standard dialogs (open, save, colour, font, printer, help) shown from
// code, one object per use. Open and save go through core::Dialogs so that
// tests can answer them; colour and font use Qt's own dialogs.
//
// Every Show* returns true when the user confirmed. Otherwise FileName (open
// and save) is empty, ExtendedError tells a plain cancel (0) from a failure,
// and with CancelError set the call raises core::Error 32755 "Cancel." with
// the dialog's source name instead of returning.

#include <QFont>
#include <QColor>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "common/Dialogs.h"
#include "ui/OleColor.h"

class QWidget;

namespace ui {

// Option bits of the open and save dialogs that this platform honours.
namespace ofn {
constexpr std::int32_t ExtensionDifferent = 0x400;
constexpr std::int32_t PathMustExist = 0x800;
constexpr std::int32_t FileMustExist = 0x1000;
}  // namespace ofn

// Extended error codes.
namespace cderr {
constexpr std::int32_t None = 0;
constexpr std::int32_t DialogFailure = 0xFFFF;
constexpr std::int32_t BufferTooSmall = 0x3003;  // the chosen path does not fit MaxFileSize
constexpr std::int32_t InvalidFileName = 0x3002;
constexpr std::int32_t NoDefaultPrinter = 0x1008;
}  // namespace cderr

class clsCommonDialog {
public:
    clsCommonDialog() = default;
    virtual ~clsCommonDialog() = default;

    // Settings and results.
    QWidget* Parent = nullptr;
    std::string DialogTitle;
    std::string Filter;
    std::int32_t FilterIndex = 0;
    std::int32_t Flags = 0;
    std::string InitDir;
    std::string DefaultExt;
    std::string FileName;
    std::int32_t MaxFileSize = 256;
    bool CancelError = false;

    OleColor Color = 0;

    std::string FontName;
    double FontSize = 0;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontUnderline = false;
    bool FontStrikethru = false;

    std::int32_t Copies = 0;
    std::int32_t FromPage = 0;
    std::int32_t ToPage = 0;
    std::int32_t Min = 0;
    std::int32_t Max = 0;

    std::string HelpFile;
    std::int32_t HelpContext = 0;
    std::string HelpKey;

    const std::string& FileTitle() const { return fileTitle_; }
    std::int32_t ExtendedError() const { return extendedError_; }
    // After BufferTooSmall: the path the user chose, which did not fit.
    const std::string& RefusedFileName() const { return refusedFileName_; }
    std::intptr_t hdc() const { return hdc_; }
    void SetHelpCommand(std::int32_t command) { helpCommand_ = command; }

    bool ShowOpen();
    bool ShowSave();
    bool ShowColor();
    bool ShowFont();
    // No printer dialog on this platform: always a failure with
    // NoDefaultPrinter.
    bool ShowPrinter();
    // Opens HelpFile with the desktop's viewer; a missing file is a failure.
    bool ShowHelp();

    // The sixteen custom colours offered by the colour dialog: white, then
    // down in steps of &H101010.
    static std::array<OleColor, 16> CustomColors();
    // Font properties <-> QFont.
    QFont FontFromProperties() const;
    void SetFontProperties(const QFont& font);

    // The request that ShowOpen / ShowSave hand to core::Dialogs.
    core::FileDialogRequest BuildFileRequest(core::FileDialogRequest::Kind kind) const;

protected:
    // Qt's dialogs; tests override them. nullopt: cancelled.
    virtual std::optional<QColor> PickColor(const QColor& initial);
    virtual std::optional<QFont> PickFont(const QFont& initial);
    virtual bool OpenHelpFile(const std::string& path);

private:
    bool ShowFile(core::FileDialogRequest::Kind kind, const char* source);
    bool Fail(std::int32_t extendedError, const char* source);

    std::string fileTitle_;
    std::int32_t extendedError_ = 0;
    std::string refusedFileName_;
    std::intptr_t hdc_ = 0;
    std::int32_t helpCommand_ = 0;
};

}  // namespace ui
