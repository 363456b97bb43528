#pragma once
// Pieces shared by the dBASE, text and Excel readers: errors that name the
// file, file opening with UTF-8 paths, column naming and the one filter
// (WHERE [F] = 'x') that these formats support.

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "common/text/AsciiText.h"

namespace core::flatfile {

inline constexpr const char* kErrorSource = "FlatFile";

[[noreturn]] void Fail(int number, std::string description, std::string nativeText = {});
// 3049: the file is damaged, truncated or not in the expected format.
[[noreturn]] void FailDamaged(const std::string& file, const std::string& why,
                              std::string nativeText = {});
// 3024 when the file is missing, 3011 when it exists but cannot be read.
[[noreturn]] void FailUnreadable(const std::string& file);

// The part after the last separator ('/' or '\'), as the user sees it.
std::string FileNameOf(std::string_view path);

struct FileCloser {
    void operator()(std::FILE* f) const noexcept {
        if (f) std::fclose(f);
    }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;
// Opens for binary reading; null when the file cannot be opened.
FilePtr OpenForReading(const std::filesystem::path& path);

// Header names as the original engine gave them: an empty name becomes
// "F" and the column number (from 1); a name that repeats an earlier one
// (ignoring case) also takes that form, so every field can be found by name.
std::vector<std::string> UniqueColumnNames(const std::vector<std::string>& raw);

FieldInfo TextField(std::string name, int size);   // size 0: memo
FieldInfo TypedField(std::string name, DataType type);  // with the type's storage size

// Rows of an inner cursor whose field equals a text, compared case-insensitively
// on the value's text form; a Null never matches.
std::unique_ptr<Cursor> FilterRows(std::unique_ptr<Cursor> inner, int column, std::string value);

}  // namespace core::flatfile
