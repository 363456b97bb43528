#include "common/engine/access/AccessValues.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

namespace core::access {

namespace {

constexpr int kLongValueHeader = 12;  // MDB_MEMO_OVERHEAD
constexpr std::uint32_t kInlineFlag = 0x80000000u;
constexpr std::uint32_t kSingleRowFlag = 0x40000000u;
constexpr std::uint32_t kLengthMask = 0x3FFFFFFFu;
constexpr int kRowOffsetMask = 0x1FFF;
constexpr int kDeletedRowFlag = 0x4000;
constexpr std::uint8_t kDataPageKind = 0x01;
// The engine's date range: 1 January 100 to 31 December 9999.
constexpr double kFirstSerial = -657434.0;
constexpr double kLastSerial = 2958466.0;

std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::uint64_t Le64(const std::uint8_t* p) { return std::uint64_t(Le32(p)) | std::uint64_t(Le32(p + 4)) << 32; }

double LeDouble(const std::uint8_t* p) {
    const std::uint64_t bits = Le64(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

float LeFloat(const std::uint8_t* p) {
    const std::uint32_t bits = Le32(p);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

}  // namespace

FieldInfo DescribeColumn(const MdbColumn& column, JetFormat format) {
    FieldInfo info;
    info.name = column.name;
    info.autoIncrement = column.is_long_auto != 0;
    switch (column.col_type) {
        case MDB_BOOL: info.type = DataType::Boolean; info.size = 1; break;
        case MDB_BYTE: info.type = DataType::Byte; info.size = 1; break;
        case MDB_INT: info.type = DataType::Integer; info.size = 2; break;
        case MDB_LONGINT: info.type = DataType::Long; info.size = 4; break;
        case MDB_MONEY: info.type = DataType::Currency; info.size = 8; break;
        case MDB_FLOAT: info.type = DataType::Single; info.size = 4; break;
        case MDB_DOUBLE: info.type = DataType::Double; info.size = 8; break;
        case MDB_DATETIME: info.type = DataType::Date; info.size = 8; break;
        case MDB_BINARY: info.type = DataType::Binary; info.size = column.col_size; break;
        case MDB_TEXT:
            info.type = DataType::Text;
            info.size = format == JetFormat::Jet3 ? column.col_size : column.col_size / 2;
            break;
        case MDB_OLE: info.type = DataType::LongBinary; info.size = 0; break;
        case MDB_MEMO: info.type = DataType::Memo; info.size = 0; break;
        case MDB_REPID: info.type = DataType::Guid; info.size = 16; break;
        case MDB_NUMERIC: info.type = DataType::Decimal; info.size = 16; break;
        // An attachment or multi-valued field: the row holds the 32-bit key
        // of its values in a hidden table.
        case MDB_COMPLEX: info.type = DataType::Long; info.size = 4; break;
        default: info.type = DataType::Binary; info.size = column.col_size; break;
    }
    return info;
}

double SingleToDouble(float value) {
    if (!std::isfinite(value)) return static_cast<double>(value);
    char text[64];
    const auto written = std::to_chars(text, text + sizeof text, value);
    double result = static_cast<double>(value);
    std::from_chars(text, written.ptr, result);
    return result;
}

std::string GuidText(const std::uint8_t* d) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    // The first three groups are little-endian integers, the rest bytes.
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    std::string out = "{";
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out.push_back('-');
        out.push_back(kHex[d[kOrder[i]] >> 4]);
        out.push_back(kHex[d[kOrder[i]] & 0xF]);
    }
    out.push_back('}');
    return out;
}

std::optional<Variant> DecodeFixedValue(int mdbType, const std::uint8_t* d, std::size_t size) {
    auto need = [size](std::size_t n) { return size >= n; };
    switch (mdbType) {
        case MDB_BYTE:
            if (!need(1)) return std::nullopt;
            return Variant(static_cast<long long>(d[0]));
        case MDB_INT:
            if (!need(2)) return std::nullopt;
            return Variant(static_cast<long long>(static_cast<std::int16_t>(Le16(d))));
        case MDB_LONGINT:
        case MDB_COMPLEX:
            if (!need(4)) return std::nullopt;
            return Variant(static_cast<long long>(static_cast<std::int32_t>(Le32(d))));
        case MDB_MONEY:
            if (!need(8)) return std::nullopt;
            return Variant(Currency{static_cast<std::int64_t>(Le64(d))});
        case MDB_FLOAT:
            if (!need(4)) return std::nullopt;
            return Variant(SingleToDouble(LeFloat(d)));
        case MDB_DOUBLE:
            if (!need(8)) return std::nullopt;
            return Variant(LeDouble(d));
        case MDB_DATETIME: {
            if (!need(8)) return std::nullopt;
            const double serial = LeDouble(d);
            if (!std::isfinite(serial) || serial <= kFirstSerial - 1 || serial >= kLastSerial)
                return std::nullopt;
            return Variant(DateTime::FromSerial(serial));
        }
        case MDB_REPID:
            if (!need(16)) return std::nullopt;
            return Variant(GuidText(d));
        default:
            return Variant(Bytes(d, d + size));
    }
}

namespace {

// One row of a long-value page, read into the handle's second buffer: the
// page must be a data page inside the file and the row a live one whose
// bytes lie inside the page (libmdb hands on whatever its buffer held when
// the page cannot be read, and does not check the row).
struct LongValueRow {
    const std::uint8_t* data = nullptr;
    std::size_t length = 0;
};
std::optional<LongValueRow> FindLongValueRow(MdbHandle* handle, std::int32_t pageRow) {
    void* buffer = nullptr;
    int offset = 0;
    std::size_t rowLength = 0;
    if (mdb_find_pg_row(handle, pageRow, &buffer, &offset, &rowLength) != 0) return std::nullopt;
    const auto* page = static_cast<const std::uint8_t*>(buffer);
    const auto pageSize = static_cast<std::size_t>(handle->fmt->pg_size);
    const std::size_t countAt = handle->fmt->row_count_offset;
    const unsigned row = static_cast<std::uint32_t>(pageRow) & 0xFFu;
    if (page[0] != kDataPageKind || row >= Le16(page + countAt)) return std::nullopt;
    const std::uint16_t entry = Le16(page + countAt + 2 + 2 * row);
    if (entry & kDeletedRowFlag) return std::nullopt;
    const std::size_t begin = entry & kRowOffsetMask;
    const std::size_t end = row == 0 ? pageSize : (Le16(page + countAt + 2 * row) & kRowOffsetMask);
    if (begin > end || end > pageSize) return std::nullopt;
    return LongValueRow{page + begin, end - begin};
}

}  // namespace

std::optional<Bytes> ReadLongValue(MdbHandle* handle, int start, int size) {
    if (size < kLongValueHeader) return Bytes();
    const std::uint8_t* field = handle->pg_buf + start;
    const std::uint32_t header = Le32(field);
    const std::uint32_t length = header & kLengthMask;

    if (header & kInlineFlag) {
        const std::size_t n = static_cast<std::size_t>(size - kLongValueHeader);
        return Bytes(field + kLongValueHeader, field + kLongValueHeader + std::min<std::size_t>(n, length));
    }
    std::int32_t pageRow = static_cast<std::int32_t>(Le32(field + 4));
    if (header & kSingleRowFlag) {
        const auto row = FindLongValueRow(handle, pageRow);
        if (!row || row->length < length) return std::nullopt;
        return Bytes(row->data, row->data + length);
    }
    if ((header & ~kLengthMask) != 0) return std::nullopt;

    // A chain of long-value rows, each starting with the page and row of the
    // next. Every link must bring data, so a damaged chain that loops ends.
    Bytes out;
    out.reserve(std::min<std::uint32_t>(length, 64u << 20));
    while (pageRow != 0 && out.size() < length) {
        const auto row = FindLongValueRow(handle, pageRow);
        if (!row || row->length <= 4) return std::nullopt;
        pageRow = static_cast<std::int32_t>(Le32(row->data));
        out.insert(out.end(), row->data + 4, row->data + row->length);
    }
    if (out.size() < length) return std::nullopt;
    out.resize(length);
    return out;
}

}  // namespace core::access
