#include "common/engine/access/TablePages.h"

#include <filesystem>
#include <system_error>

#include "common/engine/FsPath.h"
#include "common/engine/access/AccessErrors.h"

namespace core::access {

namespace {

constexpr int kDeletedRowFlag = 0x4000;
// An inline usage map: type byte, first page (4 bytes), then the bitmap.
constexpr std::size_t kInlineMapHeader = 5;
// A map page: type byte, one unused byte, two bytes, then the bitmap.
constexpr std::size_t kMapPageHeader = 4;

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

std::string PageText(unsigned long page) { return std::to_string(page); }

[[noreturn]] void Damaged(const TablePlace& place, const std::string& what, const std::string& nativeText) {
    ThrowDamaged(place.path, "tabella '" + place.table + "', " + what, nativeText);
}

// Reads a page inside the file into the handle's page buffer and checks its kind.
void ReadPageOfKind(MdbHandle* mdb, const TablePlace& place, unsigned long page, std::uint8_t kind,
                    const std::string& what) {
    if (page == 0 || page >= place.pageCount)
        Damaged(place, what + " " + PageText(page) + " oltre la fine del file",
                "page " + std::to_string(page) + " of " + std::to_string(place.pageCount));
    if (mdb_read_pg(mdb, page) != mdb->fmt->pg_size)
        Damaged(place, what + " " + PageText(page) + " non leggibile", "mdb_read_pg failed");
    if (mdb->pg_buf[0] != kind)
        Damaged(place, what + " " + PageText(page) + " di tipo inatteso",
                "page type " + std::to_string(mdb->pg_buf[0]) + ", expected " + std::to_string(kind));
}

}  // namespace

unsigned long PageCount(const std::string& path, int pageSize) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(FsPath(path), ec);
    if (ec || pageSize <= 0) return 0;
    return static_cast<unsigned long>(size / static_cast<std::uintmax_t>(pageSize));
}

void CheckTableDefinition(MdbHandle* mdb, const TablePlace& place) {
    // The definition may continue on further pages, each naming the next.
    unsigned long page = place.firstPage;
    for (unsigned long links = 0; page != 0; ++links) {
        if (links >= place.pageCount)
            Damaged(place, "definizione con una catena di pagine circolare", "table definition chain loops");
        ReadPageOfKind(mdb, place, page, kDefinitionPage, "pagina della definizione");
        page = Le32(mdb->pg_buf + 4);
    }

    ReadPageOfKind(mdb, place, place.firstPage, kDefinitionPage, "pagina della definizione");
    const std::uint32_t mapRow = Le32(mdb->pg_buf + mdb->fmt->tab_usage_map_offset);
    const unsigned long mapPage = mapRow >> 8;
    const int row = static_cast<int>(mapRow & 0xFF);
    ReadPageOfKind(mdb, place, mapPage, kDataPage, "pagina della mappa delle pagine");
    const int rows = mdb_get_int16(mdb->pg_buf, mdb->fmt->row_count_offset);
    int start = 0;
    std::size_t length = 0;
    if (row >= rows || mdb_find_row(mdb, row, &start, &length) != 0 || length == 0 || (start & kDeletedRowFlag))
        Damaged(place, "mappa delle pagine non trovata (riga " + std::to_string(row) + " della pagina " +
                           PageText(mapPage) + ")",
                "usage map row missing");
}

DataPageWalk::DataPageWalk(MdbHandle* mdb, const unsigned char* usageMap, std::size_t mapSize, TablePlace place)
    : mdb_(mdb), map_(usageMap, usageMap + mapSize), place_(std::move(place)) {
    if (map_.empty()) ThrowDamage("mappa delle pagine vuota", "empty usage map");
    if (map_[0] != 0 && map_[0] != 1)
        ThrowDamage("mappa delle pagine di tipo sconosciuto", "usage map type " + std::to_string(map_[0]));
}

bool DataPageWalk::Next() { return map_[0] == 0 ? NextInInlineMap() : NextInMapPages(); }

void DataPageWalk::ThrowDamage(const std::string& what, const std::string& nativeText) const {
    Damaged(place_, what, nativeText);
}

bool DataPageWalk::NextInInlineMap() {
    if (map_.size() < kInlineMapHeader) return false;
    const unsigned long base = Le32(map_.data() + 1);
    const std::size_t bits = (map_.size() - kInlineMapHeader) * 8;
    for (; bit_ < bits; ++bit_) {
        if (!(map_[kInlineMapHeader + bit_ / 8] & (1u << (bit_ % 8)))) continue;
        const unsigned long page = base + static_cast<unsigned long>(bit_++);
        ReadDataPage(page);
        return true;
    }
    return false;
}

bool DataPageWalk::NextInMapPages() {
    const auto pageSize = static_cast<std::size_t>(mdb_->fmt->pg_size);
    const std::size_t bitsPerMapPage = (pageSize - kMapPageHeader) * 8;
    const std::size_t entries = (map_.size() - 1) / 4;
    for (; entry_ < entries; ++entry_, bit_ = 0, entryLoaded_ = false) {
        if (!entryLoaded_) {
            const unsigned long mapPage = Le32(map_.data() + 1 + entry_ * 4);
            if (mapPage == 0) continue;
            // Kept apart: the row decoder reads long values through the
            // handle's second buffer while this walk is under way.
            ReadPageOfKind(mdb_, place_, mapPage, kMapPage, "pagina della mappa delle pagine");
            mapPage_.assign(mdb_->pg_buf, mdb_->pg_buf + pageSize);
            entryLoaded_ = true;
        }
        for (; bit_ < bitsPerMapPage; ++bit_) {
            if (!(mapPage_[kMapPageHeader + bit_ / 8] & (1u << (bit_ % 8)))) continue;
            const unsigned long page = static_cast<unsigned long>(entry_ * bitsPerMapPage + bit_++);
            ReadDataPage(page);
            return true;
        }
    }
    return false;
}

void DataPageWalk::ReadDataPage(unsigned long page) {
    ReadPageOfKind(mdb_, place_, page, kDataPage, "pagina di dati");
    const std::uint32_t owner = Le32(mdb_->pg_buf + 4);
    if (owner != place_.firstPage)
        ThrowDamage("pagina di dati " + PageText(page) + " di un altro oggetto",
                    "page owner " + std::to_string(owner) + ", expected " + std::to_string(place_.firstPage));
    current_ = page;
}

}  // namespace core::access
