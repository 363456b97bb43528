#include "common/engine/Dao.h"

#include <cctype>

#include "common/Messages.h"
#include "common/engine/Engine.h"
#include "common/engine/FieldConvert.h"
#include "common/engine/SimpleSql.h"
#include "common/text/AsciiText.h"

namespace core {

namespace {

[[noreturn]] void ThrowObjectNotSet() {
    throw Error(91, "Variabile oggetto non impostata: nessun database o recordset aperto.");
}

[[noreturn]] void ThrowClosed() {
    throw Error(err::ObjectClosed, "Oggetto non valido o non più impostato: il recordset è chiuso.");
}

[[noreturn]] void ThrowNoCurrentRecord() {
    throw Error(err::NoCurrentRecord, "Nessun record corrente.");
}

}  // namespace

// ---- Field -------------------------------------------------------------

const std::string& Field::Name() const { return owner_->Columns()[index_].name; }
DataType Field::Type() const { return owner_->Columns()[index_].type; }
int Field::Size() const { return owner_->Columns()[index_].size; }
Variant Field::Value() const { return owner_->GetValue(index_); }
void Field::SetValue(const Variant& value) { owner_->SetValue(index_, value); }
void Field::SetValue(Variant&& value) { owner_->SetValue(index_, std::move(value)); }

// ---- FieldList ---------------------------------------------------------

int FieldList::Count() const { return static_cast<int>(owner_->Columns().size()); }

Field FieldList::Item(int index) const {
    if (index < 0 || index >= Count())
        throw Error(err::ItemNotFound, "Elemento " + std::to_string(index) + " non trovato nell'insieme dei campi.");
    return Field(owner_, index);
}

Field FieldList::Item(std::string_view name) const {
    const int index = owner_->ColumnIndex(name);
    if (index < 0)
        throw Error(err::ItemNotFound, "Elemento '" + std::string(name) + "' non trovato nell'insieme dei campi.");
    return Field(owner_, index);
}

int FieldList::IndexOf(std::string_view name) const { return owner_->ColumnIndex(name); }

// ---- Recordset ---------------------------------------------------------

Recordset::Recordset(std::shared_ptr<Connection> connection, std::unique_ptr<Cursor> cursor, bool readOnly)
    : connection_(std::move(connection)), cursor_(std::move(cursor)), readOnly_(readOnly) {}

Recordset::~Recordset() = default;

void Recordset::RequireOpen() const {
    if (!cursor_) ThrowClosed();
}

const std::vector<FieldInfo>& Recordset::Columns() const {
    RequireOpen();
    return cursor_->Columns();
}

int Recordset::ColumnIndex(std::string_view name) const {
    RequireOpen();
    const auto& columns = cursor_->Columns();
    if (!indexed_) {
        firstOfName_.assign(columns.size(), 0);
        for (int i = 0; i < static_cast<int>(columns.size()); ++i) {
            firstOfName_[static_cast<std::size_t>(i)] = exactIndex_.emplace(columns[i].name, i).second;
            foldedIndex_.emplace(text::AsciiLower(columns[i].name), i);
        }
        indexed_ = true;
    }
    // A copy loop names the fields in the same order record after record:
    // the field after the one found last is compared first, no hashing.
    if (nextGuess_ < columns.size() && firstOfName_[nextGuess_] && columns[nextGuess_].name == name)
        return static_cast<int>(nextGuess_++);
    int found = -1;
    if (auto it = exactIndex_.find(name); it != exactIndex_.end()) found = it->second;
    else if (auto folded = foldedIndex_.find(text::AsciiLower(name)); folded != foldedIndex_.end()) found = folded->second;
    if (found >= 0) nextGuess_ = static_cast<std::size_t>(found) + 1;
    return found;
}

bool Recordset::Eof() const {
    RequireOpen();
    return cursor_->AtEnd();
}

void Recordset::MoveNext() {
    RequireOpen();
    if (cursor_->AtEnd()) ThrowNoCurrentRecord();
    editing_ = false;
    currentDeleted_ = false;
    cursor_->Next();
}

double Recordset::PercentPosition() const {
    RequireOpen();
    return cursor_->AtEnd() ? 100.0 : cursor_->Percent();
}

Variant Recordset::GetValue(int index) const {
    RequireOpen();
    if (editing_) {
        const auto& pending = buffer_[static_cast<std::size_t>(index)];
        return pending ? *pending : Variant();
    }
    if (cursor_->AtEnd()) ThrowNoCurrentRecord();
    if (currentDeleted_) throw Error(3167, "Il record è stato eliminato.");
    return cursor_->Get(index);
}

void Recordset::SetValue(int index, const Variant& value) {
    RequireOpen();
    if (!editing_)
        throw Error(err::UpdateWithoutAddNew,
                    "Impossibile assegnare il campo '" + cursor_->Columns()[static_cast<std::size_t>(index)].name +
                        "': nessun nuovo record avviato con AddNew.");
    buffer_[static_cast<std::size_t>(index)] =
        ConvertForField(value, cursor_->Columns()[static_cast<std::size_t>(index)]);
}

void Recordset::SetValue(int index, Variant&& value) {
    RequireOpen();
    if (!editing_) {
        SetValue(index, static_cast<const Variant&>(value));  // raises the error
        return;
    }
    buffer_[static_cast<std::size_t>(index)] =
        ConvertForField(std::move(value), cursor_->Columns()[static_cast<std::size_t>(index)]);
}

void Recordset::AddNew() {
    RequireOpen();
    if (readOnly_) ThrowReadOnly(connection_ ? connection_->Name() : std::string());
    buffer_.assign(cursor_->Columns().size(), std::nullopt);
    editing_ = true;
}

void Recordset::Update() {
    RequireOpen();
    if (!editing_) throw Error(err::UpdateWithoutAddNew, "Update senza AddNew: nessun nuovo record da salvare.");
    wrote_ = true;
    cursor_->InsertTaking(std::move(buffer_));
    editing_ = false;
    buffer_.clear();
}

void Recordset::CancelUpdate() {
    editing_ = false;
    buffer_.clear();
}

void Recordset::Delete() {
    RequireOpen();
    if (readOnly_) ThrowReadOnly(connection_ ? connection_->Name() : std::string());
    if (cursor_->AtEnd() || currentDeleted_) ThrowNoCurrentRecord();
    wrote_ = true;
    cursor_->DeleteCurrent();
    currentDeleted_ = true;
}

void Recordset::Close() {
    std::shared_ptr<Connection> connection = std::move(connection_);
    const bool wrote = wrote_;
    cursor_.reset();
    editing_ = false;
    wrote_ = false;
    buffer_.clear();
    // What this recordset saved is committed now, where a failure reaches
    // the caller; a destructor could only drop it.
    if (wrote && connection) connection->Flush();
}

// ---- Database ----------------------------------------------------------

Database::Database(std::shared_ptr<Connection> connection, bool readOnly)
    : connection_(std::move(connection)), readOnly_(readOnly || connection_->ReadOnly()) {}

Database::~Database() = default;

void Database::RequireOpen() const {
    if (!connection_) ThrowObjectNotSet();
}

void Database::Execute(const std::string& sql) {
    RequireOpen();
    if (!IsActionStatement(sql))
        throw Error(err::CannotExecuteSelect, std::string(msg::kCannotExecuteSelect) + ": '" + sql + "'.");
    if (readOnly_) ThrowReadOnly(connection_->Name());
    recordsAffected_ = connection_->Execute(sql);
}

std::vector<TableDef> Database::TableDefs() {
    RequireOpen();
    std::vector<TableDef> defs;
    for (auto& name : connection_->TableNames()) defs.push_back(TableDef{std::move(name)});
    return defs;
}

std::unique_ptr<Recordset> Database::OpenRecordset(const std::string& source) {
    RequireOpen();
    const std::string sql = LooksLikeSql(source) ? source : SelectAllFrom(source);
    auto cursor = connection_->OpenCursor(sql);
    const bool readOnly = readOnly_ || !cursor->Updatable();
    return std::make_unique<Recordset>(connection_, std::move(cursor), readOnly);
}

void Database::Commit() {
    RequireOpen();
    connection_->Flush();
}

void Database::Close() {
    std::shared_ptr<Connection> connection = std::move(connection_);
    if (connection && !readOnly_) connection->Flush();
}

void Database::SetBulkLoad(bool on) {
    RequireOpen();
    connection_->SetBulkLoad(on);
}

void Database::SetBatchedSaves(bool on) {
    RequireOpen();
    connection_->SetBatchedSaves(on);
}

void Database::Verify(const std::string& table) {
    RequireOpen();
    connection_->Verify(table);
}

std::string Database::Name() const { return connection_ ? connection_->Name() : std::string(); }

// ---- Workspace ---------------------------------------------------------

namespace {

OpenRequest RequestFor(const std::string& path, bool exclusive, bool readOnly, const std::string& connect) {
    OpenRequest request;
    request.path = path;
    request.connect = ConnectText::Parse(connect);
    request.exclusive = exclusive;
    request.readOnly = readOnly;
    return request;
}

}  // namespace

std::unique_ptr<Database> Workspace::OpenDatabase(const std::string& path, bool exclusive, bool readOnly,
                                                  const std::string& connect) {
    auto connection = Engine::Instance().Open(RequestFor(path, exclusive, readOnly, connect));
    return std::make_unique<Database>(std::move(connection), readOnly);
}

std::unique_ptr<Database> Workspace::OpenPrivateDatabase(const std::string& path, bool exclusive, bool readOnly,
                                                         const std::string& connect) {
    auto connection = Engine::Instance().OpenPrivate(RequestFor(path, exclusive, readOnly, connect));
    return std::make_unique<Database>(std::move(connection), readOnly);
}

// ---- DataControl -------------------------------------------------------

DataControl::~DataControl() = default;

void DataControl::Refresh() {
    if (auto previous = std::move(recordset_)) previous->Close();
    if (!database_ || openedPath_ != DatabaseName || openedConnect_ != Connect || openedExclusive_ != Exclusive ||
        openedReadOnly_ != ReadOnly) {
        database_.reset();
        database_ = Workspace::OpenDatabase(DatabaseName, Exclusive, ReadOnly, Connect);
        openedPath_ = DatabaseName;
        openedConnect_ = Connect;
        openedExclusive_ = Exclusive;
        openedReadOnly_ = ReadOnly;
    }
    if (!RecordSource.empty()) recordset_ = database_->OpenRecordset(RecordSource);
}

Recordset& DataControl::Recordset() {
    if (!recordset_) ThrowObjectNotSet();
    return *recordset_;
}

Database& DataControl::Database() {
    if (!database_) ThrowObjectNotSet();
    return *database_;
}

void DataControl::Close() {
    auto recordset = std::move(recordset_);
    auto database = std::move(database_);
    openedPath_.clear();
    openedConnect_.clear();
    if (recordset) recordset->Close();
    if (database) database->Close();
}

// ---- Helpers -----------------------------------------------------------

bool LooksLikeSql(std::string_view source) {
    std::size_t pos = 0;
    while (pos < source.size() && std::isspace(static_cast<unsigned char>(source[pos]))) ++pos;
    for (std::string_view word : {"SELECT", "TRANSFORM", "PARAMETERS", "WITH"}) {
        if (source.size() - pos <= word.size()) continue;
        bool match = true;
        for (std::size_t i = 0; i < word.size() && match; ++i)
            match = std::toupper(static_cast<unsigned char>(source[pos + i])) == word[i];
        const char after = source[pos + word.size()];
        if (match && (std::isspace(static_cast<unsigned char>(after)) || after == '[' || after == '*')) return true;
    }
    return false;
}

std::string SelectAllFrom(std::string_view table) { return "SELECT * FROM [" + std::string(table) + "]"; }

long long CountRows(Database& database, const std::string& table) {
    auto rs = database.OpenRecordset("SELECT COUNT(*) AS [n] FROM [" + table + "]");
    const long long n = rs->Fields().Item(0).Value().ToInteger();
    rs->Close();
    return n;
}

}  // namespace core
