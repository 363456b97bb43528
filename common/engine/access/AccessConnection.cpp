#include "common/engine/access/AccessConnection.h"

#include <filesystem>
#include <fstream>
#include <system_error>

#include "common/engine/Dao.h"
#include "common/engine/FsPath.h"
#include "common/engine/SimpleSql.h"
#include "common/engine/access/AccessCursor.h"
#include "common/engine/access/AccessErrors.h"
#include "common/engine/access/MdbHandles.h"
#include "common/text/AsciiText.h"

namespace core::access {

namespace {

constexpr std::size_t kHeaderBytes = 4096;

std::vector<std::uint8_t> ReadFirstPage(const std::string& path) {
    std::error_code ec;
    const auto fsPath = FsPath(path);
    if (!std::filesystem::exists(fsPath, ec)) ThrowFileNotFound(path);
    if (std::filesystem::is_directory(fsPath, ec)) ThrowNotAccessFile(path);
    std::ifstream in(fsPath, std::ios::binary);
    if (!in) ThrowCannotOpen(path, "cannot open the file for reading");
    std::vector<std::uint8_t> bytes(kHeaderBytes);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    return bytes;
}

}  // namespace

bool PasswordAccepted(const JetHeader& header, const std::string& given) {
    return header.password.empty() || header.password == given;
}

std::shared_ptr<AccessConnection> AccessConnection::Open(const std::string& path,
                                                         const std::string& password) {
    const auto page0 = ReadFirstPage(path);
    const auto header = ReadJetHeader(page0);
    if (!header) ThrowNotAccessFile(path);
    if (header->WholeFileEncrypted()) ThrowEncryptedAce(path);
    if (!PasswordAccepted(*header, password)) ThrowBadPassword(path);

    auto tables = AccessCursor::ReadCatalog(path, *header);
    return std::shared_ptr<AccessConnection>(new AccessConnection(path, *header, std::move(tables)));
}

AccessConnection::AccessConnection(std::string path, JetHeader header, std::vector<CatalogTable> tables)
    : path_(std::move(path)), header_(std::move(header)), tables_(std::move(tables)) {}

std::vector<std::string> AccessConnection::TableNames() {
    std::vector<std::string> names;
    names.reserve(tables_.size());
    for (const auto& table : tables_) names.push_back(table.name);
    return names;
}

const CatalogTable* AccessConnection::FindTable(const std::string& name) const {
    for (const auto& table : tables_)
        if (text::SameTextIgnoringCase(table.name, name)) return &table;
    return nullptr;
}

std::unique_ptr<Cursor> AccessConnection::OpenCursor(const std::string& sql) {
    if (IsActionStatement(sql)) ThrowReadOnly(path_);
    std::optional<SimpleSelect> select;
    if (LooksLikeSql(sql)) {
        select = ParseSimpleSelect(sql);
        if (!select) ThrowUnsupportedStatement(sql);
    } else {
        // A bare table name, as a recordset opened on a table.
        select = SimpleSelect{sql, std::nullopt, {}};
    }
    const CatalogTable* table = FindTable(select->table);
    if (!table) ThrowTableNotFound(select->table);
    std::optional<RowFilter> filter;
    if (select->whereField) filter = RowFilter{*select->whereField, select->whereValue};
    return std::make_unique<AccessCursor>(path_, header_, *table, std::move(filter));
}

void AccessConnection::Verify(const std::string& table) {
    const CatalogTable* found = FindTable(table);
    if (!found) ThrowTableNotFound(table);
    AccessCursor::VerifyTable(path_, header_, *found);
}

long long AccessConnection::Execute(const std::string& sql) {
    if (LooksLikeSql(sql) && !IsActionStatement(sql)) ThrowSelectNotExecutable();
    ThrowReadOnly(path_);
}

}  // namespace core::access
