#pragma once
// Helpers for the flat-file driver tests: a scratch folder, files written
// byte by byte or through shapelib's writer, and reading a cursor whole.

#include <gtest/gtest.h>
#include <shapefil.h>

#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/Error.h"
#include "common/engine/Variant.h"

namespace flatfiletest {

class ScratchFolder {
public:
    std::string Path(const std::string& name) const { return (dir_.path() + "/").toStdString() + name; }
    std::string Root() const { return dir_.path().toStdString(); }

private:
    QTemporaryDir dir_;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

using Rows = std::vector<std::vector<core::Variant>>;

inline Rows ReadAll(core::Cursor& cursor) {
    Rows rows;
    for (; !cursor.AtEnd(); cursor.Next()) {
        std::vector<core::Variant> row;
        for (int i = 0; i < int(cursor.Columns().size()); ++i) row.push_back(cursor.Get(i));
        rows.push_back(std::move(row));
    }
    return rows;
}

// The error that f raises; fails the test when it raises none.
inline core::Error CaughtError(const std::function<void()>& f) {
    try {
        f();
    } catch (const core::Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error raised";
    return core::Error(0, "");
}

struct DbfFieldSpec {
    const char* name;
    char type;
    int width;
    int decimals = 0;
};
using DbfRow = std::vector<std::optional<std::string>>;  // raw bytes; nothing: blank

// A table written by shapelib; `ldid` is the language-driver byte.
inline void WriteDbf(const std::string& path, int ldid, const std::vector<DbfFieldSpec>& fields,
                     const std::vector<DbfRow>& rows, const std::vector<int>& deleted = {}) {
    const std::string codePage = "LDID/" + std::to_string(ldid);
    DBFHandle h = DBFCreateEx(path.c_str(), codePage.c_str());
    ASSERT_NE(h, nullptr);
    for (const auto& f : fields) DBFAddNativeFieldType(h, f.name, f.type, f.width, f.decimals);
    for (int r = 0; r < int(rows.size()); ++r)
        for (int c = 0; c < int(rows[r].size()); ++c) {
            if (rows[r][c])
                DBFWriteAttributeDirectly(h, r, c, const_cast<char*>(rows[r][c]->c_str()));
            else
                DBFWriteNULLAttribute(h, r, c);
        }
    for (int r : deleted) DBFMarkRecordDeleted(h, r, 1);
    DBFClose(h);
}

// Sets one byte of a file in place (version byte, type letter...).
inline void PatchByte(const std::string& path, std::size_t offset, unsigned char value) {
    std::string bytes = ReadBytes(path);
    bytes.at(offset) = char(value);
    WriteBytes(path, bytes);
}

inline std::string Cut(const std::string& bytes, std::size_t keep) { return bytes.substr(0, keep); }

}  // namespace flatfiletest
