#include "common/engine/flatfile/XlsStructure.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace core::flatfile {
namespace {

constexpr std::uint32_t kEndOfChain = 0xFFFFFFFEu;
constexpr std::uint32_t kLastSectorNumber = 0xFFFFFFF9u;
constexpr std::size_t kEntrySize = 128;
constexpr unsigned kMaxNameBytes = 64;
constexpr std::size_t kHeaderFatSlots = 109;

std::uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}
unsigned Le16(const unsigned char* p) { return p[0] | (p[1] << 8); }

// The sectors of one compound document, read through its allocation table.
class CompoundFile {
public:
    explicit CompoundFile(std::FILE* in) : in_(in) {}

    bool ReadHeader() {
        if (std::fseek(in_, 0, SEEK_SET) != 0 || std::fread(header_, 1, sizeof header_, in_) != sizeof header_)
            return false;
        shift_ = Le16(header_ + 0x1E);
        if (shift_ != 9 && shift_ != 12) return false;
        sectorSize_ = std::size_t(1) << shift_;
        miniShift_ = Le16(header_ + 0x20);
        if (miniShift_ != 6) return false;
        return ReadFat();
    }

    // The bytes of the chain that starts at the sector, or nothing when the
    // chain leaves the table or the file.
    std::optional<std::string> Chain(std::uint32_t sector) const {
        std::string bytes;
        std::vector<unsigned char> buffer;
        for (std::size_t steps = 0; sector != kEndOfChain; ++steps) {
            if (steps > fat_.size() || sector >= fat_.size() || !ReadSector(sector, buffer)) return std::nullopt;
            bytes.append(reinterpret_cast<const char*>(buffer.data()), buffer.size());
            sector = fat_[sector];
        }
        return bytes;
    }

    // A stream kept in the small-sector store (below the header's cut-off).
    // Its small sectors live in the chain that starts at the root entry's
    // sector.
    std::optional<std::string> MiniChain(std::uint32_t sector, std::uint32_t ministreamStart) const {
        const auto ministream = Chain(ministreamStart);
        const auto minifatBytes = Chain(Le32(header_ + 0x3C));
        if (!ministream || !minifatBytes) return std::nullopt;
        const std::size_t entries = minifatBytes->size() / 4;
        const std::size_t miniSize = std::size_t(1) << miniShift_;
        const auto* table = reinterpret_cast<const unsigned char*>(minifatBytes->data());
        std::string bytes;
        for (std::size_t steps = 0; sector != kEndOfChain; ++steps) {
            if (steps > entries || sector >= entries) return std::nullopt;
            const std::size_t at = std::size_t(sector) * miniSize;
            if (at + miniSize > ministream->size()) return std::nullopt;
            bytes.append(*ministream, at, miniSize);
            sector = Le32(table + 4 * std::size_t(sector));
        }
        return bytes;
    }

    std::uint32_t DirectoryStart() const { return Le32(header_ + 0x30); }
    std::uint32_t MiniCutoff() const { return Le32(header_ + 0x38); }

private:
    bool ReadSector(std::uint32_t sector, std::vector<unsigned char>& out) const {
        if (sector > kLastSectorNumber) return false;
        out.resize(sectorSize_);
        const long offset = long((std::uint64_t(sector) + 1) << shift_);
        return std::fseek(in_, offset, SEEK_SET) == 0 && std::fread(out.data(), 1, sectorSize_, in_) == sectorSize_;
    }

    bool ReadFat() {
        const std::uint32_t fatSectors = Le32(header_ + 0x2C);
        std::vector<std::uint32_t> fatSectorList;
        for (std::size_t i = 0; i < kHeaderFatSlots && fatSectorList.size() < fatSectors; ++i)
            fatSectorList.push_back(Le32(header_ + 0x4C + 4 * i));
        std::uint32_t difat = Le32(header_ + 0x44);
        std::vector<unsigned char> buffer;
        const std::size_t perSector = sectorSize_ / 4;
        for (std::size_t steps = 0; fatSectorList.size() < fatSectors; ++steps) {
            if (steps > 1u << 20 || !ReadSector(difat, buffer)) return false;
            for (std::size_t i = 0; i + 1 < perSector && fatSectorList.size() < fatSectors; ++i)
                fatSectorList.push_back(Le32(buffer.data() + 4 * i));
            difat = Le32(buffer.data() + 4 * (perSector - 1));
        }
        for (const std::uint32_t sector : fatSectorList) {
            if (!ReadSector(sector, buffer)) return false;
            for (std::size_t i = 0; i < perSector; ++i) fat_.push_back(Le32(buffer.data() + 4 * i));
        }
        return true;
    }

    std::FILE* in_;
    unsigned char header_[512] = {};
    unsigned shift_ = 9;
    unsigned miniShift_ = 6;
    std::size_t sectorSize_ = 512;
    std::vector<std::uint32_t> fat_;
};

