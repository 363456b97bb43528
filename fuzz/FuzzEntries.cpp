#include "FuzzEntries.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <span>
#include <string>
#include <unistd.h>

#include <QString>

#include "common/Conversions.h"
#include "common/IniFile.h"
#include "common/Paths.h"
#include "common/engine/Dao.h"
#include "common/engine/Driver.h"
#include "common/engine/Drivers.h"
#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "common/engine/NumberText.h"
#include "common/engine/SimpleSql.h"
#include "common/engine/Variant.h"
#include "common/engine/access/JetHeader.h"
#include "ui/FileFilter.h"

namespace fuzz {
namespace {

// A broken invariant: abort, so that libFuzzer keeps the input.
void FuzzCheck(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "fuzz invariant broken: %s\n", what);
    std::abort();
}

// Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
// (A round trip through QString would not do: it drops a leading BOM.)
bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        const auto c = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t cp = 0, min = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1, cp = c & 0x1F, min = 0x80;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2, cp = c & 0x0F, min = 0x800;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3, cp = c & 0x07, min = 0x10000;
        } else {
            return false;
        }
        if (s.size() - i <= static_cast<std::size_t>(extra)) return false;
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(s[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (next & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        i += extra + 1;
    }
    return true;
}

std::size_t CodePoints(std::string_view s) {
    std::size_t count = 0;
    for (const char c : s) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

// One folder per process, emptied at exit; every input rewrites its files.
class Scratch {
public:
    Scratch() {
        const char* tmp = std::getenv("TMPDIR");
        root_ = std::filesystem::path(tmp && *tmp ? tmp : "/tmp") /
                ("agency-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(root_);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    std::string Write(const std::string& name, std::string_view bytes) const {
        const auto path = root_ / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        FuzzCheck(out.good(), "scratch file written");
        return core::Utf8Path(path);
    }
    void Remove(const std::string& name) const {
        std::error_code ec;
        std::filesystem::remove(root_ / name, ec);
    }

private:
    std::filesystem::path root_;
};

const Scratch& TheScratch() {
    static const Scratch scratch;
    return scratch;
}

// --- INI -------------------------------------------------------------------

// Section and key names the file itself uses, so that lookups find values
// and not only defaults; a few per input keep the run fast.
void CollectNames(std::string_view text, std::vector<std::string>& sections, std::vector<std::string>& keys) {
    std::size_t pos = 0;
    const std::size_t maxSections = sections.size() + 3, maxKeys = keys.size() + 5;
    while (pos < text.size() && (sections.size() < maxSections || keys.size() < maxKeys)) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close != std::string_view::npos && sections.size() < maxSections)
                sections.emplace_back(line.substr(1, close - 1));
        } else if (const std::size_t eq = line.find('='); eq != std::string_view::npos && eq < 64 &&
                                                          keys.size() < maxKeys) {
            keys.emplace_back(line.substr(0, eq));
        }
    }
}

// --- databases -------------------------------------------------------------

// AGENCY_FUZZ_VERBOSE=1 tells what each input gave (to check the seeds).
void Tell(const std::string& what) {
    static const bool verbose = std::getenv("AGENCY_FUZZ_VERBOSE") != nullptr;
    if (verbose) std::fprintf(stderr, "%s\n", what.c_str());
}

// What a program does with a source: list the tables, open each, read every
// field of every row. A refusal (core::Error) at any step is fine.
void ReadDatabase(const std::string& path, const std::string& connect) {
    core::RegisterBuiltInDrivers();
    std::unique_ptr<core::Database> db;
    try {
        db = core::Workspace::OpenDatabase(path, false, true, connect);
    } catch (const core::Error& e) {
        FuzzCheck(e.Number() != 0, "error with a number");
        Tell(connect + " refused: " + std::to_string(e.Number()) + " " + e.what());
        return;
    }
    std::vector<core::TableDef> tables;
    try {
        tables = db->TableDefs();
    } catch (const core::Error& e) {
        Tell(std::string("no table list: ") + e.what());
        return;
    }
    for (const auto& table : tables) {
        FuzzCheck(ValidUtf8(table.Name), "table name is UTF-8");
        try {
            auto rs = db->OpenRecordset(table.Name);
            auto fields = rs->Fields();
            const int count = fields.Count();
            for (int i = 0; i < count; ++i) {
                FuzzCheck(ValidUtf8(fields[i].Name()), "field name is UTF-8");
                (void)fields[i].Type();
                (void)fields[i].Size();
            }
            long long rows = 0;
            for (; !rs->Eof(); ++rows) {
                for (int i = 0; i < count; ++i) {
                    const core::Variant v = fields[i].Value();
                    if (v.IsText()) FuzzCheck(ValidUtf8(v.AsText()), "text value is UTF-8");
                    (void)core::Describe(v);
                }
                (void)rs->PercentPosition();
                rs->MoveNext();
            }
            Tell(table.Name + ": " + std::to_string(count) + " fields, " + std::to_string(rows) + " rows");
        } catch (const core::Error& e) {
            Tell(table.Name + " refused: " + e.what());
            // this table refused; the others are still read
        }
    }
    db->Close();
}

// Splits "main bytes" + marker + "side bytes"; no marker: no side file.
std::pair<std::string_view, std::optional<std::string_view>> SplitAt(std::string_view data,
                                                                       std::string_view marker) {
    const std::size_t at = data.find(marker);
    if (at == std::string_view::npos) return {data, std::nullopt};
    return {data.substr(0, at), data.substr(at + marker.size())};
}

}  // namespace

