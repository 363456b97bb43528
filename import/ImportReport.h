#pragma once
// What an import run did, kept by the run as it goes and shown as the
// details of its final message: records read and saved, what each paired
// field's conversion lost, what each completion rule changed, and where a
// run that failed stopped. Plain counters: the copy loop pays one increment
// per record and one per paired value.

#include <algorithm>
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "import/ImportConvert.h"

namespace import {

class ImportReport {
public:
    // Where the run is; on an error it stays where the error struck.
    enum class Phase { Starting, Emptying, Copying, Rules, Done };

    struct PairedField {
        int slot = 0;
        std::string label;   // the slot's caption (the template's name)
        std::string field;   // destination field
        std::string source;  // source field
        ConversionGroup group = ConversionGroup::Text;
        int size = 0;        // a text field's size, 0 when no cut is possible
    };

    struct Rule {
        int key = 0;
        std::string target;
        std::string op;
        std::string first;
        std::string second;
        bool skipped = false;   // another operator than "&"
        bool finished = false;  // its statement ran
        long long changed = 0;  // the engine's count of affected records
    };

    // A new run on a destination table.
    void Start(std::string displayName, std::string table);
    void SetPhase(Phase phase) { phase_ = phase; }

    void Emptied(long long deleted);

    // Pairs are added in the order the copy loop converts them; the index
    // returned is what Note takes.
    std::size_t AddPair(PairedField pair);

    // The copy loop.
    void RecordRead() { ++read_; }
    void RecordSaved() { ++saved_; }
    // After an error: the records the destination really holds from this
    // run replace the tally.
    void Recounted(long long counted) { saved_ = counted; }
    // ... or could not be counted.
    void Unverifiable() { unverified_ = true; }
    // The record the copy stopped at, when it is not the last one read (a
    // refusal that came back from a server after later records were read);
    // the records from it on were not saved (one save per record read).
    void StoppedAt(long long record) {
        stoppedAt_ = record;
        saved_ = std::min(saved_, record - 1);
    }
    void Note(std::size_t pair, ConversionNote note) { ++notes_[pair][static_cast<std::size_t>(note)]; }
    // A noted value whose record was then not saved.
    void Unnote(std::size_t pair, ConversionNote note) { --notes_[pair][static_cast<std::size_t>(note)]; }

    // Completion rules, in the order they are read; ReadingRule comes first,
    // so that a rule that cannot be read is still named.
    void ReadingRule(int key) { currentRule_ = key; }
    void RuleSkipped(int key, std::string target, std::string op);
    void RuleStarted(int key, std::string target, std::string first, std::string second);
    void RuleFinished(long long changed);

    long long Read() const { return read_; }
    long long Saved() const { return saved_; }
    const std::vector<PairedField>& Pairs() const { return pairs_; }
    long long Count(std::size_t pair, ConversionNote note) const
    {
        return notes_[pair][static_cast<std::size_t>(note)];
    }
    const std::vector<Rule>& Rules() const { return rules_; }

    // The details in Italian, one fact a line.
    std::string Text() const;

    // The facts the final message shows under its first line, one a line,
    // "" when there is none: the emptying ("Tabella svuotata prima della
    // copia (4 record eliminati)") and, with conversions, what they changed
    // over all paired fields ("65 valori troncati, 65 date sostituite con
    // la data odierna").
    std::string Summary(bool conversions) const;
    // `first` followed by the summary after a blank line, when there is one.
    std::string WithSummary(const std::string& first, bool conversions) const;

private:
    std::string StopLine() const;
    std::string PairLine(std::size_t index) const;
    static std::string RuleLine(const Rule& rule);

    std::string displayName_;
    std::string table_;
    Phase phase_ = Phase::Starting;
    bool emptied_ = false;
    long long deleted_ = 0;
    long long read_ = 0;
    long long saved_ = 0;
    long long stoppedAt_ = 0;  // 0: at the last record read
    bool unverified_ = false;
    std::vector<PairedField> pairs_;
    std::vector<std::array<long long, kConversionNoteCount>> notes_;
    std::vector<Rule> rules_;
    int currentRule_ = 0;
};

}  // namespace import
