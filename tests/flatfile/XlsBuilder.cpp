#include "XlsBuilder.h"

#include <cstring>
#include <map>

namespace flatfiletest {
namespace {

void Put16(std::string& out, std::uint16_t v) {
    out += char(v & 0xFF);
    out += char(v >> 8);
}
void Put32(std::string& out, std::uint32_t v) {
    Put16(out, std::uint16_t(v & 0xFFFF));
    Put16(out, std::uint16_t(v >> 16));
}
void PutDouble(std::string& out, double v) {
    char b[8];
    std::memcpy(b, &v, 8);
    out.append(b, 8);
}
void PutUtf16(std::string& out, const std::u16string& s) {
    for (char16_t c : s) Put16(out, std::uint16_t(c));
}

void Record(std::string& out, std::uint16_t type, const std::string& body) {
    Put16(out, type);
    Put16(out, std::uint16_t(body.size()));
    out += body;
}

std::string Bof(std::uint16_t kind) {
    std::string b;
    Put16(b, 0x0600);  // BIFF8
    Put16(b, kind);    // 0x0005 workbook globals, 0x0010 worksheet
    Put16(b, 0x0DBB);
    Put16(b, 0x07CC);
    Put32(b, 0);
    Put32(b, 0x06);
    return b;
}

std::string Xf(std::uint16_t format) {
    std::string b;
    Put16(b, 0);       // font
    Put16(b, format);  // number format: 0 General, 14 date, 22 date and time
    Put16(b, 0x0001);  // cell, locked
    b.append(14, '\0');
    return b;
}

std::string CellHead(int row, int col, std::uint16_t xf) {
    std::string b;
    Put16(b, std::uint16_t(row));
    Put16(b, std::uint16_t(col));
    Put16(b, xf);
    return b;
}

std::string SheetStream(const XlsSheet& sheet, const std::map<std::u16string, std::uint32_t>& sst) {
    std::string s;
    Record(s, 0x0809, Bof(0x0010));
    std::size_t cols = 0;
    for (const auto& row : sheet.rows) cols = std::max(cols, row.size());
    std::string dim;
    Put32(dim, 0);
    Put32(dim, std::uint32_t(sheet.rows.size()));
    Put16(dim, 0);
    Put16(dim, std::uint16_t(cols));
    Put16(dim, 0);
    Record(s, 0x0200, dim);
    for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
        for (std::size_t c = 0; c < sheet.rows[r].size(); ++c) {
            const XlsCell& cell = sheet.rows[r][c];
            if (const auto* text = std::get_if<std::u16string>(&cell)) {
                std::string b = CellHead(int(r), int(c), 0);
                Put32(b, sst.at(*text));
                Record(s, 0x00FD, b);
            } else if (const auto* number = std::get_if<double>(&cell)) {
                std::string b = CellHead(int(r), int(c), 0);
                PutDouble(b, *number);
                Record(s, 0x0203, b);
            } else if (const auto* rk = std::get_if<XlsRk>(&cell)) {
                std::string b = CellHead(int(r), int(c), 0);
                Put32(b, (std::uint32_t(rk->value) << 2) | 0x02);
                Record(s, 0x027E, b);
            } else if (const auto* date = std::get_if<XlsDate>(&cell)) {
                std::string b = CellHead(int(r), int(c), date->withTime ? 2 : 1);
                PutDouble(b, date->serial);
                Record(s, 0x0203, b);
            } else {
                Record(s, 0x0201, CellHead(int(r), int(c), 0));
            }
        }
    }
    Record(s, 0x000A, "");
    return s;
}

// The BIFF8 stream: globals (code page, date mode, formats, shared strings,
// sheet list) followed by each sheet.
std::string WorkbookStream(const std::vector<XlsSheet>& sheets) {
    std::map<std::u16string, std::uint32_t> sst;
    std::vector<std::u16string> strings;
    std::uint32_t total = 0;
    for (const auto& sheet : sheets)
        for (const auto& row : sheet.rows)
            for (const auto& cell : row)
                if (const auto* text = std::get_if<std::u16string>(&cell)) {
                    ++total;
                    if (sst.emplace(*text, std::uint32_t(strings.size())).second) strings.push_back(*text);
                }

    std::string globals;
    Record(globals, 0x0809, Bof(0x0005));
    std::string cp;
    Put16(cp, 0x04B0);
    Record(globals, 0x0042, cp);
    std::string mode;
    Put16(mode, 0);
    Record(globals, 0x0022, mode);
    Record(globals, 0x00E0, Xf(0));
    Record(globals, 0x00E0, Xf(14));
    Record(globals, 0x00E0, Xf(22));
    // Padding keeps the stream above 4096 bytes, so that it lives in
    // ordinary sectors and no mini stream is needed.
    Record(globals, 0x005C, std::string(4200, ' '));
    std::string table;
    Put32(table, total);
    Put32(table, std::uint32_t(strings.size()));
    for (const auto& s : strings) {
        Put16(table, std::uint16_t(s.size()));
        table += char(0x01);  // UTF-16
        PutUtf16(table, s);
    }
    Record(globals, 0x00FC, table);

    // Sheet entries carry the stream offset of each sheet's BOF, known only
    // once the globals' length is: compute it with placeholders first.
    std::vector<std::string> bodies;
    for (const auto& sheet : sheets) bodies.push_back(SheetStream(sheet, sst));
    std::size_t boundsheetBytes = 0;
    for (const auto& sheet : sheets) boundsheetBytes += 4 + 8 + 2 * sheet.name.size();
    std::size_t offset = globals.size() + boundsheetBytes + 4;  // + EOF
    std::string list;
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        std::string b;
        Put32(b, std::uint32_t(offset));
        Put16(b, 0);
        b += char(sheets[i].name.size());
        b += char(0x01);
        PutUtf16(b, sheets[i].name);
        Record(list, 0x0085, b);
        offset += bodies[i].size();
    }
    std::string out = globals + list;
    Record(out, 0x000A, "");
    for (const auto& body : bodies) out += body;
    return out;
}

constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD;

std::string DirectoryEntry(const std::u16string& name, std::uint8_t type, std::uint32_t child,
                           std::uint32_t start, std::uint32_t size) {
    std::string e;
    std::string n;
    PutUtf16(n, name);
    n.resize(64, '\0');
    e += n;
    Put16(e, name.empty() ? 0 : std::uint16_t((name.size() + 1) * 2));
    e += char(type);
    e += char(1);  // black
    Put32(e, kFree);
    Put32(e, kFree);
    Put32(e, child);
    e.append(16 + 4 + 16, '\0');  // class id, state bits, times
    Put32(e, start);
    Put32(e, size);
    Put32(e, 0);
    return e;
}

}  // namespace

std::string BuildXls(const std::vector<XlsSheet>& sheets) {
    std::string stream = WorkbookStream(sheets);
    const std::uint32_t size = std::uint32_t(stream.size());
    stream.resize((stream.size() + 511) / 512 * 512, '\0');
    const std::uint32_t sectors = std::uint32_t(stream.size() / 512);

    std::string header;
    header += "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1";
    header.append(16, '\0');
    Put16(header, 0x003E);
    Put16(header, 0x0003);
    Put16(header, 0xFFFE);
    Put16(header, 9);  // 512-byte sectors
    Put16(header, 6);
    header.append(6, '\0');
    Put32(header, 0);     // directory sectors (version 3: 0)
    Put32(header, 1);     // FAT sectors
    Put32(header, 1);     // first directory sector
    Put32(header, 0);
    Put32(header, 4096);  // mini stream cutoff
    Put32(header, kEnd);  // no mini FAT
    Put32(header, 0);
    Put32(header, kEnd);  // no DIFAT
    Put32(header, 0);
    Put32(header, 0);     // the FAT is sector 0
    for (int i = 1; i < 109; ++i) Put32(header, kFree);

    std::string fat;
    Put32(fat, kFatSector);
    Put32(fat, kEnd);
    for (std::uint32_t i = 0; i < sectors; ++i) Put32(fat, i + 1 == sectors ? kEnd : 3 + i);
    while (fat.size() < 512) Put32(fat, kFree);

    std::string dir = DirectoryEntry(u"Root Entry", 5, 1, kEnd, 0) +
                      DirectoryEntry(u"Workbook", 2, kFree, 2, size) +
                      DirectoryEntry(u"", 0, kFree, 0, 0) + DirectoryEntry(u"", 0, kFree, 0, 0);
    return header + fat + dir + stream;
}

}  // namespace flatfiletest
