#include "common/engine/flatfile/XlsWorkbook.h"

#include <freexl.h>

#include <cstdio>
#include <cstring>

#include "common/engine/flatfile/FlatFileSupport.h"
#include "common/engine/flatfile/XlsStructure.h"

namespace core::flatfile {
namespace {

std::string NativeText(int code) { return "FreeXL " + std::to_string(code); }

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
        if (!WorkbookStructureSound(in.get()))
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
