// A worksheet as a table: the first row names the fields, the rows below
// are records, and each field's type is the narrowest one that holds every
// value below the header.

#include <freexl.h>

#include <QString>

#include <charconv>
#include <climits>
#include <cmath>

#include "common/engine/flatfile/FlatFileSupport.h"
#include "common/engine/flatfile/XlsWorkbook.h"

namespace core::flatfile {
namespace {

constexpr std::size_t kTextSize = 255;

bool IsDateCell(unsigned char type) {
    return type == FREEXL_CELL_DATE || type == FREEXL_CELL_DATETIME || type == FREEXL_CELL_TIME;
}
bool IsTextCell(unsigned char type) {
    return type == FREEXL_CELL_TEXT || type == FREEXL_CELL_SST_TEXT;
}

// FreeXL gives dates as "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "HH:MM:SS".
std::optional<DateTime> ParseCellDate(std::string_view s) {
    auto number = [&](std::size_t at, std::size_t len, int& out) {
        return at + len <= s.size() &&
               std::from_chars(s.data() + at, s.data() + at + len, out).ec == std::errc();
    };
    int y = 1899, mo = 12, d = 30, h = 0, mi = 0, se = 0;
    std::size_t timeAt = 0;
    if (s.size() >= 10 && s[4] == '-') {
        if (!number(0, 4, y) || !number(5, 2, mo) || !number(8, 2, d)) return std::nullopt;
        timeAt = s.size() > 10 ? 11 : s.size();
    }
    if (timeAt < s.size() && (!number(timeAt, 2, h) || !number(timeAt + 3, 2, mi) || !number(timeAt + 6, 2, se)))
        return std::nullopt;
    return DateTime::FromParts(y, mo, d, h, mi, se);
}

// Whole numbers that Excel stored as floating point (most typed numbers)
// count as integers when they fit a Long.
bool IsWhole(double v) { return std::trunc(v) == v && v >= INT_MIN && v <= INT_MAX; }

std::string NumberText(double v) { return Variant(v).ToText(); }

class SheetCursor final : public Cursor {
public:
    SheetCursor(std::shared_ptr<XlsWorkbook> book, int sheet) : book_(std::move(book)), sheet_(sheet) {
        book_->Select(sheet_);
        unsigned int rows = 0;
        unsigned short cols = 0;
        if (freexl_worksheet_dimensions(book_->Handle(), &rows, &cols) != FREEXL_OK)
            FailDamaged(book_->File(), "le dimensioni di un foglio non si leggono");
        rows_ = rows;
        cols_ = cols;
        ReadHeaderAndTypes();
        values_.resize(cols_);
        next_ = 1;
        Advance();
    }

    const std::vector<FieldInfo>& Columns() const override { return columns_; }
    bool AtEnd() const override { return !loaded_; }
    void Next() override { Advance(); }
    const Variant& Get(int column) const override { return values_.at(column); }
    double Percent() const override {
        if (rows_ <= 1 || !loaded_) return 100.0;
        return 100.0 * double(next_ - 2) / double(rows_ - 1);
    }

private:
    FreeXL_CellValue Cell(unsigned row, unsigned short col) const {
        FreeXL_CellValue v{};
        const int rc = freexl_get_cell_value(book_->Handle(), row, col, &v);
        if (rc != FREEXL_OK) FailDamaged(book_->File(), "una cella non si legge", "FreeXL " + std::to_string(rc));
        return v;
    }

    // Names from the first row, types from every row below it.
    void ReadHeaderAndTypes() {
        if (rows_ == 0) return;
        std::vector<std::string> names;
        for (unsigned short c = 0; c < cols_; ++c) names.push_back(CellText(Cell(0, c)));
        names = UniqueColumnNames(names);

        for (unsigned short c = 0; c < cols_; ++c) {
            bool any = false, onlyInt = true, onlyNumber = true, onlyDate = true;
            std::size_t longest = 0;
            for (unsigned r = 1; r < rows_; ++r) {
                const FreeXL_CellValue v = Cell(r, c);
                if (v.type == FREEXL_CELL_NULL) continue;
                any = true;
                const bool isInt = v.type == FREEXL_CELL_INT || (v.type == FREEXL_CELL_DOUBLE && IsWhole(v.value.double_value));
                const bool isNumber = isInt || v.type == FREEXL_CELL_DOUBLE;
                onlyInt = onlyInt && isInt;
                onlyNumber = onlyNumber && isNumber;
                onlyDate = onlyDate && IsDateCell(v.type);
                if (IsTextCell(v.type))
                    longest = std::max(longest, static_cast<std::size_t>(QString::fromUtf8(v.value.text_value).size()));
            }
            if (!any || (!onlyNumber && !onlyDate))
                columns_.push_back(TextField(names[c], longest > kTextSize ? 0 : int(kTextSize)));
            else if (onlyInt)
                columns_.push_back(TypedField(names[c], DataType::Long));
            else if (onlyNumber)
                columns_.push_back(TypedField(names[c], DataType::Double));
            else
                columns_.push_back(TypedField(names[c], DataType::Date));
        }
    }

    std::string CellText(const FreeXL_CellValue& v) const {
        switch (v.type) {
            case FREEXL_CELL_INT: return std::to_string(v.value.int_value);
            case FREEXL_CELL_DOUBLE: return NumberText(v.value.double_value);
            case FREEXL_CELL_NULL: return {};
            default:
                if (IsDateCell(v.type)) {
                    const auto date = ParseCellDate(v.value.text_value ? v.value.text_value : "");
                    return date ? date->ToDisplay() : std::string(v.value.text_value ? v.value.text_value : "");
                }
                return v.value.text_value ? v.value.text_value : "";
        }
    }

    Variant ValueOf(const FreeXL_CellValue& v, DataType type) const {
        if (v.type == FREEXL_CELL_NULL) return Variant::Null();
        switch (type) {
            case DataType::Long:
                return Variant(v.type == FREEXL_CELL_INT ? static_cast<long long>(v.value.int_value)
                                                         : std::llround(v.value.double_value));
            case DataType::Double:
                return Variant(v.type == FREEXL_CELL_INT ? double(v.value.int_value) : v.value.double_value);
            case DataType::Date: {
                const auto date = ParseCellDate(v.value.text_value ? v.value.text_value : "");
                return date ? Variant(*date) : Variant::Null();
            }
            default: return Variant(CellText(v));
        }
    }

    // Rows with no value at all are skipped: they are gaps in the sheet,
    // not records.
    void Advance() {
        loaded_ = false;
        if (columns_.empty()) return;
        book_->Select(sheet_);
        while (next_ < rows_) {
            const unsigned row = next_++;
            bool any = false;
            for (unsigned short c = 0; c < cols_; ++c) {
                const FreeXL_CellValue v = Cell(row, c);
                values_[c] = ValueOf(v, columns_[c].type);
                any = any || v.type != FREEXL_CELL_NULL;
            }
            if (any) {
                loaded_ = true;
                return;
            }
        }
    }

    std::shared_ptr<XlsWorkbook> book_;
    int sheet_;
    unsigned rows_ = 0;
    unsigned short cols_ = 0;
    std::vector<FieldInfo> columns_;
    std::vector<Variant> values_;
    unsigned next_ = 1;
    bool loaded_ = false;
};

}  // namespace

std::unique_ptr<Cursor> XlsWorkbook::OpenSheet(const std::shared_ptr<XlsWorkbook>& book, int sheet) {
    return std::make_unique<SheetCursor>(book, sheet);
}

}  // namespace core::flatfile
