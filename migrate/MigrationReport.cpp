#include "migrate/MigrationReport.h"

#include <algorithm>
#include <utility>

#include "common/engine/FieldConvert.h"

namespace migrate {
namespace {

std::string Counted(long long n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string StepName(const TableStep& step)
{
    return step.sourceTable + " → " + step.destinationTable;
}

std::string StepNumber(const TableStep& step)
{
    // Right-aligned to two places so that the names line up.
    return (step.number < 10 ? " " : "") + std::to_string(step.number) + ". ";
}

const char* FilterText(RecordFilter filter)
{
    switch (filter) {
    case RecordFilter::None: break;
    case RecordFilter::Name: return "Denominazione Null o di non più di 2 caratteri";
    case RecordFilter::FirstLookupFound: return "listino non trovato";
    }
    return "";
}

// Long or multi-line codes would break the layout of the details.
constexpr std::size_t kCodeChars = 60;

constexpr const char* kIndent = "      ";
constexpr const char* kCodeIndent = "         ";

}  // namespace

void MigrationReport::Step::NotFound(std::size_t row, const core::Variant& code)
{
    Missing& m = missing[row];
    ++m.records;
    if (code.IsNull()) ++m.nullCode;
    else ++m.codes[code.IsText() ? code.AsText() : code.ToText()];
}

void MigrationReport::Start(const std::vector<TableStep>& steps)
{
    steps_.clear();
    steps_.reserve(steps.size());
    for (const TableStep& step : steps) {
        Step s;
        s.step = &step;
        s.cut.assign(step.rows.size(), 0);
        s.missing.resize(step.rows.size());
        steps_.push_back(std::move(s));
    }
    succeeded_ = false;
}

MigrationReport::Step& MigrationReport::Begin(std::size_t index)
{
    steps_[index].state = StepState::InProgress;
    return steps_[index];
}

std::string MigrationReport::CodeLabel(const std::string& code)
{
    if (code.empty()) return "(vuoto)";
    std::string shown = core::CutChars(code, kCodeChars);
    for (char& c : shown)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    if (shown.size() < code.size()) shown += "...";
    return "\"" + shown + "\"";
}

std::string MigrationReport::Header() const
{
    std::size_t done = 0;
    const Step* current = nullptr;
    for (const Step& s : steps_) {
        if (s.state == StepState::Done) ++done;
        if (s.state == StepState::InProgress) current = &s;
    }
    const std::string total = std::to_string(steps_.size());
    std::string out;
    if (succeeded_) {
        out = "Migrazione completata: " + Counted(static_cast<long long>(done), "passo eseguito", "passi eseguiti") +
              " su " + total + ".\n";
    } else if (current) {
        out = "Migrazione interrotta al passo " + std::to_string(current->step->number) + " (" +
              StepName(*current->step) + "): " +
              Counted(static_cast<long long>(done), "passo completato", "passi completati") + " su " + total + ", " +
              Counted(current->saved, "record salvato", "record salvati") +
              " nel passo interrotto prima dell'errore.\n";
    } else {
        out = "Migrazione interrotta prima del primo passo: nessun record copiato.\n";
    }
    return out;
}

void MigrationReport::AppendMissing(std::string& out, const FieldRow& row, const Missing& missing)
{
    out += kIndent + row.destination + " ← " + row.source + " (codici di " + row.lookupTable + "): ";
    if (missing.records == 0) {
        out += "tutti i codici trovati\n";
        return;
    }
    const long long distinct = static_cast<long long>(missing.codes.size()) + (missing.nullCode > 0 ? 1 : 0);
    out += Counted(missing.records, "record con codice non trovato", "record con codice non trovato") + " (" +
           Counted(distinct, "codice diverso", "codici diversi") + ")\n";

    // The most frequent first; equal counts in the codes' order, Null first.
    std::vector<std::pair<std::string, long long>> codes;
    codes.reserve(distinct);
    if (missing.nullCode > 0) codes.emplace_back("(Null)", missing.nullCode);
    for (const auto& [code, count] : missing.codes) codes.emplace_back(CodeLabel(code), count);
    const std::size_t shown = std::min(codes.size(), kCodesShown);
    std::partial_sort(codes.begin(), codes.begin() + static_cast<std::ptrdiff_t>(shown), codes.end(),
                      [](const auto& a, const auto& b) {
                          if (a.second != b.second) return a.second > b.second;
                          if ((a.first == "(Null)") != (b.first == "(Null)")) return a.first == "(Null)";
                          return a.first < b.first;
                      });
    for (std::size_t i = 0; i < shown; ++i)
        out += kCodeIndent + codes[i].first + ": " + Counted(codes[i].second, "record", "record") + "\n";
    if (codes.size() > shown) {
        long long rest = 0;
        for (std::size_t i = shown; i < codes.size(); ++i) rest += codes[i].second;
        out += kCodeIndent + std::string("e altri ") + std::to_string(codes.size() - shown) + " (" +
               Counted(rest, "record", "record") + ")\n";
    }
}

void MigrationReport::AppendStep(std::string& out, const Step& s)
{
    const TableStep& step = *s.step;
    out += StepNumber(step) + StepName(step);
    if (s.state == StepState::InProgress) out += " (interrotto dall'errore)";
    out += "\n";
    if (s.emptied) out += kIndent + std::string("Tabella di destinazione svuotata prima della copia\n");
    out += kIndent + std::string("Record letti: ") + std::to_string(s.read) + ", salvati: ";
    if (s.state == StepState::InProgress && s.baseline >= 0 && s.counted < 0 && s.tallied > 0)
        out += "non verificabili (" + std::to_string(s.tallied) + " prima dell'errore, ma il database non si lascia contare)";
    else out += std::to_string(s.saved);
    if (s.counted >= 0) out += " (contati nel database)";
    if (step.filter != RecordFilter::None)
        out += ", scartati dal filtro: " + std::to_string(s.skipped) + " (" + FilterText(step.filter) + ")";
    out += "\n";
    if (s.counted >= 0 && s.tallied > s.counted)
        out += kIndent + std::string("Record salvati e poi andati persi per l'errore: ") +
               std::to_string(s.tallied - s.counted) + "\n";

    std::string cuts;
    bool anyCutRule = false;
    for (std::size_t i = 0; i < step.rows.size(); ++i) {
        const FieldRow& row = step.rows[i];
        if (row.rule != Rule::Cut) continue;
        anyCutRule = true;
        if (s.cut[i] == 0) continue;
        // One field a line: a step may cut many fields, and a long line
        // would widen the whole message box.
        cuts += kCodeIndent + row.destination + " a " + std::to_string(row.length) + " caratteri: " +
                std::to_string(s.cut[i]) + "\n";
    }
    if (anyCutRule) out += kIndent + std::string("Valori troncati:") + (cuts.empty() ? " nessuno\n" : "\n" + cuts);

    for (std::size_t i = 0; i < step.rows.size(); ++i)
        if (step.rows[i].rule == Rule::Lookup) AppendMissing(out, step.rows[i], s.missing[i]);
}

MigrationReport::Step* MigrationReport::Current()
{
    for (Step& s : steps_)
        if (s.state == StepState::InProgress) return &s;
    return nullptr;
}

std::string MigrationReport::Text() const
{
    std::string out = Header();
    long long read = 0;
    long long saved = 0;
    for (const Step& s : steps_) {
        read += s.read;
        saved += s.saved;
    }
    out += "Totale: " + Counted(read, "record letto", "record letti") + ", " +
           Counted(saved, "record salvato", "record salvati") + ".\n";

    std::string notReached;
    for (const Step& s : steps_) {
        if (s.state == StepState::NotReached) {
            notReached += kIndent + StepNumber(*s.step) + StepName(*s.step) + "\n";
            continue;
        }
        out += "\n";
        AppendStep(out, s);
    }
    if (!notReached.empty()) out += "\nPassi non raggiunti:\n" + notReached;
    return out;
}

}  // namespace migrate
