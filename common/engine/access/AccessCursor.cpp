#include "common/engine/access/AccessCursor.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include "common/engine/access/AccessErrors.h"
#include "common/engine/access/AccessValues.h"
#include "common/engine/access/JetText.h"

namespace core::access {

namespace {

constexpr int kDeletedRowFlag = 0x4000;
constexpr int kRowOffsetMask = 0x1FFF;

struct GFreeDeleter {
    void operator()(char* text) const noexcept { g_free(text); }
};

MdbCatalogEntry* FindEntry(GPtrArray* catalog, unsigned long firstPage) {
    for (guint i = 0; i < catalog->len; ++i) {
        auto* entry = static_cast<MdbCatalogEntry*>(g_ptr_array_index(catalog, i));
        if (entry->object_type == MDB_TABLE && entry->table_pg == firstPage) return entry;
    }
    return nullptr;
}

}  // namespace

AccessCursor::AccessCursor(std::string path, const JetHeader& header, const CatalogTable& table,
                           std::optional<RowFilter> filter)
    : path_(std::move(path)),
      tableName_(table.name),
      format_(header.format),
      codePage_(header.codePage),
      handle_(OpenMdbFile(path_)) {
    MdbCatalogEntry* entry = FindEntry(ReadTableCatalog(handle_.get(), path_), table.firstPage);
    if (!entry) ThrowTableNotFound(tableName_);
    table_.reset(mdb_read_table(entry));
    if (!table_) ThrowDamaged(path_, "definizione della tabella '" + tableName_ + "'", "mdb_read_table returned NULL");
    if (!mdb_read_columns(table_.get()))
        ThrowDamaged(path_, "colonne della tabella '" + tableName_ + "'", "mdb_read_columns returned NULL");

    const guint count = table_->num_cols;
    columns_.reserve(count);
    mdbColumns_.reserve(count);
    for (guint i = 0; i < count; ++i) {
        auto* column = static_cast<MdbColumn*>(g_ptr_array_index(table_->columns, i));
        mdbColumns_.push_back(column);
        columns_.push_back(DescribeColumn(*column, format_));
    }
    fields_.resize(count);
    values_.resize(count);

    if (filter) {
        const QString wanted = QString::fromUtf8(filter->field);
        for (std::size_t i = 0; i < columns_.size() && filterColumn_ < 0; ++i)
            if (QString::fromUtf8(columns_[i].name).compare(wanted, Qt::CaseInsensitive) == 0)
                filterColumn_ = static_cast<int>(i);
        if (filterColumn_ < 0) ThrowUnknownWhereField(filter->field);
        filterValue_ = QString::fromUtf8(filter->value);
    }

    mdb_rewind_table(table_.get());
    atEnd_ = !Advance();
}

AccessCursor::~AccessCursor() = default;

void AccessCursor::Next() {
    if (!atEnd_) atEnd_ = !Advance();
}

double AccessCursor::Percent() const {
    if (atEnd_) return 100.0;
    if (rowsStored_ == 0) return 0.0;
    // Position of the current row: rows scanned before it, out of the count
    // kept in the table definition.
    const double done = static_cast<double>(rowsScanned_ - 1) * 100.0 / static_cast<double>(rowsStored_);
    return std::clamp(done, 0.0, 100.0);
}

void AccessCursor::Insert(const std::vector<std::optional<Variant>>&) { ThrowReadOnly(path_); }

void AccessCursor::DeleteCurrent() { ThrowReadOnly(path_); }

bool AccessCursor::Advance() {
    while (NextStoredRow()) {
        DecodeRow();
        if (PassesFilter()) return true;
    }
    return false;
}

// The same walk as libmdb's mdb_fetch_row (data pages from the table's usage
// map, deleted rows skipped), keeping the cracked fields: libmdb's bound
// columns cannot tell a Null from an empty text.
bool AccessCursor::NextStoredRow() {
    MdbTableDef* table = table_.get();
    MdbHandle* mdb = handle_.get();
    if (table->num_cols == 0) return false;
    if (!started_) {
        started_ = true;
        rowsStored_ = table->num_rows;
        if (!mdb_read_next_dpg(table)) return false;
        rowOnPage_ = 0;
    }
    for (;;) {
        const int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        if (rows < 0 || rowOnPage_ >= static_cast<unsigned int>(rows)) {
            if (!mdb_read_next_dpg(table)) return false;
            rowOnPage_ = 0;
            continue;
        }
        const unsigned int row = rowOnPage_++;
        int start = 0;
        std::size_t length = 0;
        if (mdb_find_row(mdb, static_cast<int>(row), &start, &length) != 0 || length == 0) continue;
        if (start & kDeletedRowFlag) continue;
        start &= kRowOffsetMask;
        if (mdb_crack_row(table, start, length, fields_.data()) < 0) continue;
        ++rowsScanned_;
        return true;
    }
}

void AccessCursor::DecodeRow() {
    for (const MdbField& field : fields_) {
        if (field.colnum < 0 || static_cast<std::size_t>(field.colnum) >= values_.size()) continue;
        values_[static_cast<std::size_t>(field.colnum)] = DecodeField(field);
    }
}

Variant AccessCursor::DecodeField(const MdbField& field) {
    const MdbColumn& column = *mdbColumns_[static_cast<std::size_t>(field.colnum)];
    // A yes/no field keeps its value in the row's null mask: no bit, No.
    if (column.col_type == MDB_BOOL) return Variant(!field.is_null);
    if (field.is_null) return Variant();

    const std::uint8_t* data = handle_->pg_buf + field.start;
    const std::size_t size = field.siz > 0 ? static_cast<std::size_t>(field.siz) : 0;
    switch (column.col_type) {
        case MDB_TEXT:
            return Variant(format_ == JetFormat::Jet3 ? DecodeCodePageText(data, size, codePage_)
                                                      : DecodeJet4Text(data, size));
        case MDB_MEMO: {
            const auto bytes = ReadLongValue(handle_.get(), field.start, field.siz);
            if (!bytes) ThrowDamagedField(field.colnum);
            return Variant(format_ == JetFormat::Jet3 ? DecodeCodePageText(bytes->data(), bytes->size(), codePage_)
                                                      : DecodeJet4Text(bytes->data(), bytes->size()));
        }
        case MDB_OLE: {
            auto bytes = ReadLongValue(handle_.get(), field.start, field.siz);
            if (!bytes) ThrowDamagedField(field.colnum);
            return Variant(std::move(*bytes));
        }
        case MDB_NUMERIC: {
            std::unique_ptr<char, GFreeDeleter> text(
                mdb_numeric_to_string(handle_.get(), field.start, column.col_scale, column.col_prec));
            double value = 0;
            if (!text) ThrowDamagedField(field.colnum);
            const char* begin = text.get();
            const char* end = begin + std::char_traits<char>::length(begin);
            if (std::from_chars(begin, end, value).ec != std::errc()) ThrowDamagedField(field.colnum);
            return Variant(value);
        }
        default: {
            auto value = DecodeFixedValue(column.col_type, data, size);
            if (!value) ThrowDamagedField(field.colnum);
            return std::move(*value);
        }
    }
}

bool AccessCursor::PassesFilter() const {
    if (filterColumn_ < 0) return true;
    const Variant& value = values_[static_cast<std::size_t>(filterColumn_)];
    if (value.IsNull() || value.kind() == Variant::Kind::Binary) return false;
    const QString text = QString::fromStdString(value.IsText() ? value.AsText() : value.ToText());
    return text.compare(filterValue_, Qt::CaseInsensitive) == 0;
}

void AccessCursor::ThrowDamagedField(int column) const {
    const std::string name = column >= 0 && static_cast<std::size_t>(column) < columns_.size()
                                 ? columns_[static_cast<std::size_t>(column)].name
                                 : std::string();
    ThrowDamaged(path_, "valore del campo '" + name + "' della tabella '" + tableName_ + "'",
                 "undecodable stored value");
}

}  // namespace core::access
