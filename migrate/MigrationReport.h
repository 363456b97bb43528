#pragma once
// What a migration run did, kept by the run as it goes and shown as the
// details of its final message: per table step, records read, saved and
// skipped by the record filter, the codes each look-up did not find and the
// values each cut shortened; on a stop, where the run was. The copy loop
// pays an increment per record and per shortened value; codes are kept only
// on the not-found path.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/engine/Variant.h"
#include "migrate/MigrationMap.h"

namespace migrate {

class MigrationReport {
public:
    enum class StepState { NotReached, InProgress, Done };

    // The codes one look-up field did not find.
    struct Missing {
        long long records = 0;  // records whose code was not found
        long long nullCode = 0;  // of which with a Null code
        std::unordered_map<std::string, long long> codes;  // the other codes, by text
    };

    // The counters of one table step; rows are indexed like the step's rows.
    struct Step {
        const TableStep* step = nullptr;
        StepState state = StepState::NotReached;
        long long read = 0;
        long long saved = 0;
        long long skipped = 0;
        bool emptied = false;  // the destination table was emptied first
        // Records in the destination table when the step began to copy;
        // -1 before that.
        long long baseline = -1;
        // After an error: this step's records counted in the table (-1 not
        // counted or not countable) and the run's own tally before the count.
        long long counted = -1;
        long long tallied = 0;
        std::vector<long long> cut;    // values shortened, by row
        std::vector<Missing> missing;  // look-ups not found, by row (empty for other rules)

        void Read() { ++read; }
        void Saved() { ++saved; }
        void Skipped() { ++skipped; }
        void Cut(std::size_t row, long long count = 1) { cut[row] += count; }
        void NotFound(std::size_t row, const core::Variant& code);
    };

    // A new run over these steps, none reached yet.
    void Start(const std::vector<TableStep>& steps);
    // The step at this position starts; the report keeps its counters.
    Step& Begin(std::size_t index);
    void Finish(std::size_t index) { steps_[index].state = StepState::Done; }
    void SetSucceeded() { succeeded_ = true; }
    // The step under way when the run stopped, if any.
    Step* Current();

    const std::vector<Step>& Steps() const { return steps_; }
    bool Succeeded() const { return succeeded_; }

    // How many codes of a look-up field the details name before "e altri N".
    static constexpr std::size_t kCodesShown = 20;
    // A code's text in the details: "(Null)", "(vuoto)" or the code quoted.
    static std::string CodeLabel(const std::string& code);

    // The details in Italian, one fact a line.
    std::string Text() const;

private:
    std::string Header() const;
    static void AppendStep(std::string& out, const Step& step);
    static void AppendMissing(std::string& out, const FieldRow& row, const Missing& missing);

    std::vector<Step> steps_;
    bool succeeded_ = false;
};

}  // namespace migrate
