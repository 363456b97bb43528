#include "common/engine/flatfile/DbfTable.h"

#include <QDate>
#include <charconv>
#include <cmath>
#include <cstring>
#include <optional>
#include <system_error>
#include <vector>

#include "common/engine/flatfile/CodePage.h"
#include "common/engine/flatfile/DbfMemo.h"
#include "common/engine/flatfile/FlatFileSupport.h"
#include "common/text/AsciiText.h"

namespace core::flatfile {
namespace {

// ---- header ---------------------------------------------------------------

struct DbfField {
    std::string name;
    char type = 'C';
    int offset = 0;  // from the start of the record, after the deletion flag
    int width = 0;
    int decimals = 0;
};

struct DbfHeader {
    std::uint8_t version = 0;
    std::uint32_t records = 0;
    std::uint16_t headerLength = 0;
    std::uint16_t recordLength = 0;
    std::uint8_t languageDriver = 0;
    std::vector<DbfField> fields;
};

bool KnownVersion(std::uint8_t v) {
    switch (v) {
        case 0x03: case 0x04: case 0x05:  // dBASE III, IV, 5 without memo
        case 0x83: case 0x8B: case 0x8E:  // ... with memo
        case 0xF5: case 0x30: case 0x31:  // FoxPro
            return true;
        default:
            return false;
    }
}

// Reads and checks the header: the version, the field descriptions against
// the record length and the file's size against the records it counts.
DbfHeader ReadHeader(const std::string& file, const std::filesystem::path& path) {
    std::error_code ec;
    const auto fileSize = std::filesystem::file_size(path, ec);
    FilePtr f = OpenForReading(path);
    if (!f || ec) FailUnreadable(file);

    unsigned char head[32] = {};
    // The version byte and a plausible date of last update (month and day
    // at bytes 2 and 3) tell a table from a text or any other file.
    if (std::fread(head, 1, 32, f.get()) != 32 || !KnownVersion(head[0]) || head[2] > 12 || head[3] > 31)
        Fail(err::NotADatabase, "Il file '" + file + "' non è una tabella dBASE.");

    DbfHeader h;
    h.version = head[0];
    h.records = head[4] | (head[5] << 8) | (head[6] << 16) | (std::uint32_t(head[7]) << 24);
    h.headerLength = std::uint16_t(head[8] | (head[9] << 8));
    h.recordLength = std::uint16_t(head[10] | (head[11] << 8));
    h.languageDriver = head[29];
    if (h.headerLength < 33 || h.recordLength < 1 || h.headerLength > fileSize)
        FailDamaged(file, "l'intestazione della tabella non è valida");

    int offset = 1;
    for (unsigned pos = 32; pos + 1 <= h.headerLength; pos += 32) {
        unsigned char d[32] = {};
        const std::size_t got = std::fread(d, 1, 32, f.get());
        if (got >= 1 && d[0] == 0x0D) break;
        if (got != 32 || pos + 32 > h.headerLength)
            FailDamaged(file, "la descrizione dei campi è troncata");
        DbfField field;
        field.name.assign(reinterpret_cast<const char*>(d), strnlen(reinterpret_cast<const char*>(d), 11));
        field.type = char(std::toupper(d[11]));
        field.width = d[16];
        field.decimals = d[17];
        field.offset = offset;
        if (field.name.empty() || field.width == 0)
            FailDamaged(file, "la descrizione dei campi non è valida");
        offset += field.width;
        h.fields.push_back(std::move(field));
    }
    if (h.fields.empty()) FailDamaged(file, "la tabella non ha campi");
    if (offset != h.recordLength)
        FailDamaged(file, "la lunghezza dei record non corrisponde ai campi");
    if (fileSize < std::uint64_t(h.headerLength) + std::uint64_t(h.records) * h.recordLength)
        FailDamaged(file, "il file è troncato: contiene meno record di quelli dichiarati");
    return h;
}

FieldInfo ColumnOf(const DbfField& f, const std::string& file) {
    switch (f.type) {
        case 'C': return TextField(f.name, f.width);
        case 'N':
            return TypedField(f.name, f.decimals == 0 && f.width <= 9 ? DataType::Long : DataType::Double);
        case 'F': return TypedField(f.name, DataType::Double);
        case 'D': return TypedField(f.name, DataType::Date);
        case 'L': return TypedField(f.name, DataType::Boolean);
        case 'M': return TextField(f.name, 0);
        default:
            Fail(err::NotADatabase, "Il campo '" + f.name + "' del file '" + file +
                                        "' è di un tipo non supportato ('" + std::string(1, f.type) +
                                        "').");
    }
}

// ---- values ---------------------------------------------------------------

// Fields are padded with blanks, and by some programs with NULs.
std::string_view TrimBlanks(std::string_view s) { return text::Trim(s, std::string_view(" \0", 2)); }

// Numbers are parsed here rather than with atof, which follows the process
// locale and would read "3.50" as 3 under an Italian one.
std::optional<double> ParseNumber(std::string_view raw) {
    std::string s(TrimBlanks(raw));
    if (s.empty() || s.find('*') != std::string::npos) return std::nullopt;  // blank or overflow
    for (char& c : s)
        if (c == ',') c = '.';
    const char* begin = s.data();
    if (*begin == '+') ++begin;
    double value = 0;
    const auto [end, ec] = std::from_chars(begin, s.data() + s.size(), value);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    return value;
}

class DbfCursor final : public Cursor {
public:
    explicit DbfCursor(const std::string& file) : file_(file) {
        const std::filesystem::path path = FsPath(file);
        header_ = ReadHeader(file, path);
        const auto page = CodePageFromLanguageDriver(header_.languageDriver);
        if (!page) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", header_.languageDriver);
            Fail(err::NotADatabase, "Il file '" + file + "' usa una codifica dei caratteri non "
                                        "supportata (driver di lingua " + hex + ").");
        }
        page_ = *page;
        for (auto& f : header_.fields) {
            // Field names are written in the table's code page, like its texts.
            f.name = ToUtf8(f.name, page_);
            columns_.push_back(ColumnOf(f, file));
            if (f.type == 'M' && !memo_) memo_ = std::make_unique<DbfMemo>(file, f.name);
        }
        values_.resize(columns_.size());

