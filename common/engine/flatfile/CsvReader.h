#pragma once
// Records of a delimited text file, one at a time, through libcsv. libcsv
// is kept because it already handles quoted fields with doubled quotes and
// line breaks and tells an empty quoted field from an absent one; this
// class only feeds it the file in chunks and collects whole records.

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <csv.h>

#include "common/engine/flatfile/FlatFileSupport.h"

namespace core::flatfile {

// A value as read: nothing for an empty field without quotes, otherwise
// the raw bytes (quotes removed, doubled quotes undoubled).
using RawField = std::optional<std::string>;
using RawRecord = std::vector<RawField>;

class CsvReader {
public:
    // Opens the file and skips `skip` leading bytes (the byte-order mark).
    CsvReader(const std::string& file, char separator, std::size_t skip);
    ~CsvReader();
    CsvReader(const CsvReader&) = delete;
    CsvReader& operator=(const CsvReader&) = delete;

    // The next record, or false at the end of the file. Blank lines are no
    // records. Raises an error naming the file for a binary file or a quote
    // left open at the end.
    bool Next(RawRecord& record);
    // Bytes read so far, for the position estimate.
    std::uint64_t BytesRead() const { return bytesRead_; }

private:
    static void OnField(void* text, std::size_t length, void* self);
    static void OnRecordEnd(int terminator, void* self);
    void Feed();

    std::string file_;
    FilePtr in_;
    csv_parser parser_{};
    bool parserReady_ = false;
    bool finished_ = false;
    std::uint64_t bytesRead_ = 0;
    RawRecord current_;
    std::deque<RawRecord> ready_;
};

}  // namespace core::flatfile
