#include "common/engine/flatfile/XlsWorkbook.h"

#include <freexl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/engine/flatfile/FlatFileSupport.h"
#include "common/engine/flatfile/XlsDimensions.h"

namespace core::flatfile {
namespace {

std::string NativeText(int code) { return "FreeXL " + std::to_string(code); }

std::uint32_t Le32(const unsigned char* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24);
}

// FreeXL converts each directory entry's name with the length stored in
// the entry and reads past the 128-byte entry when that length is damaged
// (more than the 64 bytes a name can hold), so the directory is checked
// here first. Walks the directory chain through the FAT sectors listed in
// the header; a chain that leaves those is not followed further (FreeXL
// would read it, but no such file has turned up damaged in this way).
bool DirectoryNamesSound(std::FILE* in) {
    unsigned char header[512];
    if (std::fseek(in, 0, SEEK_SET) != 0 || std::fread(header, 1, sizeof header, in) != sizeof header)
        return false;
    const unsigned shift = header[0x1E] | (header[0x1F] << 8);
    if (shift != 9 && shift != 12) return false;
    const std::size_t sectorSize = std::size_t(1) << shift;
    auto readSector = [&](std::uint32_t sector, std::vector<unsigned char>& out) {
        out.resize(sectorSize);
        const long offset = long((std::uint64_t(sector) + 1) << shift);
        return sector < 0xFFFFFFFAu && std::fseek(in, offset, SEEK_SET) == 0 &&
               std::fread(out.data(), 1, sectorSize, in) == sectorSize;
    };
    const std::size_t perSector = sectorSize / 4;
    std::vector<unsigned char> fatSector, dirSector;
    std::uint32_t sector = Le32(header + 0x30);
    for (int steps = 0; sector != 0xFFFFFFFEu; ++steps) {
        if (steps > 100000 || !readSector(sector, dirSector)) return false;
        for (std::size_t entry = 0; entry + 128 <= sectorSize; entry += 128) {
            const unsigned nameBytes = dirSector[entry + 0x40] | (dirSector[entry + 0x41] << 8);
            if (nameBytes > 64) return false;
        }
        const std::size_t fatIndex = sector / perSector;
        if (fatIndex >= 109) return true;
        if (!readSector(Le32(header + 0x4C + 4 * fatIndex), fatSector)) return false;
        sector = Le32(fatSector.data() + 4 * (sector % perSector));
    }
    return true;
}

}  // namespace

std::shared_ptr<XlsWorkbook> XlsWorkbook::Open(const std::string& file) {
    // FreeXL opens by name and reports every failure alike: test here that
    // the file can be read (missing and locked files get their own message)
    // and that it has the compound-document signature (a text or a newer
    // .xlsx is another format, not a damaged workbook).
    {
        FilePtr in = OpenForReading(FsPath(file));
        if (!in) FailUnreadable(file);
        char signature[8] = {};
        if (std::fread(signature, 1, 8, in.get()) != 8 ||
            std::memcmp(signature, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0)
            Fail(err::NotADatabase,
                 "Il file '" + file + "' non è una cartella di lavoro di Excel 97-2003 (.xls).");
        if (!DirectoryNamesSound(in.get()) || !WorkbookDimensionsSound(in.get()))
            FailDamaged(file, "la cartella di lavoro è danneggiata o troncata");
    }

    std::shared_ptr<XlsWorkbook> book(new XlsWorkbook(file));
    const int rc = freexl_open(file.c_str(), &book->handle_);
    if (rc != FREEXL_OK) {
        switch (rc) {
            case FREEXL_FILE_NOT_FOUND:
                FailUnreadable(file);
            case FREEXL_INVALID_CFBF_HEADER:
            case FREEXL_CFBF_INVALID_SIGNATURE:
            case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
            case FREEXL_BIFF_INVALID_BOF:
                Fail(err::NotADatabase, "Il file '" + file +
                                            "' non è una cartella di lavoro di Excel 97-2003 (.xls).",
                     NativeText(rc));
            case FREEXL_INSUFFICIENT_MEMORY:
                Fail(err::ReservedError, "Memoria insufficiente per leggere il file '" + file + "'.",
                     NativeText(rc));
            default:
                FailDamaged(file, "la cartella di lavoro è danneggiata o troncata", NativeText(rc));
        }
    }
    unsigned int info = 0;
    if (freexl_get_info(book->handle_, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED)
        Fail(err::CannotOpenFile, "Il file '" + file + "' è protetto da password e non può essere "
                                      "letto: salvarlo senza password e riprovare.");
    unsigned int count = 0;
    if (freexl_get_info(book->handle_, FREEXL_BIFF_SHEET_COUNT, &count) != FREEXL_OK)
        FailDamaged(file, "l'elenco dei fogli non si legge");
    for (unsigned int i = 0; i < count; ++i) {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(book->handle_, static_cast<unsigned short>(i), &name) != FREEXL_OK)
            FailDamaged(file, "il nome di un foglio non si legge");
        book->sheets_.emplace_back(name ? name : "");
    }
    return book;
}

XlsWorkbook::~XlsWorkbook() {
    // FreeXL wants its handle closed even after a failed open.
    if (handle_) freexl_close(handle_);
}

void XlsWorkbook::Select(int sheet) const {
    const int rc = freexl_select_active_worksheet(handle_, static_cast<unsigned short>(sheet));
    if (rc != FREEXL_OK) FailDamaged(file_, "un foglio non si apre", NativeText(rc));
}

}  // namespace core::flatfile
