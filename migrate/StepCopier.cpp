#include "migrate/StepCopier.h"

#include <algorithm>
#include <cmath>

#include "common/DataHelpers.h"
#include "common/Prefs.h"
#include "common/engine/Dao.h"
#include "common/engine/Error.h"
#include "common/engine/FieldConvert.h"
#include "common/engine/NumberText.h"
#include "common/text/AsciiText.h"

namespace migrate {

namespace {

// Runs one action; true when it completed, false when it was abandoned on
// error 94 or 3021. Any other error goes on to the run.
template <class F>
bool Act(F&& action) {
    try {
        action();
        return true;
    } catch (const core::Error& e) {
        if (e.Number() == core::err::InvalidUseOfNull || e.Number() == core::err::NoCurrentRecord) return false;
        throw;
    }
}

std::string DoubleApostrophes(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 2);
    for (char c : text) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out;
}

}  // namespace

std::string LookupSql(const std::string& table, const std::string& code) {
    return "SELECT * FROM [" + table + "] WHERE [sCodice] = '" + DoubleApostrophes(code) + "'";
}

StepCopier::StepCopier(const TableStep& step, MigrationView& view, MigrationControls controls,
                       MigrationReport::Step& counts)
    : step_(step), view_(view), controls_(controls), counts_(counts) {}

void StepCopier::Open() {
    // A failed open has shown its own message; copying on from whatever the
    // control still holds would read or write the wrong table, so stop.
    if (!core::OpenDataControl(controls_.from, core::SelectAllFrom(step_.sourceTable), view_.SourcePath(),
                               kSourcePassword))
        throw OpenFailed{};
    if (!core::OpenDataControl(controls_.to, core::SelectAllFrom(step_.destinationTable), "", ""))
        throw OpenFailed{};
    bool empty = false;
    Act([&] { empty = view_.EmptyTablesChecked(); });
    if (empty) {
        if (Act([&] { controls_.to.Database().Execute("DELETE FROM [" + step_.destinationTable + "]"); }))
            counts_.emptied = true;
        Act([&] { controls_.to.Refresh(); });
    }
    // The emptying is committed on its own, and what the table holds now is
    // where this step's records start: after an error the step's saved
    // records are counted in the table, not taken from the run's tally.
    controls_.to.Database().Commit();
    counts_.baseline = core::CountRows(controls_.to.Database(), step_.destinationTable);
}

void StepCopier::Resolve() {
    core::FieldList source = controls_.from.Recordset().Fields();
    core::FieldList destination = controls_.to.Recordset().Fields();
    rows_.clear();
    for (const FieldRow& row : step_.rows)
        rows_.push_back({&row, rows_.size(), row.source.empty() ? -1 : source.IndexOf(row.source),
                         destination.IndexOf(row.destination),
                         // The step's own table changes as it goes: its look-ups are never reused.
                         row.rule == Rule::Lookup &&
                             !core::text::SameTextIgnoringCase(row.lookupTable, step_.destinationTable)});
    nameColumn_ = source.IndexOf(kNameField);
    idColumn_.clear();
    known_.assign(rows_.size(), {});
    knownCount_ = 0;
}

void StepCopier::Run() {
    Open();
    Resolve();
    core::Recordset& from = controls_.from.Recordset();
    core::Recordset& to = controls_.to.Recordset();
    // A server refuses a record when its batch is sent: by a later save,
    // a look-up or the commit (ForgetRefused).
    try {
        while (!from.Eof()) {
            CopyRecord(from, to);
            Act([&] { view_.SetProgressValue(static_cast<int>(std::nearbyint(from.PercentPosition()))); });
            Act([&] { from.MoveNext(); });
            view_.RecordDone(counts_.saved);
        }
        // A step is done when its records are committed.
        controls_.to.Database().Commit();
    } catch (const core::Error& e) {
        ForgetRefused(e);
        throw;
    }
}

void StepCopier::ForgetRefused(const core::Error& e) {
    // A record is refused when its batch is saved, after later ones were
    // given: the refused record and those are not saved, and the tally must
    // not count them (nor call them lost).
    if (!e.RecordsAfter()) return;
    counts_.saved = std::max(0LL, counts_.saved - *e.RecordsAfter() - 1);
}

void StepCopier::CopyRecord(core::Recordset& from, core::Recordset& to) {
    counts_.Read();
    pending_.clear();
    std::size_t first = 0;
    std::optional<core::Variant> firstKey;
    switch (step_.filter) {
    case RecordFilter::None: break;
    case RecordFilter::Name:
        if (!PassesNameFilter(from)) {
            counts_.Skipped();
            return;
        }
        break;
    case RecordFilter::FirstLookupFound:
        // The first look-up decides whether a record is made at all; the
        // code it missed is why the record was skipped, so it is counted.
        firstKey = LookUp(rows_.front(), from);
        if (!firstKey) {
            counts_.Skipped();
            CountPending();
            return;
        }
        first = 1;
        break;
    }
    Act([&] { to.AddNew(); });
    if (firstKey) Act([&] { Write(rows_.front(), to, *firstKey); });
    for (std::size_t i = first; i < rows_.size(); ++i) ApplyRow(rows_[i], from, to);
    bool saved = false;
    try {
        saved = Act([&] { to.Update(); });
    } catch (const core::Error& e) {
        // A refusal that came late counts this record among the ones after
        // the refused one: counted here, taken off with them.
        if (e.RecordsAfter()) counts_.Saved();
        throw;
    }
    if (saved) {
        counts_.Saved();
        CountPending();
    }
}

