#pragma once
// The value objects passed between the parts of a program: a destination
// table, a template field, a source format and the outcome of the file-open
// dialog. New objects hold 0 and empty texts.

#include <cstdint>
#include <string>

namespace core {

struct cTable {
    std::int32_t ID = 0;   // position in its list, from 1
    std::string Name;      // shown to the user; also the template's file name
    std::string Table;     // name in the database
};

struct cField {
    std::int32_t ID = 0;   // slot number, from 1
    std::string Field;     // name in the database
    std::string Name;      // label shown
};

struct cDBFormat {
    std::int32_t ID = 0;   // position in the format table, from 1
    std::string Driver;    // connect text
    std::string Ext;       // extension with its dot, ".mdb"
    std::string Name;      // file-type name in the open dialog
};

class cFile {
public:
    std::string FileName;  // full path; empty when nothing was chosen

    std::int32_t FilterIndex() const { return filterIndex_; }
    // The file type, from 1. Stored in 16 bits: outside -32768..32767 it
    // raises core::Error 6 and keeps the previous value.
    void SetFilterIndex(std::int64_t index);

private:
    std::int16_t filterIndex_ = 0;
};

}  // namespace core