void IniInput(std::string_view data) {
    const std::string file = TheScratch().Write("fuzz.ini", data);
    std::vector<std::string> sections{"CFG", "STD"};
    std::vector<std::string> keys{"STD", "DBPWD", "1"};
    CollectNames(data, sections, keys);
    for (const auto& section : sections) {
        for (const auto& key : keys) {
            const std::string value = core::ReadIniString(section, key, "  predefinito  ", file);
            FuzzCheck(ValidUtf8(value), "INI value is UTF-8");
            FuzzCheck(CodePoints(value) <= core::kIniValueMaxChars, "INI value within its length");
            try {
                (void)core::ReadIniCount(section, key, file);
            } catch (const core::Error& e) {
                FuzzCheck(e.Number() == 13 || e.Number() == 6, "INI count raises 13 or 6");
            }
        }
    }
}

void ParsersInput(std::string_view data) {
    const std::string text(data);

    const std::string password = core::DecodeHex(text);
    FuzzCheck(ValidUtf8(password), "decoded password is UTF-8");
    for (std::size_t i = 0; i < text.size() && i < 64; i += 2) {
        std::string pair = text.substr(i, 2);
        const int value = core::HexPairValue(pair);
        FuzzCheck(value >= 0 && value <= 255, "hex pair within a byte");
    }

    auto& format = core::NumberFormat::System();
    const core::NumberFormat saved = format;
    for (const auto& [point, group] : {std::pair{'.', ','}, std::pair{',', '.'}}) {
        format.decimalPoint = point;
        format.groupSeparator = group;
        (void)core::ValueAsDouble(core::Variant(text));
        try {
            (void)core::ToInt16(text);
        } catch (const core::Error& e) {
            FuzzCheck(e.Number() == 13 || e.Number() == 6, "ToInt16 raises 13 or 6");
        }
        if (const auto number = core::ParseSystemNumber(text)) (void)core::FormatNumber(*number);
        (void)core::LeadingNumber(text);
        try {
            (void)core::Variant(text).ToDouble();
        } catch (const core::Error&) {
        }
    }
    format = saved;

    if (const auto date = core::ParseDateText(text)) {
        (void)date->ToIso();
        (void)date->ToDisplay();
    }

    if (const auto select = core::ParseSimpleSelect(text)) (void)core::SelectAllFrom(select->table);
    (void)core::IsActionStatement(text);
    (void)core::LooksLikeSql(text);
    const auto connect = core::ConnectText::Parse(text);
    FuzzCheck(connect.raw == text, "connect text kept as given");

    for (const auto& [description, pattern] : ui::ParseFilter(text)) {
        FuzzCheck(!pattern.empty(), "filter pattern present");
        (void)description;
    }
    (void)core::FileTitleOf(text);

    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    if (const auto header = core::access::ReadJetHeader(bytes)) {
        FuzzCheck(ValidUtf8(header->password), "Jet password is UTF-8");
        FuzzCheck(core::access::HasJetSignature(data), "header only with a signature");
    }
}

void AccessInput(std::string_view data) {
    // An Access file that carries a password is read with it, so that the
    // damaged tables behind it are reached too.
    const std::string name = "fuzz.mdb";
    const std::string file = TheScratch().Write(name, data);
    std::string connect = "Access 2000;";
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    if (const auto header = core::access::ReadJetHeader(bytes); header && !header->password.empty()) {
        if (header->password.find(';') == std::string::npos) connect += "PWD=" + header->password + ";";
        ReadDatabase(file, "Access 2000;PWD=sbagliata;");
    }
    ReadDatabase(file, connect);
    TheScratch().Remove(name);
}

void DbaseInput(std::string_view data) {
    auto [table, memo] = SplitAt(data, "--DBT--");
    std::string memoName = "fuzz.dbt";
    if (!memo) {
        std::tie(table, memo) = SplitAt(data, "--FPT--");
        memoName = "fuzz.fpt";
    }
    const std::string file = TheScratch().Write("fuzz.dbf", table);
    if (memo) TheScratch().Write(memoName, *memo);
    ReadDatabase(file, "dBASE IV;");
    TheScratch().Remove(memoName);
}

void TextInput(std::string_view data) {
    const std::string file = TheScratch().Write("fuzz.csv", data);
    ReadDatabase(file, "Text;");
}

void ExcelInput(std::string_view data) {
    const std::string file = TheScratch().Write("fuzz.xls", data);
    ReadDatabase(file, "Excel 8.0;");
}

void SqliteInput(std::string_view data) {
    const std::string file = TheScratch().Write("fuzz.db", data);
    ReadDatabase(file, "SQLite;PWD=;");
    // A key costs a slow key derivation on every open: tried on plain files
    // (where it must be ignored) and on whole-page files (which the driver
    // takes for encrypted ones), not on every damaged header.
    const bool plain = data.substr(0, 16) == std::string_view("SQLite format 3\0", 16);
    if (plain || (!data.empty() && data.size() % 1024 == 0)) ReadDatabase(file, "SQLite;PWD=sbagliata;");
    TheScratch().Remove("fuzz.db-journal");
}

const std::vector<Target>& Targets() {
    static const std::vector<Target> targets{
        {"ini", IniInput},     {"parsers", ParsersInput}, {"access", AccessInput}, {"dbase", DbaseInput},
        {"text", TextInput},   {"excel", ExcelInput},     {"sqlite", SqliteInput},
    };
    return targets;
}

}  // namespace fuzz
