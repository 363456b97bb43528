#pragma once
// The import run behind "Avvia": after the user's confirmation it opens the
// destination table, optionally empties it, appends one destination record
// per source record with the paired fields converted by the destination
// field's type, applies the template's completion rules and reports the
// outcome. No widgets here: the window answers through ImportView.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "common/ValueClasses.h"
#include "import/ImportReport.h"
#include "import/TemplateFormat.h"

namespace core {
class DataControl;
class Error;
class RunSafety;
}  // namespace core

namespace import {

// What the run reads from the window when it needs it, and the bar it moves.
class ImportView {
public:
    virtual ~ImportView() = default;
    // The item data of the selected destination table (GetItemData), 0 when
    // nothing is selected.
    virtual std::int32_t SelectedTableId() = 0;
    // The source field chosen in slot k (from 1); empty: the slot takes no part.
    virtual std::string SlotSource(int k) = 0;
    // chkSvuota ticked.
    virtual bool EmptyDestinationFirst() = 0;
    virtual void SetProgress(int percent) = 0;
    // What the run is doing now ("Svuotamento della tabella ...").
    virtual void Activity(const std::string& text) {}
    // After every record saved, with the records saved so far: where the
    // window may process its events, and raise core::UserInterrupt when
    // the user stopped the run.
    virtual void RecordDone(long long saved) {}
};

struct ImportSetup {
    const std::vector<core::cTable>* tables = nullptr;  // mTables
    const ImportTemplate* tpl = nullptr;                 // mTplFile, mReqCount, mFields
    core::DataControl* dcFrom = nullptr;                 // bound to the source table
    core::DataControl* dcTo = nullptr;
    std::string destinationPath;
    std::string destinationPassword;
    std::string programTitle;
    // A safety copy of the destination before the first write, offered
    // back at the end of a run that failed or was stopped; none without.
    core::RunSafety* safety = nullptr;
};


class ImportRun {
public:
    ImportRun(ImportSetup setup, ImportView& view) : setup_(std::move(setup)), view_(view) {}

    // The whole click: question, copy, rules, final message. Never throws;
    // every failure ends in the error message. Returns whether the run went
    // through to the success message.
    bool Run();

    // Records added by the last run (for messages and tests).
    long long RecordsCopied() const { return copied_; }
    // What the last run did, as shown in the details of its final message.
    const ImportReport& Report() const { return report_; }

private:
    struct Pair {
        int slot = 0;
        int source = -1;  // column of the source recordset
        int target = -1;  // column of the destination recordset
    };

    // The pairs of the copy with each destination field and its conversion
    // group, in the order the copy converts them (and the report counts them).
    struct PairedFields {
        std::vector<Pair> pairs;
        std::vector<core::FieldInfo> targets;
        std::vector<ConversionGroup> groups;
    };

    const core::cTable& DestinationTable();
    void OpenDestination(const core::cTable& table);
    std::vector<Pair> ResolvePairs(const core::cTable& table);
    // The pairs resolved on the open recordsets, each entered in the report.
    PairedFields PairForCopy(const core::cTable& table);
    void Copy(const core::cTable& table);
    // The emptying and the copy by one statement of the destination's
    // engine, where it has one for these two databases (see
    // core::TableTransfer); false when nothing of it was kept and the table
    // is to be copied record by record, which then meets whatever stopped it.
    bool CopyAtOnce(const core::cTable& table);
    void AddToReport(const Pair& pair, const core::FieldInfo& target, ConversionGroup group);
    void ApplyCompletionRules(const core::cTable& table);
    void ReportError(int number, const std::string& description);
    // After an error: the records counted in the destination, as a sentence for the message.
    std::string Recount();

    ImportSetup setup_;
    ImportView& view_;
    long long copied_ = 0;
    // Records in the destination table when the copy began (-1: not yet).
    long long baseline_ = -1;
    std::string baselineTable_;
    ImportReport report_;
};

}  // namespace import
