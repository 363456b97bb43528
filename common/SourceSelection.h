#pragma once
// The choice of a source database: the ".." button (cmdSourceDb) beside the
// source text box of Varnel and Tessily. The formats listed in the
// configuration become the file types of the open dialog, the window's
// source data control is connected to the chosen file (asking for the
// password of a protected one) and the start button becomes available;
// Tessily also lists the source's tables. No widgets here: the click works
// on its window through SourceView.

#include <cstdint>
#include <string>
#include <vector>

#include "common/ValueClasses.h"

namespace core {

class DataControl;

enum class ProgramKind { Varnel, Tessily };

// The window as the click sees it (ui/SourceWidgets.h over the real controls).
class SourceView {
public:
    virtual ~SourceView() = default;
    // Whether the window has every control the click needs for this program
    // (a missing one is reported as error 91 before anything is shown).
    virtual bool Complete(ProgramKind kind) const = 0;
    // The open dialog with `filter`'s file types; cancelled or failed: an
    // empty FileName.
    virtual cFile ChooseFile(const std::string& filter) = 0;
    // txtSourceDb.
    virtual void ShowSourcePath(const std::string& path) = 0;
    // cmdAvvia.
    virtual void EnableAvvia(bool enabled) = 0;
    // Tessily's cmbTblFrom: filled with `names`; with at least one entry
    // enabled and its first entry selected (its change handler runs),
    // otherwise disabled.
    virtual void ListSourceTables(const std::vector<std::string>& names) = 0;
};

// The formats of section FORMATS and the dialog's filter text built from
// them. formats has room for count + 1 entries; those not read are blank.
struct SourceFormats {
    std::vector<cDBFormat> formats;
    std::string filter;

    // The entry at a position from 0; a blank one outside the table.
    cDBFormat At(int position) const;
};

// Reads CFG/FORMATS (default "0") and the numbered entries "1", "2", ... up
// to the count or the first missing one. Raises 13 or 6 for a count that is
// no 16-bit number, 9 for a negative count or an entry of fewer than three
// comma-separated parts.
SourceFormats ReadSourceFormats(const std::string& iniPath);

// The piece of the filter text for one format: "Name (*.ext)|*.ext|".
std::string FilterPiece(const cDBFormat& format);

// The click on cmdSourceDb. Reports every failure itself (critical message
// box) and never throws; what it had already changed stays. A file chosen
// with a format that leaves the driver to the file, with neither an Access
// nor a SQLite signature and a size that no encrypted SQLite archive has, is
// refused at once (3343); after a refused password the question says that
// the file may be no archive and an empty answer shows the dialog again.
void SourceDbClick(SourceView& view, DataControl& dcFrom, ProgramKind kind);

// The input box's question for a protected source.
inline constexpr const char* kPasswordPrompt =
    "L'archivio selezionato è protetto da password! Inserire la password per proseguire:";
inline constexpr const char* kUnknownFormatMessage = "Formato database non riconosciuto!";
// The question after a refused password: the password may be wrong, or the
// file no archive of the program at all. An empty answer chooses another file.
std::string RefusedPasswordPrompt(const std::string& program);

// Tessily: whether the format at this file type (from 1) holds several
// tables (1, 2 and 6 to 9) rather than being itself the one table.
bool IsMultiTableFormat(int filterIndex);
// The names Tessily offers for the source: the database's tables without
// the engine's system tables ("MSys" anywhere, case-sensitive), or the file's
// own name for a single-table format.
std::vector<std::string> SourceTableNames(DataControl& dcFrom, int filterIndex, const std::string& fileName);

}  // namespace core
