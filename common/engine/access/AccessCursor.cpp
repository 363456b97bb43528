#include "common/engine/access/AccessCursor.h"

#include <algorithm>
#include <charconv>
#include <memory>

#include "common/engine/access/AccessErrors.h"
#include "common/engine/access/AccessValues.h"
#include "common/engine/access/JetText.h"
#include "common/text/AsciiText.h"

namespace core::access {

namespace {

constexpr int kDeletedRowFlag = 0x4000;
constexpr int kRowOffsetMask = 0x1FFF;
constexpr std::size_t kNumericBytes = 17;

struct GFreeDeleter {
    void operator()(char* text) const noexcept { g_free(text); }
};

// The catalogue is itself a table whose definition sits on page 2.
constexpr unsigned long kCatalogFirstPage = 2;
constexpr long long kCatalogTableType = 1;
constexpr long long kCatalogPageMask = 0x00FFFFFF;

}  // namespace

AccessCursor::AccessCursor(std::string path, const JetHeader& header, const CatalogTable& table,
                           std::optional<RowFilter> filter)
    : AccessCursor(std::move(path), header, table, std::move(filter), nullptr) {}

// The table's definition is read from its first page through an entry made
// here, the way libmdb reads its own catalogue: libmdb's catalogue reader
// also parses every object's property blob, and a damaged blob sends it into
// an endless allocating loop.
AccessCursor::AccessCursor(std::string path, const JetHeader& header, const CatalogTable& table,
                           std::optional<RowFilter> filter, const std::vector<std::string>* onlyColumns)
    : path_(std::move(path)),
      tableName_(table.name),
      format_(header.format),
      codePage_(header.codePage),
      handle_(OpenMdbFile(path_)) {
    entry_.mdb = handle_.get();
    entry_.object_type = MDB_TABLE;
    entry_.table_pg = table.firstPage;
    tableName_.copy(entry_.object_name, std::min<std::size_t>(tableName_.size(), MDB_MAX_OBJ_NAME));
    // libmdb keeps its page buffer after a failed read and would take the
    // previous page for the definition: every page is checked first.
    TablePlace place{path_, tableName_, table.firstPage, PageCount(path_, handle_->fmt->pg_size)};
    CheckTableDefinition(handle_.get(), place);
    table_.reset(mdb_read_table(&entry_));
    if (!table_) ThrowDamaged(path_, "definizione della tabella '" + tableName_ + "'", "mdb_read_table returned NULL");
    // Every row walk starts from the usage map's first byte (its type); a
    // damaged definition can point at an empty row, which leaves no map.
    if (!table_->usage_map || table_->map_sz < 1)
        ThrowDamaged(path_, "mappa delle pagine della tabella '" + tableName_ + "'", "empty usage map");
    pages_ = std::make_unique<DataPageWalk>(handle_.get(), table_->usage_map, table_->map_sz, std::move(place));
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
    decoded_.assign(count, onlyColumns == nullptr);
    if (onlyColumns)
        for (const std::string& wanted : *onlyColumns)
            for (std::size_t i = 0; i < columns_.size(); ++i)
                if (text::SameTextIgnoringCase(columns_[i].name, wanted)) decoded_[i] = true;

    if (filter) {
        const QString wanted = QString::fromUtf8(filter->field);
        for (std::size_t i = 0; i < columns_.size() && filterColumn_ < 0; ++i)
            if (QString::fromUtf8(columns_[i].name).compare(wanted, Qt::CaseInsensitive) == 0 && decoded_[i])
                filterColumn_ = static_cast<int>(i);
        if (filterColumn_ < 0) ThrowUnknownWhereField(filter->field);
        filterValue_ = QString::fromUtf8(filter->value);
    }

    atEnd_ = !Advance();
}

AccessCursor::~AccessCursor() = default;

std::vector<CatalogTable> AccessCursor::ReadCatalog(const std::string& path, const JetHeader& header) {
    const std::vector<std::string> wanted{"Id", "Name", "Type"};
    AccessCursor catalog(path, header, CatalogTable{"MSysObjects", kCatalogFirstPage}, std::nullopt, &wanted);
    int id = -1, name = -1, type = -1;
    for (std::size_t i = 0; i < catalog.columns_.size(); ++i) {
        if (!catalog.decoded_[i]) continue;
        const std::string& column = catalog.columns_[i].name;
        if (text::SameTextIgnoringCase(column, "Id")) id = static_cast<int>(i);
        else if (text::SameTextIgnoringCase(column, "Name")) name = static_cast<int>(i);
        else type = static_cast<int>(i);
    }
    if (id < 0 || name < 0 || type < 0)
        ThrowDamaged(path, "il catalogo delle tabelle non è leggibile", "MSysObjects lacks Id, Name or Type");

    const unsigned long pageCount = PageCount(path, catalog.handle_->fmt->pg_size);
    std::vector<CatalogTable> tables;
    for (; !catalog.AtEnd(); catalog.Next()) {
        const Variant& typeValue = catalog.Get(type);
        const Variant& idValue = catalog.Get(id);
        const Variant& nameValue = catalog.Get(name);
        if (typeValue.IsNull() || idValue.IsNull() || !nameValue.IsText()) continue;
        if (typeValue.ToInteger() != kCatalogTableType) continue;
        const auto firstPage = static_cast<unsigned long>(idValue.ToInteger() & kCatalogPageMask);
        if (firstPage == 0 || firstPage >= pageCount)
            ThrowDamaged(path, "definizione della tabella '" + nameValue.AsText() + "' oltre la fine del file",
                         "table page " + std::to_string(firstPage) + " of " + std::to_string(pageCount));
        tables.push_back(CatalogTable{nameValue.AsText(), firstPage});
    }
    return tables;
}

void AccessCursor::VerifyTable(const std::string& path, const JetHeader& header, const CatalogTable& table) {
    const std::vector<std::string> none;
    AccessCursor walk(path, header, table, std::nullopt, &none);
    while (!walk.AtEnd()) walk.Next();
}

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
// columns cannot tell a Null from an empty text. Unlike libmdb's walk, a
// page or a row that cannot be read is damage, never the end of the table.
bool AccessCursor::NextStoredRow() {
    MdbTableDef* table = table_.get();
    MdbHandle* mdb = handle_.get();
    if (table->num_cols == 0) return false;
    if (!started_) {
        started_ = true;
        rowsStored_ = table->num_rows;
        if (!NextDataPage()) return false;
    }
    for (;;) {
        const int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
        // The row offsets follow the count; more than the page can hold is damage.
        if (rows < 0 || mdb->fmt->row_count_offset + 2 + 2 * rows > mdb->fmt->pg_size)
            ThrowDamagedRow(0, "row count " + std::to_string(rows));
        if (rowOnPage_ >= static_cast<unsigned int>(rows)) {
            if (!NextDataPage()) return false;
            continue;
        }
        const unsigned int row = rowOnPage_++;
        // A deleted row's offset may point past its page: test the flag first.
        const int entry = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset + 2 + 2 * static_cast<int>(row));
        if (entry & kDeletedRowFlag) continue;
        int start = 0;
        std::size_t length = 0;
        if (mdb_find_row(mdb, static_cast<int>(row), &start, &length) != 0) ThrowDamagedRow(row, "mdb_find_row failed");
        if (length == 0) ThrowDamagedRow(row, "empty row");
        start &= kRowOffsetMask;
        if (mdb_crack_row(table, start, length, fields_.data()) < 0) ThrowDamagedRow(row, "mdb_crack_row failed");
        ++rowsScanned_;
        return true;
    }
}