        handle_ = OpenForReading(path);
        if (!handle_) FailUnreadable(file);
        record_.resize(header_.recordLength);
        if (std::fseek(handle_.get(), header_.headerLength, SEEK_SET) != 0)
            FailDamaged(file, "la tabella non si apre");
        Advance();
    }

    const std::vector<FieldInfo>& Columns() const override { return columns_; }
    bool AtEnd() const override { return !loaded_; }
    void Next() override { Advance(); }
    const Variant& Get(int column) const override { return values_.at(column); }
    double Percent() const override {
        if (header_.records == 0) return 100.0;
        return 100.0 * double(std::max(0, next_ - 1)) / double(header_.records);
    }

private:
    // Moves to the next record that is not deleted and decodes it.
    void Advance() {
        loaded_ = false;
        while (next_ < int(header_.records)) {
            const int index = next_++;
            // Records follow one another after the header, in file order.
            if (std::fread(record_.data(), 1, record_.size(), handle_.get()) != record_.size())
                FailDamaged(file_, "un record non si legge");
            // Every record starts with its deletion mark, a blank or '*':
            // anything else is a record overwritten or shifted by damage.
            if (record_[0] != ' ' && record_[0] != '*')
                FailDamaged(file_, "il record " + std::to_string(index + 1) + " non è valido",
                            "deletion flag " + std::to_string(static_cast<unsigned char>(record_[0])));
            if (record_[0] == '*') continue;
            Decode(record_.data());
            loaded_ = true;
            return;
        }
    }

    void Decode(const char* record) {
        for (std::size_t i = 0; i < header_.fields.size(); ++i) {
            const DbfField& f = header_.fields[i];
            values_[i] = DecodeField(f, std::string_view(record + f.offset, f.width), columns_[i]);
        }
    }

    Variant DecodeField(const DbfField& f, std::string_view raw, const FieldInfo& column) {
        switch (f.type) {
            case 'C': {
                std::string_view s = raw;
                while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
                if (s.empty()) return Variant::Null();
                return Variant(ToUtf8(s, page_));
            }
            case 'N':
            case 'F': {
                const auto n = ParseNumber(raw);
                if (!n) return Variant::Null();
                if (column.type == DataType::Long) return Variant(static_cast<long long>(std::llround(*n)));
                return Variant(*n);
            }
            case 'D': {
                const std::string_view s = TrimBlanks(raw);
                int y = 0, m = 0, d = 0;
                if (s.size() != 8 || std::from_chars(s.data(), s.data() + 4, y).ec != std::errc() ||
                    std::from_chars(s.data() + 4, s.data() + 6, m).ec != std::errc() ||
                    std::from_chars(s.data() + 6, s.data() + 8, d).ec != std::errc() ||
                    !QDate(y, m, d).isValid())
                    return Variant::Null();  // blank, "00000000" or not a date
                return Variant(DateTime::FromParts(y, m, d));
            }
            case 'L':
                switch (raw.empty() ? '?' : raw[0]) {
                    case 'T': case 't': case 'Y': case 'y': case 'S': case 's': return Variant(true);
                    case 'F': case 'f': case 'N': case 'n': return Variant(false);
                    default: return Variant::Null();
                }
            case 'M': {
                std::uint32_t block = 0;
                if (raw.size() == 4 && (header_.version == 0x30 || header_.version == 0x31)) {
                    const auto* p = reinterpret_cast<const unsigned char*>(raw.data());
                    block = p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
                } else {
                    const std::string_view digits = TrimBlanks(raw);
                    if (!digits.empty() &&
                        std::from_chars(digits.data(), digits.data() + digits.size(), block).ec != std::errc())
                        block = 0;
                }
                std::string text = memo_->Read(block);
                if (text.empty()) return Variant::Null();
                return Variant(ToUtf8(text, page_));
            }
        }
        return Variant::Null();
    }

    std::string file_;
    DbfHeader header_;
    CodePage page_ = CodePage::Dos850;
    std::vector<FieldInfo> columns_;
    std::vector<Variant> values_;
    std::unique_ptr<DbfMemo> memo_;
    FilePtr handle_;
    std::vector<char> record_;  // the current record, deletion mark first
    int next_ = 0;
    bool loaded_ = false;
};

}  // namespace

std::unique_ptr<Cursor> OpenDbfTable(const std::string& file) {
    return std::make_unique<DbfCursor>(file);
}

}  // namespace core::flatfile
