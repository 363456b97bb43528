#pragma once
// A read-only connection to an Access file. Opening checks the format and
// the database password from page 0 and reads the table catalogue; every
// cursor then works on its own libmdb handle, because libmdb keeps the
// current page inside the handle and two interleaved readers on one handle
// would read each other's pages.
//
// What a read verifies: the catalogue is read to its end and every table it
// names starts inside the file; each table's definition pages, usage map,
// map pages and data pages lie inside the file, are of the expected kind and
// (data pages) belong to the table; every live row can be found and split
// into fields; memo and OLE chains lead to live rows of data pages; and the
// rows found are at least as many as the definition counts. Anything else is
// 3049 naming the file and the table, never an early end of the table.

#include <memory>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/access/JetHeader.h"

namespace core::access {

struct CatalogTable {
    std::string name;
    unsigned long firstPage = 0;  // its table-definition page: the identity in the catalogue
};

class AccessConnection : public Connection {
public:
    // Raises 3024 (missing file), 3011 (unreadable), 3343 (not an Access
    // file, or an encrypted ACE file), 3031 (password), 3049 (damaged).
    static std::shared_ptr<AccessConnection> Open(const std::string& path, const std::string& password);

    std::vector<std::string> TableNames() override;
    std::unique_ptr<Cursor> OpenCursor(const std::string& sql) override;
    long long Execute(const std::string& sql) override;
    // Walks the table's pages and rows without decoding values (3078 for a
    // missing table, 3049 for damage).
    void Verify(const std::string& table) override;
    bool ReadOnly() const override { return true; }
    std::string Name() const override { return path_; }

    const JetHeader& Header() const { return header_; }
    // The catalogue entry of a table, compared as the engine compares names
    // (case-insensitively); nullptr when there is none.
    const CatalogTable* FindTable(const std::string& name) const;

private:
    AccessConnection(std::string path, JetHeader header, std::vector<CatalogTable> tables);

    std::string path_;
    JetHeader header_;
    std::vector<CatalogTable> tables_;
};

// The password rule of the original engine: a file without a stored
// password opens with any; otherwise the given one must match exactly.
bool PasswordAccepted(const JetHeader& header, const std::string& given);

}  // namespace core::access
