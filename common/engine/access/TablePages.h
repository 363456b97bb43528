#pragma once
// The pages of one Access table, checked before they are trusted. libmdb
// answers "no more pages" both at the true end of a table and when a page
// cannot be read (past the end of the file, a broken usage map, a page that
// belongs to something else), and its readers keep whatever the page buffer
// held after a failed read. These checks tell the two apart: every page a
// table's definition or usage map names must lie inside the file and be of
// the kind expected, otherwise the file is damaged (3049, naming the file
// and the table).

#include <cstdint>
#include <string>
#include <vector>

#include "common/engine/access/MdbApi.h"

namespace core::access {

// Whole pages in the file (a last page cut short does not count).
unsigned long PageCount(const std::string& path, int pageSize);

// A page's first byte, its kind (libmdb's MDB_PAGE_*).
inline constexpr std::uint8_t kDataPage = 0x01;
inline constexpr std::uint8_t kDefinitionPage = 0x02;
inline constexpr std::uint8_t kMapPage = 0x05;

// Where a table lives: its definition's first page and the file's size in
// pages, with the names a damage report gives.
struct TablePlace {
    std::string path;
    std::string table;
    unsigned long firstPage = 0;
    unsigned long pageCount = 0;
};

// Before libmdb reads a table definition: every page of the definition's
// chain is inside the file and is a definition page, and the row holding the
// usage map is a live row of a data page inside the file. Raises 3049.
void CheckTableDefinition(MdbHandle* mdb, const TablePlace& place);

// The data pages that a table's usage map names, in page order. Each page is
// read into the handle's page buffer by Next() and checked: inside the file,
// a data page, owned by this table; for a map that points at map pages, each
// map page is checked the same way. Raises 3049 on the first page that fails.
class DataPageWalk {
public:
    // The map is copied; the handle must outlive the walk.
    DataPageWalk(MdbHandle* mdb, const unsigned char* usageMap, std::size_t mapSize, TablePlace place);

    // Reads the next data page into mdb->pg_buf; false at the end of the map.
    bool Next();
    unsigned long CurrentPage() const { return current_; }

    // Raises 3049 for this table with `what` in the description.
    [[noreturn]] void ThrowDamage(const std::string& what, const std::string& nativeText) const;

private:
    bool NextInInlineMap();
    bool NextInMapPages();
    void ReadDataPage(unsigned long page);

    MdbHandle* mdb_;
    std::vector<unsigned char> map_;
    TablePlace place_;
    unsigned long current_ = 0;
    // Position in the map: the next bit to test (inline map), or the map
    // page entry and the bit inside it (map of map pages).
    std::size_t bit_ = 0;
    std::size_t entry_ = 0;
    bool entryLoaded_ = false;
    std::vector<unsigned char> mapPage_;
};

}  // namespace core::access
