#include "import/ImportRun.h"

#include <QtGlobal>

#include <cmath>

#include "common/CommittedCount.h"
#include "common/DataHelpers.h"
#include "common/Dialogs.h"
#include "common/Messages.h"
#include "common/Prefs.h"
#include "common/RunError.h"
#include "common/RunPacer.h"
#include "common/RunSafety.h"
#include "common/SourceCheck.h"
#include "common/engine/Dao.h"
#include "common/engine/Driver.h"
#include "common/engine/Error.h"
#include "common/engine/FieldConvert.h"
#include "import/ImportConvert.h"

namespace import {
namespace {

[[noreturn]] void ThrowMissingField(const std::string& field, const std::string& where)
{
    throw core::Error(core::err::ItemNotFound,
                      "Elemento non trovato in questo insieme: il campo '" + field + "' non esiste " + where + ".",
                      "Tessily");
}

// Percent position rounded to the nearest whole number, halves to even.
int RoundedPercent(double percent)
{
    const double rounded = std::nearbyint(percent);
    if (!(rounded >= 0)) return 0;
    return rounded > 100 ? 100 : static_cast<int>(rounded);
}

// A field's refusal restated with the label the window shows for the field.
std::string InWords(const core::Error& e, const core::Variant& source, const core::FieldInfo& target,
                    ConversionGroup group, const std::string& label)
{
    switch (e.Number()) {
    case core::err::InvalidUseOfNull: return "Uso non valido di Null: " + core::NullReason(label) + ".";
    case core::err::FieldTooSmall: return core::TooLongReason(target, label);
    case core::err::ConversionError: {
        ConversionNote note;
        const core::Variant given = ConvertForImport(source, target, group, core::DateTime::Today(), note);
        return "Errore di conversione del tipo di dati: " + core::ConversionReason(given, target, label) + ".";
    }
    default: return e.Description();
    }
}

}  // namespace

bool ImportRun::Run()
{
    core::Dialogs& dialogs = core::TheDialogs();
    copied_ = 0;
    baseline_ = -1;
    report_ = ImportReport{};
    if (dialogs.MessageBox(msg::kConfirmImport, core::MsgButtons::YesNo, core::MsgIcon::Exclamation,
                           setup_.programTitle) != core::MsgResult::Yes)
        return false;

    bool busy = false;
    bool succeeded = false;
    try {
        dialogs.SetBusy(true);
        busy = true;
        dialogs.ProcessEvents();

        const core::cTable& table = DestinationTable();
        OpenDestination(table);
        Copy(table);
        ApplyCompletionRules(table);
        // Nothing stays open on the destination while the final message
        // waits for the user; closing commits, so a failure is the run's.
        setup_.dcTo->Close();

        // The pointer goes back before the message, so the box is not shown
        // under an hourglass.
        dialogs.SetBusy(false);
        busy = false;
        report_.SetPhase(ImportReport::Phase::Done);
        core::TheDialogs().MessageBox(report_.WithSummary(msg::kSuccess, true), core::MsgButtons::Ok,
                                      core::MsgIcon::Information, setup_.programTitle, report_.Text());
        succeeded = true;
    } catch (...) {
        if (busy) dialogs.SetBusy(false);
        busy = false;
        const core::RunError error = core::CurrentRunError();
        std::string text = error.text;
        for (const std::string& more : {Recount(), core::CloseAll({setup_.dcTo})})
            if (!more.empty()) text += "\n\n" + more;
        ReportError(error.number, text);
    }
    if (busy) dialogs.SetBusy(false);
    view_.SetProgress(0);
    if (const std::string failures = core::CloseAll({setup_.dcTo}); !failures.empty())
        qWarning("Tessily: %s", failures.c_str());
    return succeeded;
}

std::string ImportRun::Recount()
{
    if (baseline_ < 0) return {};
    const long long tallied = report_.Saved();
    long long counted = -1;
    try {
        counted = core::CountSince(setup_.dcTo->Database(), baselineTable_, baseline_);
    } catch (const core::Error&) {
        // No database left to count in: said as such below.
    }
    if (counted >= 0) {
        report_.Recounted(counted);
        copied_ = counted;
    } else {
        report_.Unverifiable();
    }
    return core::CommittedSentence(baselineTable_, counted, tallied);
}

void ImportRun::ReportError(int number, const std::string& description)
{
    try {
        core::ShowRunFailure(setup_.safety, number, report_.WithSummary(description, false), report_.Text());
    } catch (const std::exception& e) {
        // Only a missing screen is left (the commit before showing was made
        // and reported by ShowRunFailure).
        qWarning("Tessily: %s / %s", description.c_str(), e.what());
    }
}

const core::cTable& ImportRun::DestinationTable()
{
    const std::int32_t id = view_.SelectedTableId();
    const auto& tables = *setup_.tables;
    if (id < 1 || static_cast<std::size_t>(id) > tables.size())
        throw core::Error(core::err::SubscriptOutOfRange, "Indice non compreso nell'intervallo.", "Tessily");
    const core::cTable& table = tables[static_cast<std::size_t>(id - 1)];
    report_.Start(table.Name, table.Table);
    return table;
}

void ImportRun::OpenDestination(const core::cTable& table)
{
    view_.Activity("Apertura della tabella " + table.Table + "…");
    core::DataControl& dcTo = *setup_.dcTo;
    if (core::DestinationIsServer()) {
        core::PointAtDestination(dcTo, setup_.destinationPassword);
    } else {
        dcTo.Connect = ";PWD=" + setup_.destinationPassword;
        dcTo.DatabaseName = setup_.destinationPath;
    }
    dcTo.RecordSource = core::SelectAllFrom(table.Table);
    dcTo.Refresh();
}

std::vector<ImportRun::Pair> ImportRun::ResolvePairs(const core::cTable& table)
{
    core::Recordset& from = setup_.dcFrom->Recordset();
    core::Recordset& to = setup_.dcTo->Recordset();
    std::vector<Pair> pairs;
    for (int k = 1; k <= kSlotCount; ++k) {
        const std::string source = view_.SlotSource(k);
        if (source.empty()) continue;
        const core::cField* field = setup_.tpl->Slot(k);
        if (field == nullptr)
            throw core::Error(core::err::SubscriptOutOfRange,
                              "Indice non compreso nell'intervallo: la casella " + std::to_string(k) +
                                  " non ha un campo di destinazione nel modello.",
                              "Tessily");
        Pair pair;
        pair.slot = k;
        pair.target = to.ColumnIndex(field->Field);
        if (pair.target < 0) ThrowMissingField(field->Field, "nella tabella di destinazione '" + table.Table + "'");
        pair.source = from.ColumnIndex(source);
        if (pair.source < 0) ThrowMissingField(source, "nella tabella di origine");
        pairs.push_back(pair);
    }
    return pairs;
}

void ImportRun::Copy(const core::cTable& table)
{
    core::DataControl& dcFrom = *setup_.dcFrom;
    core::DataControl& dcTo = *setup_.dcTo;

    // Every pairing is checked against both tables before anything in the
    // destination changes: a template naming a field the table lacks must not
    // cost the user an emptied table.
    dcFrom.Refresh();
    ResolvePairs(table);
    // The copy by one statement ends with the destination as it was on a
    // refused value, a constraint or a damaged source.
    if (CopyAtOnce(table)) return;
    // Record by record, so must a damaged source, as far as its driver can
    // tell without copying (see Connection::Verify).
    core::VerifyRecordSource(dcFrom);

    if (setup_.safety) setup_.safety->BeforeFirstWrite();
    if (view_.EmptyDestinationFirst()) {
        view_.Activity("Svuotamento della tabella " + table.Table + "…");
        report_.SetPhase(ImportReport::Phase::Emptying);
        dcTo.Database().Execute("DELETE FROM [" + table.Table + "]");
        report_.Emptied(dcTo.Database().RecordsAffected());
        dcTo.Refresh();
    }
    // The emptying is committed on its own; what the table holds now is
    // where this run's records start, for the count after an error.
    dcTo.Database().Commit();
    baseline_ = core::CountRows(dcTo.Database(), table.Table);
    baselineTable_ = table.Table;
    report_.SetPhase(ImportReport::Phase::Copying);
    view_.Activity("Copia nella tabella " + table.Table + " (" + table.Name + ")");

    core::Recordset& to = dcTo.Recordset();
    dcFrom.Refresh();
    core::Recordset& from = dcFrom.Recordset();
    const PairedFields paired = PairForCopy(table);
    const std::vector<Pair>& pairs = paired.pairs;
    const std::vector<core::FieldInfo>& targets = paired.targets;
    const std::vector<ConversionGroup>& groups = paired.groups;
    const core::DateTime today = core::DateTime::Today();

    // A refused record is raised when its batch is saved, with how many
    // records were read after it, as a server's is.
    const core::BatchedSaves batched(dcTo.Database());
    long long record = 0;
    std::size_t current = 0;
    ConversionNote note = ConversionNote::None;
    // The current record's notes, taken back when the record is not saved.
    std::vector<ConversionNote> recordNotes(pairs.size(), ConversionNote::None);
    try {
        while (!from.Eof()) {
            ++record;
            report_.RecordRead();
            to.AddNew();
            for (current = 0; current < pairs.size(); ++current) {
                const Pair& pair = pairs[current];
                to.SetValue(pair.target, ConvertForImport(from.GetValue(pair.source), targets[current],
                                                          groups[current], today, note));
                // Counted once the field took it: a value the destination
                // refuses was not imported, cut or not.
                report_.Note(current, note);
                recordNotes[current] = note;
            }
            current = pairs.size();
            to.Update();
            ++copied_;
            report_.RecordSaved();
            view_.SetProgress(RoundedPercent(from.PercentPosition()));
            from.MoveNext();
            view_.RecordDone(copied_);
        }
    } catch (const core::Error& e) {
        to.CancelUpdate();
        // A stop comes between two records: the details say after which.
        if (core::IsUserInterrupt(e)) throw;
        if (copied_ < record)
            for (std::size_t i = 0; i < current && i < pairs.size(); ++i) report_.Unnote(i, recordNotes[i]);
        std::string text = e.Description();
        // A server may refuse a record after later ones were read.
        const long long refused = record - std::min(e.RecordsAfter().value_or(0), record - 1);
        if (refused < record) report_.StoppedAt(refused);
        std::string where = " (record " + std::to_string(refused) + " dell'origine";
        if (current < pairs.size()) {
            const Pair& pair = pairs[current];
            const core::cField* slot = setup_.tpl->Slot(pair.slot);
            const std::string label = slot && !slot->Name.empty() ? slot->Name : targets[current].name;
            try {
                text = InWords(e, from.GetValue(pair.source), targets[current], groups[current], label);
            } catch (const core::Error&) {
                // The source cannot be read again: the engine's own words stay.
            }
            where += ", campo '" + from.Columns()[static_cast<std::size_t>(pair.source)].name + "' verso il campo '" +
                     label + "' di '" + table.Name + "'";
        }
        throw core::Error(e.Number(), text + where + ")", e.Source(), e.NativeText());
    }

    try {
        dcTo.Refresh();
    } catch (const core::Error& e) {
        // The last records reach a server as the copy ends: a refusal
        // among them names its record.
        if (!e.RecordsAfter() || record == 0) throw;
        const long long refused = record - std::min(*e.RecordsAfter(), record - 1);
        report_.StoppedAt(refused);
        throw core::Error(e.Number(), e.Description() + " (record " + std::to_string(refused) + " dell'origine)",
                          e.Source(), e.NativeText());
    }
}

bool ImportRun::CopyAtOnce(const core::cTable& table)
{
    core::DataControl& dcFrom = *setup_.dcFrom;
    core::DataControl& dcTo = *setup_.dcTo;
    if (core::DestinationIsServer() || core::LooksLikeSql(dcFrom.RecordSource)) return false;
    const auto& target = dcTo.Database().RawConnection();
    const auto& source = dcFrom.Database().RawConnection();
    if (!target || !source) return false;
    auto transfer = target->OpenTransfer(*source, core::ConnectText::Parse(dcFrom.Connect).password);
    if (!transfer) return false;

    if (setup_.safety) setup_.safety->BeforeFirstWrite();
    const ImportReport before = report_;
    const long long rowsBefore = core::CountRows(dcTo.Database(), table.Table);
    baseline_ = rowsBefore;
    baselineTable_ = table.Table;

    core::Recordset& from = dcFrom.Recordset();
    const PairedFields paired = PairForCopy(table);
    const std::vector<Pair>& pairs = paired.pairs;
    const std::vector<core::FieldInfo>& targets = paired.targets;
    const std::vector<ConversionGroup>& groups = paired.groups;
    core::TableTransfer::Request request;
    request.table = table.Table;
    request.sourceTable = dcFrom.RecordSource;
    for (std::size_t k = 0; k < pairs.size(); ++k)
        request.columns.emplace_back(targets[k].name, from.Columns()[static_cast<std::size_t>(pairs[k].source)].name);
    const core::DateTime today = core::DateTime::Today();
    // Counted as the value is converted: a copy that does not go through
    // gives the report back as it was.
    request.convert = [&](std::size_t k, core::Variant value) {
        ConversionNote note = ConversionNote::None;
        core::Variant given = ConvertForImport(value, targets[k], groups[k], today, note);
        report_.Note(k, note);
        return given;
    };
    if (view_.EmptyDestinationFirst())
        request.emptied = [&](long long deleted) {
            report_.Emptied(deleted);
            baseline_ = 0;
        };
    request.stopKeepsRows = true;
    request.rowDone = [&](long long rows, double percent) {
        report_.RecordRead();
        view_.SetProgress(RoundedPercent(percent));
        view_.RecordDone(rows);
    };
    report_.SetPhase(ImportReport::Phase::Copying);
    view_.Activity("Copia nella tabella " + table.Table + " (" + table.Name + ")");

    std::optional<long long> rows;
    try {
        rows = transfer->Copy(request);
    } catch (const core::Error& e) {
        if (core::IsUserInterrupt(e)) {
            // What was written up to the stop stays, as between records;
            // committed before the source is let go (SQLite detaches a
            // file only outside a transaction).
            dcTo.Database().Commit();
            transfer.reset();
            throw;
        }
        // Nothing of this copy is left: the transfer took it back, or the
        // database dropped the transaction that held only this copy.
        report_ = before;
        report_.SetPhase(ImportReport::Phase::Copying);
        baseline_ = rowsBefore;
        // A failure of the destination's file is the run's error as it is.
        // A damaged page or a lock may be the source's, which the copy
        // record by record checks before anything else and names.
        if (e.Number() != core::err::CorruptDatabase && e.Number() != core::err::FileInUse) throw;
    }
    if (!rows) {
        report_ = before;
        baseline_ = -1;
        return false;
    }
    copied_ = *rows;
    report_.Recounted(*rows);
    dcTo.Database().Commit();
    transfer.reset();
    dcTo.Refresh();
    return true;
}

ImportRun::PairedFields ImportRun::PairForCopy(const core::cTable& table)
{
    core::Recordset& to = setup_.dcTo->Recordset();
    PairedFields paired;
    paired.pairs = ResolvePairs(table);
    for (const Pair& pair : paired.pairs) {
        paired.targets.push_back(to.Columns()[static_cast<std::size_t>(pair.target)]);
        paired.groups.push_back(GroupOf(paired.targets.back().type));
        AddToReport(pair, paired.targets.back(), paired.groups.back());
    }
    return paired;
}

void ImportRun::AddToReport(const Pair& pair, const core::FieldInfo& target, ConversionGroup group)
{
    const core::cField* field = setup_.tpl->Slot(pair.slot);
    ImportReport::PairedField entry;
    entry.slot = pair.slot;
    entry.label = field ? field->Name : std::string();
    entry.field = target.name;
    entry.source = setup_.dcFrom->Recordset().Columns()[static_cast<std::size_t>(pair.source)].name;
    entry.group = group;
    entry.size = group == ConversionGroup::Text ? CutSize(target) : 0;
    report_.AddPair(std::move(entry));
}

void ImportRun::ApplyCompletionRules(const core::cTable& table)
{
    const ImportTemplate& tpl = *setup_.tpl;
    report_.SetPhase(ImportReport::Phase::Rules);
    if (tpl.reqCount > 0) view_.Activity("Regole di completamento della tabella " + table.Table + "…");
    for (int k = 1; k <= tpl.reqCount; ++k) {
        report_.ReadingRule(k);
        const std::optional<CompletionRule> rule = ReadCompletionRule(tpl.file, k);
        if (!rule) break;
        if (!rule->IsConcatenation()) {
            report_.RuleSkipped(k, rule->parts[0], rule->Operator());
            continue;
        }
        report_.RuleStarted(k, rule->parts[0], rule->parts[2], rule->parts[3]);
        setup_.dcTo->Database().Execute(ConcatenationStatement(table.Table, *rule));
        report_.RuleFinished(setup_.dcTo->Database().RecordsAffected());
        setup_.dcTo->Database().Commit();
        setup_.dcTo->Refresh();
    }
}

}  // namespace import
