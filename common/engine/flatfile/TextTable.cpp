#include "common/engine/flatfile/TextTable.h"

#include <array>
#include <chrono>
#include <system_error>

#include "common/engine/flatfile/CsvReader.h"
#include "common/engine/flatfile/FlatFileSupport.h"
#include "common/text/Utf8.h"

namespace core::flatfile {
namespace {

// Longest value kept as a text field; a longer one makes the field a memo.
constexpr std::size_t kTextSize = 255;

std::size_t Utf8Chars(std::string_view s) {
    std::size_t n = 0;
    for (char c : s)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

// The separator that occurs most often outside quotes on the first line;
// on a tie the semicolon (the Italian lists' separator) wins, then the tab.
// A first line without any makes a one-field table: '\0' never splits,
// since a file with NUL bytes is refused as binary.
char DetectSeparator(std::string_view head) {
    std::array<std::size_t, 3> counts{};  // ';', '\t', ','
    bool quoted = false;
    for (char c : head) {
        if (c == '"') quoted = !quoted;
        if (quoted) continue;
        if (c == '\n' || c == '\r') break;
        if (c == ';') ++counts[0];
        if (c == '\t') ++counts[1];
        if (c == ',') ++counts[2];
    }
    const char separators[] = {';', '\t', ','};
    std::size_t best = 0;
    for (std::size_t i = 1; i < counts.size(); ++i)
        if (counts[i] > counts[best]) best = i;
    return counts[best] ? separators[best] : '\0';
}

std::int64_t LastWrite(const std::filesystem::path& path) {
    std::error_code ec;
    const auto t = std::filesystem::last_write_time(path, ec);
    return ec ? 0 : std::int64_t(t.time_since_epoch().count());
}

class TextCursor final : public Cursor {
public:
    TextCursor(const std::string& file, const TextLayout& layout)
        : file_(file), layout_(layout), reader_(file, layout.separator, layout.bomLength) {
        values_.resize(layout_.columns.size());
        RawRecord header;
        reader_.Next(header);
        Advance();
    }

    const std::vector<FieldInfo>& Columns() const override { return layout_.columns; }
    bool AtEnd() const override { return !loaded_; }
    void Next() override { Advance(); }
    const Variant& Get(int column) const override { return values_.at(column); }
    double Percent() const override {
        if (layout_.fileSize == 0 || !loaded_) return 100.0;
        return std::min(100.0, 100.0 * double(reader_.BytesRead()) / double(layout_.fileSize));
    }

private:
    void Advance() {
        loaded_ = reader_.Next(record_);
        if (!loaded_) return;
        ++line_;
        for (std::size_t i = 0; i < values_.size(); ++i) {
            if (i < record_.size() && record_[i]) {
                // The scan found every value valid in the file's encoding;
                // one that is not now was changed or damaged since.
                if (layout_.page == CodePage::Utf8 && !text::IsValidUtf8(*record_[i]))
                    FailDamaged(file_, "la riga di dati " + std::to_string(line_) + " non si decodifica come UTF-8");
                values_[i] = Variant(ToUtf8(*record_[i], layout_.page));
            } else {
                values_[i] = Variant::Null();  // an empty field or a short line
            }
        }
    }

    std::string file_;
    TextLayout layout_;
    CsvReader reader_;
    long long line_ = 0;
    RawRecord record_;
    std::vector<Variant> values_;
    bool loaded_ = false;
};

}  // namespace

TextLayout ScanTextFile(const std::string& file) {
    const std::filesystem::path path = FsPath(file);
    TextLayout layout;
    {
        FilePtr in = OpenForReading(path);
        if (!in) FailUnreadable(file);
        std::string head(64 * 1024, '\0');
        head.resize(std::fread(head.data(), 1, head.size(), in.get()));
        if (head.empty()) FailDamaged(file, "il file è vuoto");
        if (head.rfind("\xFF\xFE", 0) == 0 || head.rfind("\xFE\xFF", 0) == 0)
            Fail(err::NotADatabase, "Il file '" + file + "' è in codifica UTF-16, non supportata: "
                                        "salvarlo come testo UTF-8 o ANSI.");
        if (head.rfind("\xEF\xBB\xBF", 0) == 0) layout.bomLength = 3;
        layout.separator = DetectSeparator(std::string_view(head).substr(layout.bomLength));
    }
    std::error_code ec;
    layout.fileSize = std::filesystem::file_size(path, ec);
    layout.modified = LastWrite(path);

    CsvReader reader(file, layout.separator, layout.bomLength);
    RawRecord header;
    if (!reader.Next(header)) FailDamaged(file, "manca la riga con i nomi dei campi");
    bool utf8 = true;
    for (const auto& name : header)
        if (name && !text::IsValidUtf8(*name)) utf8 = false;

    // Longest value of each field, in bytes and in UTF-8 characters: which
    // count applies is known only once the whole file has been seen.
    std::vector<std::size_t> maxBytes(header.size()), maxChars(header.size());
    RawRecord record;
    for (long long line = 1; reader.Next(record); ++line) {
        for (std::size_t i = header.size(); i < record.size(); ++i)
            if (record[i] && !record[i]->empty())
                FailDamaged(file, "la riga di dati " + std::to_string(line) +
                                      " ha più valori dei campi nella prima riga (" +
                                      std::to_string(header.size()) + ")");
        for (std::size_t i = 0; i < record.size() && i < header.size(); ++i) {
            if (!record[i]) continue;
            const std::string& v = *record[i];
            if (utf8 && !text::IsValidUtf8(v)) utf8 = false;
            maxBytes[i] = std::max(maxBytes[i], v.size());
            maxChars[i] = std::max(maxChars[i], Utf8Chars(v));
        }
    }
    layout.page = utf8 ? CodePage::Utf8 : CodePage::Windows1252;

    std::vector<std::string> names;
    for (const auto& name : header) names.push_back(name ? ToUtf8(*name, layout.page) : std::string());
    names = UniqueColumnNames(names);
    for (std::size_t i = 0; i < names.size(); ++i) {
        const std::size_t longest = utf8 ? maxChars[i] : maxBytes[i];
        layout.columns.push_back(TextField(names[i], longest > kTextSize ? 0 : int(kTextSize)));
    }
    return layout;
}

std::unique_ptr<Cursor> OpenTextTable(const std::string& file, const TextLayout& layout) {
    return std::make_unique<TextCursor>(file, layout);
}

}  // namespace core::flatfile