bool IsWorkbookName(const unsigned char* entry) {
    const unsigned nameBytes = Le16(entry + 0x40);
    std::string name;
    for (unsigned i = 0; i + 1 < nameBytes && i < kMaxNameBytes; i += 2) {
        const unsigned c = Le16(entry + i);
        if (c == 0) break;
        name += static_cast<char>(c < 128 ? (c >= 'a' && c <= 'z' ? c - 32 : c) : '?');
    }
    return name == "WORKBOOK" || name == "BOOK";
}

const unsigned char* Entry(const std::string& directory, std::size_t at) {
    return reinterpret_cast<const unsigned char*>(directory.data()) + at;
}

bool NamesSound(const std::string& directory) {
    for (std::size_t at = 0; at + kEntrySize <= directory.size(); at += kEntrySize)
        if (Le16(Entry(directory, at) + 0x40) > kMaxNameBytes) return false;
    return true;
}

std::optional<std::string> WorkbookStream(const CompoundFile& file, const std::string& directory) {
    if (directory.size() < kEntrySize) return std::nullopt;
    for (std::size_t at = 0; at + kEntrySize <= directory.size(); at += kEntrySize) {
        const unsigned char* entry = Entry(directory, at);
        if (entry[0x42] != 2 || !IsWorkbookName(entry)) continue;
        const std::uint32_t start = Le32(entry + 0x74);
        const std::uint32_t size = Le32(entry + 0x78);
        auto bytes = size < file.MiniCutoff() ? file.MiniChain(start, Le32(Entry(directory, 0) + 0x74))
                                              : file.Chain(start);
        if (!bytes || bytes->size() < size) return std::nullopt;
        bytes->resize(size);
        return bytes;
    }
    return std::nullopt;
}

constexpr unsigned kBof = 0x0809;
constexpr unsigned kEof = 0x000A;
constexpr unsigned kDimension = 0x0200;
constexpr unsigned kBoundSheet = 0x0085;
constexpr unsigned kSst = 0x00FC;
constexpr unsigned kContinue = 0x003C;
constexpr unsigned kBiff8 = 0x0600;

struct Record {
    unsigned type = 0;
    const unsigned char* data = nullptr;
    std::size_t length = 0;
    std::size_t at = 0;  // offset of the record's header in the stream
};

// The records of a BIFF stream, up to one that would run past its end (which
// matters only inside a substream: see BiffStreamSound).
void SplitRecords(const std::string& stream, std::vector<Record>& out) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(stream.data());
    std::size_t at = 0;
    for (; at + 4 <= stream.size();) {
        const std::size_t length = Le16(bytes + at + 2);
        if (at + 4 + length > stream.size()) return;
        out.push_back(Record{Le16(bytes + at), bytes + at + 4, length, at});
        at += 4 + length;
    }
}

// The cells with a value that a record places: its row and its first and
// last column. Blank cells (formatting only) are left out.
struct CellPlace {
    unsigned row, firstCol, lastCol;
};
std::optional<CellPlace> CellOf(const Record& r) {
    switch (r.type) {
        case 0x0006: case 0x00D6: case 0x00FD: case 0x0203: case 0x0204: case 0x0205: case 0x027E:
            if (r.length < 4) return CellPlace{~0u, 0, 0};
            return CellPlace{Le16(r.data), Le16(r.data + 2), Le16(r.data + 2)};
        case 0x00BD:  // MULRK: row, first column, ..., last column
            if (r.length < 6) return CellPlace{~0u, 0, 0};
            return CellPlace{Le16(r.data), Le16(r.data + 2), Le16(r.data + r.length - 2)};
        default:
            return std::nullopt;
    }
}

// One sheet's DIMENSION, of its version's length, with bounds that fit the
// format (65,536 rows and 256 columns in BIFF8). Its ends are exclusive.
struct Dimension {
    std::uint32_t rowEnd = 0;
    unsigned colEnd = 0;
};
std::optional<Dimension> ReadDimension(const Record& r, unsigned version) {
    if (version == kBiff8) {
        if (r.length != 14) return std::nullopt;
        const std::uint32_t firstRow = Le32(r.data), lastRow = Le32(r.data + 4);
        const unsigned firstCol = Le16(r.data + 8), lastCol = Le16(r.data + 10);
        if (firstRow > lastRow || lastRow > 65536 || firstCol > lastCol || lastCol > 256) return std::nullopt;
        return Dimension{lastRow, lastCol};
    }
    if (r.length != 10) return std::nullopt;
    if (Le16(r.data) > Le16(r.data + 2) || Le16(r.data + 4) > Le16(r.data + 6)) return std::nullopt;
    return Dimension{Le16(r.data + 2), Le16(r.data + 6)};
}

// The shared-string table (SST and its CONTINUE records) read string by
// string: exactly as many strings as it declares, filling it exactly, none
// with a NUL character. A stretch of the table overwritten by zeros breaks
// one of the three.
class SharedStrings {
public:
    explicit SharedStrings(std::vector<const Record*> parts) : parts_(std::move(parts)) {}

