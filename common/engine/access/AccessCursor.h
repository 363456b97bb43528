#pragma once
// Streams the rows of one Access table in the file's order, on a libmdb
// handle of its own. Values are decoded from the row bytes as each row
// becomes current; memory does not grow with the number of rows.

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/access/AccessConnection.h"
#include "common/engine/access/JetHeader.h"
#include "common/engine/access/MdbHandles.h"
#include "common/engine/access/TablePages.h"

namespace core::access {

// WHERE [field] = 'value', compared case-insensitively.
struct RowFilter {
    std::string field;
    std::string value;
};

class AccessCursor : public Cursor {
public:
    // Raises 3061 when the filter names a field the table lacks, and the
    // errors of OpenMdbFile.
    AccessCursor(std::string path, const JetHeader& header, const CatalogTable& table,
                 std::optional<RowFilter> filter);
    ~AccessCursor() override;

    // The tables listed in the file's catalogue (MSysObjects, type 1: user
    // and system tables), in their stored order. Only the identity, name and
    // type columns are decoded: the catalogue's property blobs are never
    // parsed, so a damaged one cannot stop the file from opening.
    // A table that the catalogue names but whose definition lies beyond the
    // end of the file, or a catalogue that cannot be read to its end, is
    // damage (3049): never a shorter list.
    static std::vector<CatalogTable> ReadCatalog(const std::string& path, const JetHeader& header);

    // Walks every page and row of a table without decoding any value: the
    // checks of a full read on the table's structure (pages inside the file,
    // of the right kind and owner, rows that can be found and split into
    // fields, as many rows as the definition counts). Raises 3049.
    static void VerifyTable(const std::string& path, const JetHeader& header, const CatalogTable& table);

    const std::vector<FieldInfo>& Columns() const override { return columns_; }
    bool AtEnd() const override { return atEnd_; }
    void Next() override;
    const Variant& Get(int column) const override { return values_[static_cast<std::size_t>(column)]; }
    double Percent() const override;

    void Insert(const std::vector<std::optional<Variant>>& values) override;
    void DeleteCurrent() override;

private:
    // Decodes only the named columns (all when onlyColumns is null); the
    // others stay Null.
    AccessCursor(std::string path, const JetHeader& header, const CatalogTable& table,
                 std::optional<RowFilter> filter, const std::vector<std::string>* onlyColumns);

    // Moves to the next row that passes the filter; false at the end.
    bool Advance();
    // The next stored row of the table, cracked into fields_; false at the
    // true end of the table, which the row count of the definition confirms.
    bool NextStoredRow();
    // Reads the next data page of the usage map; false at its end.
    bool NextDataPage();
    void DecodeRow();
    Variant DecodeField(const MdbField& field);
    bool PassesFilter() const;
    [[noreturn]] void ThrowDamagedField(int column) const;
    [[noreturn]] void ThrowDamagedRow(unsigned int row, const std::string& nativeText) const;

    std::string path_;
    std::string tableName_;
    JetFormat format_;
    int codePage_;
    // Declared in this order: the table definition keeps pointers to the
    // handle and to its catalogue entry.
    MdbHandlePtr handle_;
    MdbCatalogEntry entry_{};
    MdbTablePtr table_;
    std::unique_ptr<DataPageWalk> pages_;

    std::vector<FieldInfo> columns_;
    std::vector<MdbColumn*> mdbColumns_;    // same order as columns_
    std::vector<MdbField> fields_;          // one row as mdb_crack_row leaves it
    std::vector<Variant> values_;
    std::vector<bool> decoded_;             // per column: read from the row or left Null

    int filterColumn_ = -1;
    QString filterValue_;

    bool started_ = false;
    bool atEnd_ = false;
    unsigned int rowOnPage_ = 0;
    unsigned long long rowsScanned_ = 0;
    unsigned long long rowsStored_ = 0;
};

}  // namespace core::access
