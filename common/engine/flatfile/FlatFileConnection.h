#pragma once
// A connection on one file (or on a folder of files of one format). The
// file itself is the table: its own name ("clienti.dbf") names it, and an
// Excel workbook has one table per worksheet ("Foglio1$").

#include <memory>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/flatfile/FlatFileDriver.h"
#include "common/engine/flatfile/TextTable.h"

namespace core::flatfile {

class XlsWorkbook;

class FlatFileConnection final : public Connection {
public:
    // Checks the file (or every table of the folder is checked when opened)
    // and raises the format's error for one that cannot be read.
    FlatFileConnection(std::string path, FileFormat format);

    std::vector<std::string> TableNames() override;
    std::unique_ptr<Cursor> OpenCursor(const std::string& sql) override;
    long long Execute(const std::string& sql) override;
    // Reads the table once to its end: one file is as cheap to read as to
    // check, and every check of DbfTable.h, TextTable.h and XlsWorkbook.h
    // then runs before the caller writes anything.
    void Verify(const std::string& table) override;
    bool ReadOnly() const override { return true; }
    std::string Name() const override { return path_; }

private:
    std::unique_ptr<Cursor> OpenTable(const std::string& table);
    std::unique_ptr<Cursor> OpenFile(const std::string& file);
    std::string FindFileTable(const std::string& table);
    const TextLayout& LayoutOf(const std::string& file);
    std::vector<std::string> FolderFiles() const;

    std::string path_;
    FileFormat format_;
    bool folder_ = false;
    std::shared_ptr<XlsWorkbook> book_;
    // The text layout costs a pass over the file; kept while the file is unchanged.
    std::string layoutFile_;
    std::unique_ptr<TextLayout> layout_;
};

}  // namespace core::flatfile
