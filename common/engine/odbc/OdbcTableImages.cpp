#include "common/engine/odbc/OdbcTableImages.h"

#include <algorithm>
#include <cctype>

#include "common/engine/odbc/OdbcConnection.h"
#include "common/engine/odbc/OdbcDialect.h"
#include "common/engine/odbc/OdbcRowCodec.h"
#include "common/engine/odbc/OdbcTypes.h"

namespace core::odbc {

namespace {

// What all copies of one connection may hold together, and the codes
// asked of the server that one copy remembers at most.
constexpr std::size_t kBudgetBytes = 32u << 20;
constexpr std::size_t kMaxRemembered = 100000;

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

int IndexOf(const std::vector<FieldInfo>& columns, const std::string& name) {
    const std::string wanted = Lower(name);
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (Lower(columns[i].name) == wanted) return static_cast<int>(i);
    return -1;
}

bool IsText(DataType type) { return type == DataType::Text || type == DataType::Memo || type == DataType::Char; }

}  // namespace

std::unique_ptr<TableImages::Image> TableImages::Load(const std::string& table, const std::string& field) {
    const std::vector<FieldInfo>& described = connection_.TableColumns(table);
    const int fieldIndex = IndexOf(described, field);
    const int idIndex = IndexOf(described, "ID");
    if (fieldIndex < 0 || idIndex < 0 || !IsText(described[static_cast<std::size_t>(fieldIndex)].type)) return nullptr;
    const Dialect& dialect = connection_.SqlDialect();
    const std::string fieldName = QuoteIdentifier(described[static_cast<std::size_t>(fieldIndex)].name, dialect);
    // dense_rank over the field numbers the groups of values that the
    // server's comparison holds equal.
    const std::string sql = "SELECT t.*, dense_rank() OVER (ORDER BY t." + fieldName + ") FROM " +
                            QuoteIdentifier(table, dialect) + " t ORDER BY t." +
                            QuoteIdentifier(described[static_cast<std::size_t>(idIndex)].name, dialect);
    // Read in blocks (the driver would otherwise hold the whole result),
    // which sees what is committed.
    connection_.CommitBeforeScan();
    struct Scan {
        OdbcConnection& connection;
        StmtHandle stmt;
        ~Scan() {
            stmt.Reset();
            connection.EndScan();
        }
    } scan{connection_, connection_.BeginScan()};
    SQLHSTMT stmt = scan.stmt.get();
    const std::u16string wide = ToWide(sql);
    if (!Succeeded(SQLExecDirectW(stmt, reinterpret_cast<SQLWCHAR*>(const_cast<char16_t*>(wide.c_str())), SQL_NTS)))
        return nullptr;  // the look-up itself, sent to the server, reports the problem
    auto image = std::make_unique<Image>();
    std::vector<FieldInfo> columns = DescribeColumns(stmt);
    if (columns.size() != described.size() + 1) return nullptr;
    const FieldInfo rank = columns.back();
    columns.pop_back();
    image->field = fieldIndex;
    image->id = idIndex;
    const std::size_t budget = kBudgetBytes - std::min(kBudgetBytes, bytes_);
    const std::size_t columnCount = columns.size();
    for (;;) {
        const SQLRETURN rc = SQLFetch(stmt);
        if (rc == SQL_NO_DATA) break;
        if (!Succeeded(rc)) return nullptr;
        std::vector<Variant> row(columnCount);
        for (std::size_t c = 0; c < columnCount; ++c)
            row[c] = ReadValue(stmt, static_cast<SQLUSMALLINT>(c + 1), columns[c], connection_.Password());
        const Variant group = ReadValue(stmt, static_cast<SQLUSMALLINT>(columnCount + 1), rank, connection_.Password());
        std::string packed = PackRow(row);
        image->bytes += packed.capacity() + sizeof(std::string) + 64;
        if (image->bytes > budget) return nullptr;
        const Variant& id = row[static_cast<std::size_t>(idIndex)];
        const Variant& value = row[static_cast<std::size_t>(fieldIndex)];
        if (id.kind() != Variant::Kind::Integer || group.kind() != Variant::Kind::Integer) return nullptr;
        const std::size_t position = image->rows.size();
        if (value.kind() == Variant::Kind::Text) {
            image->classRows[group.AsInteger()].push_back(position);
            image->codeClass.emplace(value.AsText(), group.AsInteger());
            image->bytes += value.AsText().size() + 48;
            image->idClass.emplace(id.AsInteger(), group.AsInteger());
        }
        image->rows.push_back(std::move(packed));
    }
    image->columns = std::make_shared<const std::vector<FieldInfo>>(std::move(columns));
    return image;
}

std::optional<LookupAnswer> TableImages::Find(const std::string& table, const std::string& field,
                                              const std::string& code) {
    TableState& state = tables_[Lower(table)];
    const std::string key = Lower(field);
    if (state.unusable.count(key)) return std::nullopt;
    auto found = state.images.find(key);
    if (found == state.images.end()) {
        // Still being filled: the server answers until the table rests.
        if (state.changed) {
            state.changed = false;
            return std::nullopt;
        }
        // Loading commits, which drops the copies of other tables: the
        // new copy is placed afterwards.
        std::unique_ptr<Image> loaded = Load(table, field);
        if (!loaded) {
            state.unusable.insert(key);
            return std::nullopt;
        }
        bytes_ += loaded->bytes;
        found = state.images.insert_or_assign(key, std::move(loaded)).first;
    }
    const std::unique_ptr<Image>& image = found->second;
    const auto it = image->codeClass.find(code);
    if (it == image->codeClass.end()) return std::nullopt;
    LookupAnswer answer;
    answer.columns = image->columns;
    if (it->second >= 0) {
        const auto group = image->classRows.find(it->second);
        if (group != image->classRows.end())
            for (std::size_t row : group->second)
                answer.rows.push_back(std::make_shared<const std::vector<Variant>>(UnpackRow(image->rows[row])));
    }
    return answer;
}

void TableImages::Remember(const std::string& table, const std::string& field, const std::string& code,
                           const std::vector<Variant>* firstRow) {
    auto stateIt = tables_.find(Lower(table));
    if (stateIt == tables_.end()) return;
    auto imageIt = stateIt->second.images.find(Lower(field));
    if (imageIt == stateIt->second.images.end() || !imageIt->second) return;
    Image& image = *imageIt->second;
    if (image.remembered >= kMaxRemembered) return;
    long long group = -1;
    if (firstRow) {
        if (static_cast<std::size_t>(image.id) >= firstRow->size()) return;
        const Variant& id = (*firstRow)[static_cast<std::size_t>(image.id)];
        if (id.kind() != Variant::Kind::Integer) return;
        const auto found = image.idClass.find(id.AsInteger());
        if (found == image.idClass.end()) return;
        group = found->second;
    }
    if (image.codeClass.emplace(code, group).second) ++image.remembered;
    image.bytes += code.size() + 64;
    bytes_ += code.size() + 64;
}

void TableImages::Written(const std::string& table) {
    TableState& state = tables_[Lower(table)];
    state.written = true;
    state.changed = true;
    for (auto& [field, image] : state.images)
        if (image) bytes_ -= std::min(bytes_, image->bytes);
    state.images.clear();
}

void TableImages::Committed() {
    for (auto& [name, state] : tables_) {
        if (state.written) continue;
        for (auto& [field, image] : state.images)
            if (image) bytes_ -= std::min(bytes_, image->bytes);
        state.images.clear();
    }
}

void TableImages::DropAll() {
    for (auto& [name, state] : tables_) {
        state.changed = true;
        state.images.clear();
    }
    bytes_ = 0;
}

}  // namespace core::odbc
