#pragma once
// One table step of the migration: open source and destination, empty the
// destination when asked, and copy record by record by the step's rows.
//
// Every action (opening, the emptying, each filter test, each field, each
// part of a look-up, the save, the progress update, the move) is guarded
// on its own: errors 94 (Null where a value is needed) and 3021 (no current
// record) abandon just that action; any other error leaves the step as a
// core::Error for the run to report.

#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/engine/Error.h"
#include "common/engine/Variant.h"
#include "migrate/MigrationMap.h"
#include "migrate/MigrationReport.h"
#include "migrate/MigrationRun.h"

namespace core {
class Recordset;
}

namespace migrate {

// Thrown when OpenDataControl failed on the source or the destination: it
// has already shown its message, so the run only stops.
struct OpenFailed {};

class StepCopier {
public:
    // The step's counters go to `counts`, whose rows match the step's.
    StepCopier(const TableStep& step, MigrationView& view, MigrationControls controls,
               MigrationReport::Step& counts);

    // Raises core::Error (or OpenFailed) when the run must stop.
    void Run();

private:
    struct Resolved {
        const FieldRow* row;
        std::size_t index;  // position in the step's rows
        int source;       // column of dcFrom's recordset, -1 when missing
        int destination;  // column of dcTo's recordset, -1 when missing
        bool reusableLookup;  // a look-up whose answers hold for the whole step
    };

    void Open();
    void Resolve();
    void CopyRecord(core::Recordset& from, core::Recordset& to);
    bool PassesNameFilter(core::Recordset& from);
    void ApplyRow(const Resolved& r, core::Recordset& from, core::Recordset& to);
    // The ID of the record of the row's table whose code is the row's
    // source value; nothing when there is none (or the query was abandoned).
    std::optional<core::Variant> LookUp(const Resolved& r, core::Recordset& from);
    void Remember(std::size_t row, std::string code, std::optional<core::Variant> id);
    core::Variant SourceValue(const Resolved& r, core::Recordset& from) const;
    void Write(const Resolved& r, core::Recordset& to, const core::Variant& value) const;
    // Counts what the record shortened and did not find, once it is saved
    // (or skipped for a code not found): a record that is not saved carried
    // nothing.
    void CountPending();
    // After an error: takes out of the tally the records that a refusal
    // raised late left unsaved.
    void ForgetRefused(const core::Error& e);

    // What the record being built shortened or did not find.
    struct Pending {
        std::size_t row;
        bool notFound;
        core::Variant code;  // the code not found
    };

    const TableStep& step_;
    MigrationView& view_;
    MigrationControls controls_;
    MigrationReport::Step& counts_;
    std::vector<Pending> pending_;
    std::vector<Resolved> rows_;
    int nameColumn_ = -1;
    // Position of "ID" in each look-up table's records, found once per step.
    std::map<std::string, int> idColumn_;
    // What each code looked up in this step gave, by row and code text: a
    // step writes only its own table, so a look-up in another table gives
    // the same answer for the same code until the step ends. Cleared when
    // they reach kMaxKnownCodes, to keep memory bounded on large tables.
    std::vector<std::unordered_map<std::string, std::optional<core::Variant>>> known_;
    std::size_t knownCount_ = 0;
    static constexpr std::size_t kMaxKnownCodes = 50000;
};

// The look-up statement: the code whole, its apostrophes doubled.
std::string LookupSql(const std::string& table, const std::string& code);

}  // namespace migrate
