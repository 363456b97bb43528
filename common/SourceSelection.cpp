#include "common/Messages.h"
#include "common/SourceSelection.h"

#include <QString>

#include <filesystem>
#include <fstream>
#include <string_view>
#include <system_error>

#include "common/Dialogs.h"
#include "common/IniFile.h"
#include "common/Paths.h"
#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "common/engine/access/JetHeader.h"

namespace core {

namespace {

constexpr std::string_view kSqliteSignature{"SQLite format 3\0", 16};
constexpr std::uintmax_t kEncryptedPageUnit = 1024;

[[noreturn]] void ThrowSubscript(const std::string& what)
{
    throw Error(err::SubscriptOutOfRange, "Indice non compreso nell'intervallo (" + what + ").");
}

std::vector<std::string> SplitAtCommas(const std::string& text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            return parts;
        start = comma + 1;
    }
}

bool SameFileName(const std::string& chosen, const std::string& stored, ProgramKind kind)
{
    if (kind == ProgramKind::Tessily)
        return chosen == stored;
    return QString::fromStdString(chosen).toLower() == QString::fromStdString(stored).toLower();
}

std::string PasswordConnect(ProgramKind kind, const cDBFormat& format, int filterIndex, const std::string& password)
{
    if (kind == ProgramKind::Varnel)
        return ";PWD=" + password;
    return format.Driver + (filterIndex == 1 ? ";" : "") + "PWD=" + password;
}

void ReportError(int number, const std::string& description)
{
    const Prefs& prefs = ThePrefs();
    try {
        if (number == err::NotInstalledIsam)
            TheDialogs().MessageBox(kUnknownFormatMessage, MsgButtons::Ok, MsgIcon::Critical, prefs.programTitle);
        else
            TheDialogs().MessageBox(description, MsgButtons::Ok, MsgIcon::Critical,
                                    msg::ErrorTitle(number));
    } catch (...) {
        // Nothing left to tell the user with; the click simply ends.
    }
}

enum class PasswordOutcome { Opened, GaveUp, ChooseAnother };

// Refreshes the source, answering the engine's password refusals: the
// stored previous-version password once when the file's name is the
// previous-version archive's, then whatever the user types, until it is
// accepted. An empty answer gives up; once a password has been refused it
// means choosing another file instead, since an encrypted archive cannot be
// told from a file that is no archive at all.
PasswordOutcome OpenWithPassword(DataControl& dcFrom, ProgramKind kind, const cDBFormat& format, const cFile& file)
{
    const Prefs& prefs = ThePrefs();
    bool storedTried = false;
    bool refused = false;
    for (;;) {
        try {
            dcFrom.Refresh();
            return PasswordOutcome::Opened;
        } catch (const Error& e) {
            if (e.Number() != err::BadPassword)
                throw;
        }
        std::string password;
        const std::string name = FileTitleOf(file.FileName);
        if (!storedTried && SameFileName(name, prefs.previousFileName, kind)) {
            // Tried once only: a refused stored password must not loop.
            storedTried = true;
            password = prefs.previousPassword;
        } else {
            const std::string prompt = refused ? RefusedPasswordPrompt(prefs.programTitle) : kPasswordPrompt;
            password = TheDialogs().InputBox(prompt, prefs.programTitle, {}, true);
            if (password.empty())
                return refused ? PasswordOutcome::ChooseAnother : PasswordOutcome::GaveUp;
        }
        dcFrom.Connect = PasswordConnect(kind, format, file.FilterIndex(), password);
        refused = true;  // if the next refresh still asks for one
    }
}

// A format whose driver text is empty lets the engine choose by the file:
// Access and SQLite files carry a signature, and a file without one can
// only be an encrypted SQLite archive, made of whole pages of 1024 bytes or
// a multiple. Any other file is refused at once instead of asking for a
// password it cannot have.
void RefuseUnrecognisedFile(const cDBFormat& format, const std::string& path)
{
    if (!QString::fromStdString(format.Driver).trimmed().isEmpty())
        return;
    std::error_code ec;
    const auto fsPath = FsPath(path);
    const auto size = std::filesystem::file_size(fsPath, ec);
    if (ec)
        return;  // the engine reports a file it cannot read
    std::string header(100, '\0');
    {
        std::ifstream in(fsPath, std::ios::binary);
        if (!in)
            return;
        in.read(header.data(), static_cast<std::streamsize>(header.size()));
        header.resize(static_cast<std::size_t>(in.gcount()));
    }
    if (access::HasJetSignature(header) || header.rfind(kSqliteSignature, 0) == 0)
        return;
    if (size > 0 && size % kEncryptedPageUnit == 0)
        return;
    throw Error(err::NotADatabase, "Formato di database non riconosciuto: il file '" + path +
                                       "' non è un archivio Access né SQLite.");
}

}  // namespace