void StepCopier::CountPending() {
    for (const Pending& p : pending_) {
        if (p.notFound) counts_.NotFound(p.row, p.code);
        else counts_.Cut(p.row);
    }
    pending_.clear();
}

bool StepCopier::PassesNameFilter(core::Recordset& from) {
    core::Variant name;
    Act([&] {
        name = nameColumn_ >= 0 ? from.GetValue(nameColumn_) : from.Fields()[kNameField].Value();
    });
    bool isNull = false;
    Act([&] { isNull = name.IsNull(); });
    if (isNull) return false;
    bool tooShort = false;
    Act([&] { tooShort = core::CharCount(name.ToText()) <= 2; });
    return !tooShort;
}

core::Variant StepCopier::SourceValue(const Resolved& r, core::Recordset& from) const {
    if (r.source >= 0) return from.GetValue(r.source);
    return from.Fields()[r.row->source].Value();  // raises the engine's "not found"
}

void StepCopier::Write(const Resolved& r, core::Recordset& to, const core::Variant& value) const {
    if (r.destination >= 0) to.SetValue(r.destination, value);
    else to.Fields()[r.row->destination].SetValue(value);  // raises the engine's "not found"
}

void StepCopier::ApplyRow(const Resolved& r, core::Recordset& from, core::Recordset& to) {
    const FieldRow& row = *r.row;
    switch (row.rule) {
    case Rule::Copy:
        Act([&] { Write(r, to, SourceValue(r, from)); });
        break;
    case Rule::Cut:
        Act([&] {
            const core::Variant v = SourceValue(r, from);
            if (v.IsNull()) {
                Write(r, to, v);
                return;
            }
            const std::string text = v.ToText();
            std::string cut = core::CutChars(text, row.length);
            const bool shortened = cut.size() != text.size();
            Write(r, to, core::Variant(std::move(cut)));
            if (shortened) pending_.push_back({r.index, false, {}});
        });
        break;
    case Rule::Number:
        // ToText raises 94 on a Null, which leaves the field unwritten.
        Act([&] { Write(r, to, core::Variant(core::LeadingNumber(SourceValue(r, from).ToText()))); });
        break;
    case Rule::Constant:
        Act([&] { Write(r, to, row.constant); });
        break;
    case Rule::Lookup:
        if (auto id = LookUp(r, from)) Act([&] { Write(r, to, *id); });
        break;
    }
}

std::optional<core::Variant> StepCopier::LookUp(const Resolved& r, core::Recordset& from) {
    core::DataControl& dc = controls_.support;
    // A query that fails stops the run with the engine's message (a missing
    // table would otherwise fail once per record); one that is abandoned
    // counts as "not found", never as the previous look-up's row.
    core::Variant value;
    std::string code;
    if (!Act([&] {
            value = SourceValue(r, from);
            code = value.ToTextOrEmpty();
        })) {
        pending_.push_back({r.index, true, std::move(value)});
        return std::nullopt;
    }
    const bool reusable = r.reusableLookup;
    if (reusable) {
        const auto& knownCodes = known_[r.index];
        if (auto known = knownCodes.find(code); known != knownCodes.end()) {
            if (!known->second) pending_.push_back({r.index, true, std::move(value)});
            return known->second;
        }
    }
    bool ran = Act([&] {
        core::PointAtDestination(dc, core::ThePrefs().destinationPassword);
        dc.Exclusive = false;
        dc.RecordsetType = 1;
        dc.RecordSource = LookupSql(r.row->lookupTable, code);
        dc.Refresh();
    });
    bool found = false;
    if (!ran || !Act([&] { found = !dc.Recordset().Eof(); }) || !found) {
        if (ran && reusable) Remember(r.index, std::move(code), std::nullopt);
        pending_.push_back({r.index, true, std::move(value)});
        return std::nullopt;
    }
    std::optional<core::Variant> id;
    Act([&] {
        core::Recordset& rs = dc.Recordset();
        auto it = idColumn_.find(r.row->lookupTable);
        if (it == idColumn_.end()) it = idColumn_.emplace(r.row->lookupTable, rs.Fields().IndexOf("ID")).first;
        id = it->second >= 0 ? rs.GetValue(it->second) : rs.Fields()["ID"].Value();
    });
    if (id && reusable) Remember(r.index, std::move(code), id);
    return id;
}

void StepCopier::Remember(std::size_t row, std::string code, std::optional<core::Variant> id) {
    if (knownCount_ >= kMaxKnownCodes) {
        for (auto& codes : known_) codes.clear();
        knownCount_ = 0;
    }
    if (known_[row].emplace(std::move(code), std::move(id)).second) ++knownCount_;
}

}  // namespace migrate
