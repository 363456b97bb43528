#include "common/engine/flatfile/XlsStructure.h"

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
constexpr unsigned kBiff8 = 0x0600;

// One sheet's DIMENSION: at most one, of its version's length, with bounds
// that fit the format (65,536 rows and 256 columns in BIFF8).
bool DimensionsSound(const std::string& stream) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(stream.data());
    unsigned version = kBiff8;
    int dimensions = 0;
    for (std::size_t at = 0; at + 4 <= stream.size();) {
        const unsigned type = Le16(bytes + at);
        const std::size_t length = Le16(bytes + at + 2);
        const unsigned char* data = bytes + at + 4;
        if (at + 4 + length > stream.size()) return true;  // a short tail: FreeXL stops there
        if (type == kBof) {
            dimensions = 0;
            if (length >= 2) version = Le16(data);
        } else if (type == kDimension) {
            if (++dimensions > 1) return false;
            if (version == kBiff8) {
                if (length != 14) return false;
                const std::uint32_t firstRow = Le32(data), lastRow = Le32(data + 4);
                const unsigned firstCol = Le16(data + 8), lastCol = Le16(data + 10);
                if (firstRow > lastRow || lastRow > 65536 || firstCol > lastCol || lastCol > 256) return false;
            } else {
                if (length != 10) return false;
                if (Le16(data) > Le16(data + 2) || Le16(data + 4) > Le16(data + 6)) return false;
            }
        } else if (type == kEof) {
            dimensions = 0;
        }
        at += 4 + length;
    }
    return true;
}

}  // namespace

bool WorkbookStructureSound(std::FILE* in) {
    CompoundFile file(in);
    if (!file.ReadHeader()) return false;
    const auto directory = file.Chain(file.DirectoryStart());
    if (!directory || !NamesSound(*directory)) return false;
    const auto stream = WorkbookStream(file, *directory);
    return stream && DimensionsSound(*stream);
}

}  // namespace core::flatfile
