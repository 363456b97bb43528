#include "common/engine/sqlite/SchemaCheck.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <vector>

#include "common/engine/FsPath.h"

namespace core::sqlite {

namespace {

constexpr char kPlainHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f', 'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};
constexpr std::size_t kFileHeaderBytes = 100;
constexpr std::uint8_t kInteriorTablePage = 0x05;
constexpr std::uint8_t kLeafTablePage = 0x0D;
// Deeper than any real schema tree; a deeper one loops or is forged.
constexpr int kMaxDepth = 32;
// A schema record longer than this is no schema record.
constexpr std::uint64_t kMaxRecordBytes = 64u << 20;

// The damage found while reading the schema pages.
struct Damaged {
    std::string reason;
};

std::uint32_t Big16(const std::uint8_t* p) { return (std::uint32_t{p[0]} << 8) | p[1]; }
std::uint32_t Big32(const std::uint8_t* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// SQLite's variable-length integer (1 to 9 bytes, big-endian groups of 7
// bits, the ninth byte whole) at p, not reading past end.
std::uint64_t Varint(const std::uint8_t*& p, const std::uint8_t* end) {
    std::uint64_t value = 0;
    for (int i = 0; i < 9; ++i) {
        if (p >= end) throw Damaged{"truncated varint"};
        const std::uint8_t byte = *p++;
        if (i == 8) return (value << 8) | byte;
        value = (value << 7) | (byte & 0x7F);
        if (!(byte & 0x80)) return value;
    }
    return value;
}

class PageFile {
public:
    explicit PageFile(const std::string& path) : in_(FsPath(path), std::ios::binary) {}

    // False when the file is no plain SQLite file this reader can follow.
    bool ReadHeader() {
        std::uint8_t header[kFileHeaderBytes];
        if (!in_.read(reinterpret_cast<char*>(header), sizeof header)) return false;
        if (std::memcmp(header, kPlainHeader, sizeof kPlainHeader) != 0) return false;
        pageSize_ = Big16(header + 16);
        if (pageSize_ == 1) pageSize_ = 65536;
        if (pageSize_ < 512 || pageSize_ > 65536 || (pageSize_ & (pageSize_ - 1)) != 0) return false;
        usable_ = pageSize_ - header[20];
        if (usable_ < 480) return false;
        in_.seekg(0, std::ios::end);
        const auto bytes = static_cast<std::uint64_t>(in_.tellg());
        pageCount_ = bytes / pageSize_;
        return pageCount_ > 0;
    }

    std::uint32_t Usable() const { return usable_; }

    const std::vector<std::uint8_t>& Page(std::uint64_t number) {
        if (number < 1 || number > pageCount_) throw Damaged{"page " + std::to_string(number) + " out of the file"};
        page_.resize(pageSize_);
        in_.clear();
        in_.seekg(static_cast<std::streamoff>((number - 1) * pageSize_));
        if (!in_.read(reinterpret_cast<char*>(page_.data()), pageSize_))
            throw Damaged{"page " + std::to_string(number) + " unreadable"};
        return page_;
    }

private:
    std::ifstream in_;
    std::uint32_t pageSize_ = 0;
    std::uint32_t usable_ = 0;
    std::uint64_t pageCount_ = 0;
    std::vector<std::uint8_t> page_;
};

// Walks the schema table's b-tree (rooted on page 1) in rowid order, the
// order in which SQLite parses the records, and hands each record's payload
// to the check. Where the pages do not hold together the walk stops: SQLite
// stops its own reading there too and reports the file as damaged.
class SchemaWalk {
public:
    explicit SchemaWalk(PageFile& file) : file_(file) {}

    std::optional<std::string> Run() {
        try {
            Walk(1, 0);
        } catch (const Damaged&) {
            // Left to SQLite, which reports the damage itself.
        }
        return found_;
    }

private:
    void Walk(std::uint64_t number, int depth) {
        if (found_) return;
        if (depth > kMaxDepth || !visited_.insert(number).second)
            throw Damaged{"schema tree loops through page " + std::to_string(number)};
        // Copied: reading children and overflow pages reuses the buffer.
        const std::vector<std::uint8_t> page = file_.Page(number);
        const std::size_t headerAt = number == 1 ? kFileHeaderBytes : 0;
        const std::uint8_t type = page[headerAt];
        if (type != kInteriorTablePage && type != kLeafTablePage)
            throw Damaged{"page " + std::to_string(number) + " is no table page"};
        const bool leaf = type == kLeafTablePage;
        const std::size_t pointersAt = headerAt + (leaf ? 8 : 12);
        const std::uint32_t cells = Big16(&page[headerAt + 3]);
        if (pointersAt + 2 * std::size_t{cells} > file_.Usable())
            throw Damaged{"page " + std::to_string(number) + " lists too many cells"};

        for (std::uint32_t i = 0; i < cells && !found_; ++i) {
            const std::uint32_t at = Big16(&page[pointersAt + 2 * i]);
            if (at < pointersAt || at >= file_.Usable())
                throw Damaged{"cell outside page " + std::to_string(number)};
            const std::uint8_t* p = page.data() + at;
            const std::uint8_t* end = page.data() + file_.Usable();
            if (leaf) {
                const std::uint64_t payload = Varint(p, end);
                Varint(p, end);  // rowid
                Check(ReadPayload(payload, p, end));
            } else {
                if (end - p < 4) throw Damaged{"cell outside page " + std::to_string(number)};
                Walk(Big32(p), depth + 1);
            }
        }
        if (!leaf && !found_) Walk(Big32(&page[headerAt + 8]), depth + 1);
    }

    // The whole payload of a leaf cell: the part kept on the page, then the
    // chain of overflow pages.
    std::vector<std::uint8_t> ReadPayload(std::uint64_t size, const std::uint8_t* p, const std::uint8_t* end) {
        if (size > kMaxRecordBytes) throw Damaged{"schema record too long"};
        const std::uint64_t usable = file_.Usable();
        const std::uint64_t maxLocal = usable - 35;
        const std::uint64_t minLocal = (usable - 12) * 32 / 255 - 23;
        std::uint64_t local = size;
        if (size > maxLocal) {
            local = minLocal + (size - minLocal) % (usable - 4);
            if (local > maxLocal) local = minLocal;
        }
        if (static_cast<std::uint64_t>(end - p) < local + (local < size ? 4 : 0))
            throw Damaged{"schema record runs past its page"};
        std::vector<std::uint8_t> payload(p, p + local);
        if (local == size) return payload;

        std::uint64_t next = Big32(p + local);
        std::set<std::uint64_t> chain;
        while (payload.size() < size) {
            if (!chain.insert(next).second) throw Damaged{"overflow chain loops"};
            const auto& page = file_.Page(next);
            const std::uint64_t take = std::min<std::uint64_t>(size - payload.size(), usable - 4);
            payload.insert(payload.end(), page.begin() + 4, page.begin() + 4 + static_cast<std::ptrdiff_t>(take));
            next = Big32(page.data());
        }
        return payload;
    }

    // A schema record: type, name, tbl_name, rootpage, sql. Only the
    // statement matters: SQLite runs it whatever the type column says.
    void Check(const std::vector<std::uint8_t>& record) {
        const std::uint8_t* p = record.data();
        const std::uint8_t* end = p + record.size();
        const std::uint64_t headerSize = Varint(p, end);
        if (headerSize > record.size()) throw Damaged{"schema record header too long"};
        const std::uint8_t* headerEnd = record.data() + headerSize;
        std::uint64_t bodyAt = headerSize;
        for (int column = 0; p < headerEnd; ++column) {
            const std::uint64_t serial = Varint(p, headerEnd);
            const std::uint64_t length = SerialLength(serial);
            if (column == 4 && serial >= 13 && serial % 2 == 1) {
                if (bodyAt + length > record.size()) throw Damaged{"schema statement runs past its record"};
                const std::string sql(reinterpret_cast<const char*>(record.data() + bodyAt), length);
                if (IsCreateTableAsQuery(sql)) found_ = "schema holds a table made from a query: " + sql.substr(0, 200);
                return;
            }
            bodyAt += length;
        }
    }

    static std::uint64_t SerialLength(std::uint64_t serial) {
        static constexpr std::uint64_t kFixed[12] = {0, 1, 2, 3, 4, 6, 8, 8, 0, 0, 0, 0};
        if (serial == 10 || serial == 11) throw Damaged{"reserved column type in the schema"};
        if (serial < 12) return kFixed[serial];
        return (serial - 12) / 2;
    }

    PageFile& file_;
    std::set<std::uint64_t> visited_;
    std::optional<std::string> found_;
};

// The tokens of an SQL text, as far as the check needs them: words and
// quoted names (their quotes kept), single punctuation, spaces and comments
// skipped.
class Tokens {
public:
    explicit Tokens(const std::string& text) : text_(text) {}

    std::string Next() {
        SkipBlanks();
        if (at_ >= text_.size()) return {};
        const char c = text_[at_];
        const char close = c == '[' ? ']' : c;
        if (c == '"' || c == '`' || c == '\'' || c == '[') {
            const std::size_t start = at_++;
            while (at_ < text_.size()) {
                if (text_[at_++] != close) continue;
                // A doubled quote stands for itself inside the name.
                if (close != ']' && at_ < text_.size() && text_[at_] == close) {
                    ++at_;
                    continue;
                }
                break;
            }
            return text_.substr(start, at_ - start);
        }
        if (IsWordByte(c)) {
            const std::size_t start = at_;
            while (at_ < text_.size() && IsWordByte(text_[at_])) ++at_;
            return text_.substr(start, at_ - start);
        }
        return std::string(1, text_[at_++]);
    }

private:
    static bool IsWordByte(char c) {
        const auto u = static_cast<unsigned char>(c);
        return std::isalnum(u) || c == '_' || c == '$' || u >= 0x80;
    }

    void SkipBlanks() {
        while (at_ < text_.size()) {
            const auto c = static_cast<unsigned char>(text_[at_]);
            if (std::isspace(c)) {
                ++at_;
            } else if (text_.compare(at_, 2, "--") == 0) {
                const std::size_t eol = text_.find('\n', at_);
                at_ = eol == std::string::npos ? text_.size() : eol + 1;
            } else if (text_.compare(at_, 2, "/*") == 0) {
                const std::size_t close = text_.find("*/", at_ + 2);
                at_ = close == std::string::npos ? text_.size() : close + 2;
            } else {
                return;
            }
        }
    }

    const std::string& text_;
    std::size_t at_ = 0;
};

bool Is(const std::string& token, const char* word) {
    const std::size_t n = std::strlen(word);
    if (token.size() != n) return false;
    for (std::size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(token[i])) != word[i]) return false;
    return true;
}

}  // namespace

bool IsCreateTableAsQuery(const std::string& sql) {
    Tokens tokens(sql);
    if (!Is(tokens.Next(), "CREATE")) return false;
    std::string token = tokens.Next();
    if (Is(token, "TEMP") || Is(token, "TEMPORARY")) token = tokens.Next();
    if (!Is(token, "TABLE")) return false;
    token = tokens.Next();
    if (Is(token, "IF")) {
        if (!Is(tokens.Next(), "NOT") || !Is(tokens.Next(), "EXISTS")) return false;
        token = tokens.Next();
    }
    if (token.empty()) return false;  // the name
    token = tokens.Next();
    if (token == ".") {
        if (tokens.Next().empty()) return false;
        token = tokens.Next();
    }
    return Is(token, "AS");
}

std::optional<std::string> UnsafeSchemaReason(const std::string& path) {
    PageFile file(path);
    if (!file.ReadHeader()) return std::nullopt;
    return SchemaWalk(file).Run();
}

}  // namespace core::sqlite