cDBFormat SourceFormats::At(int position) const
{
    if (position < 0 || static_cast<std::size_t>(position) >= formats.size())
        return {};
    return formats[static_cast<std::size_t>(position)];
}

std::string FilterPiece(const cDBFormat& format)
{
    return format.Name + " (*" + format.Ext + ")|*" + format.Ext + "|";
}

SourceFormats ReadSourceFormats(const std::string& iniPath)
{
    const std::int16_t count = ReadIniCount("CFG", "FORMATS", iniPath);
    if (count < 0)
        ThrowSubscript("FORMATS = " + std::to_string(count));
    SourceFormats result;
    result.formats.resize(static_cast<std::size_t>(count) + 1);
    for (int i = 0; i < count; ++i) {
        const std::string key = std::to_string(i + 1);
        const std::string value = ReadIniString("FORMATS", key, "", iniPath);
        if (value.empty())
            break;
        const std::vector<std::string> parts = SplitAtCommas(value);
        if (parts.size() < 3)
            ThrowSubscript("[FORMATS] " + key + "=" + value);
        cDBFormat& format = result.formats[static_cast<std::size_t>(i)];
        format.ID = i + 1;
        format.Name = parts[0];
        format.Driver = parts[1];
        format.Ext = parts[2];
        result.filter += FilterPiece(format);
    }
    return result;
}

std::string RefusedPasswordPrompt(const std::string& program)
{
    return "La password non è corretta, oppure il file scelto non è un archivio di " + program +
           ". Inserire un'altra password, oppure lasciare vuoto per scegliere un altro file:";
}

bool IsMultiTableFormat(int filterIndex)
{
    return filterIndex == 1 || filterIndex == 2 || (filterIndex >= 6 && filterIndex <= 9);
}

std::vector<std::string> SourceTableNames(DataControl& dcFrom, int filterIndex, const std::string& fileName)
{
    std::vector<std::string> names;
    if (!IsMultiTableFormat(filterIndex)) {
        names.push_back(FileTitleOf(fileName));
        return names;
    }
    for (const TableDef& table : dcFrom.Database().TableDefs())
        if (table.Name.find("MSys") == std::string::npos)
            names.push_back(table.Name);
    return names;
}

void SourceDbClick(SourceView& view, DataControl& dcFrom, ProgramKind kind)
{
    if (!view.Complete(kind)) {
        ReportError(91, "Variabile oggetto o variabile del blocco With non impostata.");
        return;
    }
    try {
        const SourceFormats formats = ReadSourceFormats(ThePrefs().iniPath);

        cFile file;
        for (;;) {
            file = view.ChooseFile(formats.filter);
            if (file.FileName.empty())
                return;

            view.ShowSourcePath(file.FileName);
            const cDBFormat format = formats.At(file.FilterIndex() - 1);
            dcFrom.Connect = format.Driver;
            dcFrom.DatabaseName = file.FileName;
            // Only the database is opened here: a record source left from an
            // earlier source file would name a table the new file may lack.
            dcFrom.RecordSource.clear();
            RefuseUnrecognisedFile(format, file.FileName);
            const PasswordOutcome outcome = OpenWithPassword(dcFrom, kind, format, file);
            if (outcome == PasswordOutcome::GaveUp)
                return;
            if (outcome == PasswordOutcome::Opened)
                break;
        }

        if (kind == ProgramKind::Varnel) {
            view.EnableAvvia(true);
            return;
        }
        const std::vector<std::string> names = SourceTableNames(dcFrom, file.FilterIndex(), file.FileName);
        view.ListSourceTables(names);
        view.EnableAvvia(!names.empty());
    } catch (const Error& e) {
        ReportError(e.Number(), e.Description());
    } catch (const std::exception& e) {
        ReportError(51, std::string("Errore interno: ") + e.what());
    }
}

}  // namespace core