bool AccessCursor::NextDataPage() {
    rowOnPage_ = 0;
    if (pages_->Next()) return true;
    // The definition counts the table's rows: fewer found means pages lost.
    if (rowsScanned_ < rowsStored_)
        pages_->ThrowDamage("lette " + std::to_string(rowsScanned_) + " righe delle " + std::to_string(rowsStored_) +
                                " registrate",
                            "row count short");
    return false;
}

void AccessCursor::DecodeRow() {
    for (const MdbField& field : fields_) {
        if (field.colnum < 0 || static_cast<std::size_t>(field.colnum) >= values_.size()) continue;
        if (!decoded_[static_cast<std::size_t>(field.colnum)]) continue;
        values_[static_cast<std::size_t>(field.colnum)] = DecodeField(field);
    }
}

Variant AccessCursor::DecodeField(const MdbField& field) {
    const MdbColumn& column = *mdbColumns_[static_cast<std::size_t>(field.colnum)];
    // A yes/no field keeps its value in the row's null mask: no bit, No.
    if (column.col_type == MDB_BOOL) return Variant(!field.is_null);
    if (field.is_null) return Variant();

    const std::size_t size = field.siz > 0 ? static_cast<std::size_t>(field.siz) : 0;
    // A damaged row can place a field outside its page; nothing is read there.
    const auto pageSize = static_cast<std::size_t>(handle_->fmt->pg_size);
    if (field.start < 0 || static_cast<std::size_t>(field.start) > pageSize ||
        size > pageSize - static_cast<std::size_t>(field.start))
        ThrowDamagedField(field.colnum);
    const std::uint8_t* data = handle_->pg_buf + field.start;
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
            // The library reads the whole 17-byte value from the row.
            if (size < kNumericBytes) ThrowDamagedField(field.colnum);
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

void AccessCursor::ThrowDamagedRow(unsigned int row, const std::string& nativeText) const {
    pages_->ThrowDamage("riga " + std::to_string(row) + " della pagina " + std::to_string(pages_->CurrentPage()) +
                            " non leggibile",
                        nativeText);
}

void AccessCursor::ThrowDamagedField(int column) const {
    const std::string name = column >= 0 && static_cast<std::size_t>(column) < columns_.size()
                                 ? columns_[static_cast<std::size_t>(column)].name
                                 : std::string();
    ThrowDamaged(path_, "valore del campo '" + name + "' della tabella '" + tableName_ + "'",
                 "undecodable stored value");
}

}  // namespace core::access
