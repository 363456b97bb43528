#pragma once
// An Excel 97-2003 workbook (.xls, BIFF5 and BIFF8) read through FreeXL.
// FreeXL loads the whole workbook when it opens; each worksheet is then a
// table whose first row names the fields.
//
// What a read verifies: before FreeXL sees the file, every sector chain of
// the directory and the workbook stream lies inside the file and the stream
// is whole (XlsStructure.h); every cell FreeXL is asked for must be read
// (3049 otherwise).

#include <memory>
#include <string>
#include <vector>

#include "common/engine/Driver.h"

namespace core::flatfile {

class XlsWorkbook {
public:
    // Raises 3024/3011 for a missing or unreadable file, 3343 for a file
    // that is not an Excel 97-2003 workbook, 3049 for a damaged one and
    // 3011 for a workbook protected by a password (FreeXL cannot decrypt).
    static std::shared_ptr<XlsWorkbook> Open(const std::string& file);
    ~XlsWorkbook();
    XlsWorkbook(const XlsWorkbook&) = delete;
    XlsWorkbook& operator=(const XlsWorkbook&) = delete;

    const std::string& File() const { return file_; }
    const std::vector<std::string>& SheetNames() const { return sheets_; }

    // The worksheet's rows below the header; shares the workbook.
    static std::unique_ptr<Cursor> OpenSheet(const std::shared_ptr<XlsWorkbook>& book, int sheet);

    // For the cursor: makes the sheet the active one (FreeXL reads cells of
    // one sheet at a time and cursors may be open on several).
    void Select(int sheet) const;
    const void* Handle() const { return handle_; }

private:
    explicit XlsWorkbook(std::string file) : file_(std::move(file)) {}

    std::string file_;
    const void* handle_ = nullptr;
    std::vector<std::string> sheets_;
};

}  // namespace core::flatfile
