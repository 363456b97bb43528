#pragma once
// The choice of a source database: the ".." button (cmdSourceDb) beside the
// source text box of Varnel and Tessily. The formats listed in the
// configuration become the file types of the open dialog, the window's
// source data control is connected to the chosen file (asking for the
// password of a protected one) and the start button becomes available;
// Tessily also lists the source's tables.

#include <cstdint>
#include <string>
#include <vector>

#include "common/ValueClasses.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace core {

class DataControl;

enum class ProgramKind { Varnel, Tessily };

// The controls of the main window that the click works on; all are needed
// except cmbTblFrom in Varnel (a missing one is reported as error 91).
struct SourceSelectionControls {
    QWidget* owner = nullptr;          // parent of the dialog
    QLineEdit* txtSourceDb = nullptr;  // shows the chosen file
    QPushButton* cmdAvvia = nullptr;   // enabled once the source is open
    QComboBox* cmbTblFrom = nullptr;   // Tessily's source tables; nullptr for Varnel
    DataControl* dcFrom = nullptr;     // connected to the chosen file
    ProgramKind kind = ProgramKind::Varnel;
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

// Shows the open dialog (existing files and paths only) in the dialog start
// folder, which the first call sets to the program's folder, and fills the
// result. A cancel or any failure leaves the result as it was.
void ShowOpenFile(QWidget* owner, const std::string& filter, cFile& result);

// The click on cmdSourceDb. Reports every failure itself (critical message
// box) and never throws; what it had already changed stays. A file chosen
// with a format that leaves the driver to the file, with neither an Access
// nor a SQLite signature and a size that no encrypted SQLite archive has, is
// refused at once (3343); after a refused password the question says that
// the file may be no archive and an empty answer shows the dialog again.
void SourceDbClick(const SourceSelectionControls& controls);

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
// Fills cmbTblFrom with them; with at least one entry enables it, selects
// the first (its change handler runs) and enables cmdAvvia, otherwise
// disables both.
void ListSourceTables(const SourceSelectionControls& controls, int filterIndex, const std::string& fileName);

}  // namespace core