    bool Sound() {
        if (parts_.empty() || parts_[0]->length < 8) return false;
        const std::uint32_t unique = Le32(parts_[0]->data + 4);
        offset_ = 8;
        for (std::uint32_t i = 0; i < unique; ++i)
            if (!ReadString()) return false;
        return part_ == parts_.size() - 1 ? offset_ == parts_[part_]->length : false;
    }

private:
    bool AtPartEnd() const { return offset_ >= parts_[part_]->length; }
    // Moves into the next CONTINUE when the current part is used up.
    bool Ensure() {
        while (AtPartEnd()) {
            if (part_ + 1 >= parts_.size()) return false;
            ++part_;
            offset_ = 0;
        }
        return true;
    }
    bool Byte(unsigned& out) {
        if (!Ensure()) return false;
        out = parts_[part_]->data[offset_++];
        return true;
    }
    bool Word(unsigned& out) {
        unsigned lo = 0, hi = 0;
        if (!Byte(lo) || !Byte(hi)) return false;
        out = lo | hi << 8;
        return true;
    }
    bool Skip(std::uint64_t n) {
        while (n > 0) {
            if (!Ensure()) return false;
            const std::size_t step = std::min<std::uint64_t>(n, parts_[part_]->length - offset_);
            offset_ += step;
            n -= step;
        }
        return true;
    }
    bool ReadString() {
        unsigned chars = 0, flags = 0;
        if (!Word(chars) || !Byte(flags)) return false;
        unsigned runs = 0;
        std::uint32_t extra = 0;
        if (flags & 0x08 && !Word(runs)) return false;
        if (flags & 0x04) {
            unsigned lo = 0, hi = 0;
            if (!Word(lo) || !Word(hi)) return false;
            extra = lo | std::uint32_t(hi) << 16;
        }
        bool wide = flags & 0x01;
        for (unsigned i = 0; i < chars; ++i) {
            // Characters continued in the next record start with a new
            // flags byte that says their width.
            if (AtPartEnd()) {
                if (!Ensure()) return false;
                unsigned continued = 0;
                if (!Byte(continued)) return false;
                wide = continued & 0x01;
            }
            unsigned c = 0;
            if (wide ? !Word(c) : !Byte(c)) return false;
            if (c == 0) return false;
        }
        return Skip(std::uint64_t(runs) * 4 + extra);
    }

    std::vector<const Record*> parts_;
    std::size_t part_ = 0;
    std::size_t offset_ = 0;
};

// The workbook stream's records, substream by substream: every sheet the
// globals list starts with a BOF where its entry says; no substream holds a
// record of type 0 (what a stretch of zeros reads as) or ends without its
// EOF; each sheet has at most one sound DIMENSION and every cell with a
// value lies inside it; the shared strings fill their table exactly.
bool BiffStreamSound(const std::string& stream) {
    std::vector<Record> records;
    SplitRecords(stream, records);
    std::vector<std::size_t> sheetStarts;
    std::vector<const Record*> sst;
    unsigned version = kBiff8;
    bool inside = false;
    int nested = 0;  // substreams inside a sheet (an embedded chart)
    bool sstOpen = false;
    int dimensions = 0;
    std::optional<Dimension> dimension;
    std::vector<std::size_t> bofOffsets;
    std::size_t substreams = 0;
    for (const Record& r : records) {
        if (!inside) {
            if (r.type == 0) continue;  // padding after the last EOF
            if (r.type != kBof) return false;
            inside = true;
            ++substreams;
            bofOffsets.push_back(r.at);
            dimensions = 0;
            dimension.reset();
            if (r.length >= 2) version = Le16(r.data);
            continue;
        }
        if (sstOpen && r.type != kContinue) sstOpen = false;
        switch (r.type) {
            case 0:
                return false;
            case kBof:
                ++nested;
                break;
            case kEof:
                if (nested > 0)
                    --nested;
                else
                    inside = false;
                break;
            case kDimension:
                if (++dimensions > 1) return false;
                dimension = ReadDimension(r, version);
                if (!dimension) return false;
                break;
            case kBoundSheet:
                if (substreams == 1 && r.length >= 4) sheetStarts.push_back(Le32(r.data));
                break;
            case kSst:
                if (substreams != 1 || !sst.empty()) return false;
                sst.push_back(&r);
                sstOpen = true;
                break;
            case kContinue:
                if (sstOpen) sst.push_back(&r);
                break;
            default:
                if (const auto cell = CellOf(r); cell && dimension)
                    if (cell->row >= dimension->rowEnd || cell->lastCol >= dimension->colEnd ||
                        cell->firstCol > cell->lastCol)
                        return false;
        }
    }
    if (inside || substreams == 0) return false;
    for (const std::size_t start : sheetStarts)
        if (std::find(bofOffsets.begin(), bofOffsets.end(), start) == bofOffsets.end()) return false;
    return sst.empty() || SharedStrings(sst).Sound();
}

}  // namespace

bool WorkbookStructureSound(std::FILE* in) {
    CompoundFile file(in);
    if (!file.ReadHeader()) return false;
    const auto directory = file.Chain(file.DirectoryStart());
    if (!directory || !NamesSound(*directory)) return false;
    const auto stream = WorkbookStream(file, *directory);
    return stream && BiffStreamSound(*stream);
}

}  // namespace core::flatfile
