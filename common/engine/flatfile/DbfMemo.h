#pragma once
// The memo file beside a dBASE table: .dbt for dBASE III and IV, .fpt for
// FoxPro. The table holds a block number per record; the text lives here.

#include <cstdint>
#include <string>

#include "common/engine/flatfile/FlatFileSupport.h"

namespace core::flatfile {

class DbfMemo {
public:
    // Opens the memo file of the table; raises an error naming the memo
    // field when it is missing or not a memo file.
    DbfMemo(const std::string& tableFile, const std::string& fieldName);

    // The raw bytes of the memo starting at the given block; empty for 0.
    std::string Read(std::uint32_t block);

private:
    enum class Kind { Dbase, FoxPro };

    std::string ReadTerminated(std::uint64_t offset);
    std::string ReadCounted(std::uint64_t offset, std::uint64_t length);

    std::string name_;
    FilePtr file_;
    Kind kind_ = Kind::Dbase;
    std::uint32_t blockSize_ = 512;
    std::uint64_t fileSize_ = 0;
};

}  // namespace core::flatfile
