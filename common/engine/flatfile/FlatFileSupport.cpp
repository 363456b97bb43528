#include "common/engine/flatfile/FlatFileSupport.h"

#include <QString>
#include <set>
#include <system_error>

#include "common/Messages.h"

namespace core::flatfile {

void Fail(int number, std::string description, std::string nativeText) {
    throw Error(number, std::move(description), kErrorSource, std::move(nativeText));
}

void FailDamaged(const std::string& file, const std::string& why, std::string nativeText) {
    Fail(err::CorruptDatabase, "Impossibile leggere il file '" + file + "': " + why + ".",
         std::move(nativeText));
}

void FailUnreadable(const std::string& file) {
    std::error_code ec;
    if (!std::filesystem::exists(FsPath(file), ec))
        Fail(err::FileNotFoundDb, msg::FileNotFound(file));
    Fail(err::CannotOpenFile, "Impossibile aprire il file '" + file +
                                  "': è in uso da un altro programma o non si hanno i permessi "
                                  "per leggerlo.");
}

std::string FileNameOf(std::string_view path) {
    const auto cut = path.find_last_of("/\\");
    return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

FilePtr OpenForReading(const std::filesystem::path& path) {
#ifdef _WIN32
    return FilePtr(_wfopen(path.c_str(), L"rb"));
#else
    return FilePtr(std::fopen(path.c_str(), "rb"));
#endif
}

std::vector<std::string> UniqueColumnNames(const std::vector<std::string>& raw) {
    std::vector<std::string> names;
    std::set<QString> seen;
    for (std::size_t i = 0; i < raw.size(); ++i) {
        std::string name = raw[i];
        QString folded = QString::fromUtf8(name).trimmed().toCaseFolded();
        if (folded.isEmpty() || seen.count(folded)) {
            name = "F" + std::to_string(i + 1);
            folded = QString::fromUtf8(name).toCaseFolded();
        }
        seen.insert(folded);
        names.push_back(std::move(name));
    }
    return names;
}

FieldInfo TextField(std::string name, int size) {
    FieldInfo f;
    f.name = std::move(name);
    f.type = size == 0 ? DataType::Memo : DataType::Text;
    f.size = size;
    return f;
}

FieldInfo TypedField(std::string name, DataType type) {
    FieldInfo f;
    f.name = std::move(name);
    f.type = type;
    switch (type) {
        case DataType::Boolean: f.size = 1; break;
        case DataType::Long: f.size = 4; break;
        default: f.size = 8; break;  // Double, Date
    }
    return f;
}

namespace {

class FilteredCursor final : public Cursor {
public:
    FilteredCursor(std::unique_ptr<Cursor> inner, int column, std::string value)
        : inner_(std::move(inner)), column_(column), value_(std::move(value)) {
        SkipMismatches();
    }
    const std::vector<FieldInfo>& Columns() const override { return inner_->Columns(); }
    bool AtEnd() const override { return inner_->AtEnd(); }
    void Next() override {
        inner_->Next();
        SkipMismatches();
    }
    const Variant& Get(int column) const override { return inner_->Get(column); }
    double Percent() const override { return inner_->Percent(); }

private:
    void SkipMismatches() {
        while (!inner_->AtEnd()) {
            const Variant& v = inner_->Get(column_);
            if (!v.IsNull() && text::SameTextIgnoringCase(v.ToText(), value_)) return;
            inner_->Next();
        }
    }

    std::unique_ptr<Cursor> inner_;
    int column_;
    std::string value_;
};

}  // namespace

std::unique_ptr<Cursor> FilterRows(std::unique_ptr<Cursor> inner, int column, std::string value) {
    return std::make_unique<FilteredCursor>(std::move(inner), column, std::move(value));
}

}  // namespace core::flatfile
