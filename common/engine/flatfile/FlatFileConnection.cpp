#include "common/engine/flatfile/FlatFileConnection.h"

#include <QString>
#include <algorithm>
#include <system_error>

#include "common/engine/SimpleSql.h"
#include "common/engine/flatfile/DbfTable.h"
#include "common/engine/flatfile/FlatFileSupport.h"
#include "common/engine/flatfile/XlsWorkbook.h"

namespace core::flatfile {
namespace {

bool HasExtension(const std::string& name, FileFormat format) {
    const QString ext = QString::fromStdString(name).section('.', -1).toLower();
    if (!QString::fromStdString(name).contains('.')) return false;
    if (format == FileFormat::Dbase) return ext == "dbf";
    return ext == "csv" || ext == "txt" || ext == "tab" || ext == "asc";
}

// A table named by its file: "clienti.dbf", the older "clienti#dbf", the
// bare "clienti", or the file's whole path (what a caller that cuts the name
// at the last backslash passes on a system whose paths have none).
bool NamesFile(const std::string& table, const std::string& fileName) {
    if (text::SameTextIgnoringCase(table, fileName)) return true;
    if (const std::string last = FileNameOf(table); last != table) return NamesFile(last, fileName);
    std::string hashed = fileName;
    const auto dot = hashed.rfind('.');
    if (dot == std::string::npos) return false;
    hashed[dot] = '#';
    return text::SameTextIgnoringCase(table, hashed) ||
           text::SameTextIgnoringCase(table, fileName.substr(0, dot));
}

[[noreturn]] void FailNoTable(const std::string& table) {
    Fail(err::TableNotFound, "Impossibile trovare la tabella o la query di input '" + table +
                                 "'. Verificare che esista e che il nome sia digitato correttamente.");
}

}  // namespace

FlatFileConnection::FlatFileConnection(std::string path, FileFormat format)
    : path_(std::move(path)), format_(format) {
    std::error_code ec;
    const auto fsPath = FsPath(path_);
    if (!std::filesystem::exists(fsPath, ec)) FailUnreadable(path_);
    folder_ = std::filesystem::is_directory(fsPath, ec);
    if (folder_) {
        if (format_ == FileFormat::Excel)
            Fail(err::NotADatabase, "'" + path_ + "' è una cartella: indicare una cartella di lavoro "
                                                  "di Excel (.xls).");
        return;
    }
    // Open the file once now, so that an unreadable one is reported when the
    // database is opened rather than at the first record.
    switch (format_) {
        case FileFormat::Dbase: OpenDbfTable(path_); break;
        case FileFormat::Text: LayoutOf(path_); break;
        case FileFormat::Excel: book_ = XlsWorkbook::Open(path_); break;
    }
}

std::vector<std::string> FlatFileConnection::FolderFiles() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(FsPath(path_), ec)) {
        const std::string name = Utf8Path(entry.path().filename());
        if (entry.is_regular_file(ec) && HasExtension(name, format_)) names.push_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> FlatFileConnection::TableNames() {
    if (folder_) return FolderFiles();
    if (format_ != FileFormat::Excel) return {FileNameOf(path_)};
    std::vector<std::string> names;
    for (const auto& sheet : book_->SheetNames()) names.push_back(sheet + "$");
    return names;
}

std::unique_ptr<Cursor> FlatFileConnection::OpenCursor(const std::string& sql) {
    const auto select = ParseSimpleSelect(sql);
    if (!select) {
        if (IsActionStatement(sql)) ThrowReadOnly(Name());
        Fail(err::SyntaxErrorSql, "Istruzione non supportata sul file '" + path_ +
                                      "': si può solo leggere una tabella intera o filtrata "
                                      "su un campo.");
    }
    auto cursor = OpenTable(select->table);
    if (!select->whereField) return cursor;
    const auto& columns = cursor->Columns();
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (text::SameTextIgnoringCase(columns[i].name, *select->whereField))
            return FilterRows(std::move(cursor), int(i), select->whereValue);
    Fail(err::TooFewParameters, "Parametri insufficienti. Previsto 1.");
}

void FlatFileConnection::Verify(const std::string& table) {
    for (auto cursor = OpenTable(table); !cursor->AtEnd();) cursor->Next();
}

long long FlatFileConnection::Execute(const std::string&) { ThrowReadOnly(Name()); }

std::unique_ptr<Cursor> FlatFileConnection::OpenTable(const std::string& table) {
    if (format_ != FileFormat::Excel) return OpenFile(FindFileTable(table));

    // A sheet by its name with or without "$" (names with blanks come quoted
    // as 'Foglio 1$'); the workbook's own file name stands for its first sheet.
    std::string name = table;
    if (name.size() >= 2 && name.front() == '\'' && name.back() == '\'') name = name.substr(1, name.size() - 2);
    const auto& sheets = book_->SheetNames();
    for (std::size_t i = 0; i < sheets.size(); ++i)
        if (text::SameTextIgnoringCase(name, sheets[i] + "$") || text::SameTextIgnoringCase(name, sheets[i]))
            return XlsWorkbook::OpenSheet(book_, int(i));
    if (!sheets.empty() && NamesFile(name, FileNameOf(path_))) return XlsWorkbook::OpenSheet(book_, 0);
    FailNoTable(table);
}

std::string FlatFileConnection::FindFileTable(const std::string& table) {
    if (!folder_) {
        if (NamesFile(table, FileNameOf(path_))) return path_;
        FailNoTable(table);
    }
    for (const auto& name : FolderFiles())
        if (NamesFile(table, name)) return Utf8Path(FsPath(path_) / FsPath(name));
    FailNoTable(table);
}

std::unique_ptr<Cursor> FlatFileConnection::OpenFile(const std::string& file) {
    if (format_ == FileFormat::Dbase) return OpenDbfTable(file);
    return OpenTextTable(file, LayoutOf(file));
}

const TextLayout& FlatFileConnection::LayoutOf(const std::string& file) {
    std::error_code ec;
    const auto fsPath = FsPath(file);
    const auto size = std::filesystem::file_size(fsPath, ec);
    const auto modified = std::filesystem::last_write_time(fsPath, ec).time_since_epoch().count();
    if (!layout_ || layoutFile_ != file || layout_->fileSize != size || layout_->modified != modified) {
        layout_.reset();
        auto fresh = std::make_unique<TextLayout>(ScanTextFile(file));
        layoutFile_ = file;
        layout_ = std::move(fresh);
    }
    return *layout_;
}

}  // namespace core::flatfile
