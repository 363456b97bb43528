#pragma once
// Look-ups by code ("SELECT * FROM [T] WHERE [F] = 'code'") answered from a
// copy of the table kept by the connection: a run that fills the code
// tables and then resolves every reference to them asks the server only
// for codes it has not seen yet. The copy of a table that this connection
// has filled lives until the connection changes the table; the copy of any
// other table (a seeded one the run only reads) lives until the programs
// next commit (Flush), so that what others save becomes visible at the
// same points as the run's own records become visible to them.
//
// The answers are the server's own:
// - the copy is read from the server once the table has stopped changing
//   (a look-up with no save into the table since the previous look-up),
//   with the server's grouping of the field's values by its comparison
//   rules (case, accents, trailing blanks as the column's collation has
//   them), rows in the order of the key "ID";
// - a code is answered from the copy only when it is byte for byte a value
//   the copy holds, or a code the server has already been asked about;
//   any other code goes to the server and its answer is remembered;
// - a Null field matches no code; an empty text matches only empty texts;
// - every save, deletion or statement through this connection drops the
//   copies it may touch.
// The copies of one connection hold their rows packed, within a fixed
// memory budget; a table that does not fit is never copied (its look-ups
// all go to the server), so memory stays bounded however large the tables.

#include <cstddef>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/engine/Driver.h"

namespace core::odbc {

class OdbcConnection;

using SharedColumns = std::shared_ptr<const std::vector<FieldInfo>>;
using SharedRow = std::shared_ptr<const std::vector<Variant>>;

struct LookupAnswer {
    SharedColumns columns;
    std::vector<SharedRow> rows;
};

class TableImages {
public:
    explicit TableImages(OdbcConnection& connection) : connection_(connection) {}

    // The answer to a look-up of `code` in `field` of `table`, or nothing
    // when the server has to be asked (then Remember its answer).
    std::optional<LookupAnswer> Find(const std::string& table, const std::string& field, const std::string& code);
    // What the server answered for a code that Find could not answer.
    void Remember(const std::string& table, const std::string& field, const std::string& code,
                  const std::vector<Variant>* firstRow);
    // A save or deletion in table through this connection.
    void Written(const std::string& table);
    // A statement that may have changed any table.
    void DropAll();
    // The programs committed (before a message, at the end of a step...):
    // the copies of the tables this connection has not written are read
    // again when next needed.
    void Committed();

    // Rows and bytes held, for tests.
    std::size_t Bytes() const { return bytes_; }

private:
    struct Image {
        SharedColumns columns;
        int field = -1;           // index of the look-up field
        int id = -1;              // index of the key "ID"
        std::vector<std::string> rows;  // packed (OdbcRowCodec.h)
        std::unordered_map<long long, std::vector<std::size_t>> classRows;  // class -> rows
        std::unordered_map<std::string, long long> codeClass;              // code -> class, -1 none
        std::unordered_map<long long, long long> idClass;                  // ID -> class
        std::size_t bytes = 0;
        std::size_t remembered = 0;
    };
    struct TableState {
        bool written = false;      // filled or changed through this connection
        bool changed = false;      // saved into since the last look-up
        std::set<std::string> unusable;  // fields whose copy cannot be made
        std::map<std::string, std::unique_ptr<Image>> images;  // by field, lower-cased
    };

    std::unique_ptr<Image> Load(const std::string& table, const std::string& field);

    OdbcConnection& connection_;
    std::map<std::string, TableState> tables_;
    std::size_t bytes_ = 0;
};

}  // namespace core::odbc
