#include "import/ImportReport.h"

#include <utility>

namespace import {
namespace {

std::string Number(long long n) { return std::to_string(n); }

// "1 record salvato", "3 record salvati": the count with the words that
// agree with it.
std::string Counted(long long n, const char* one, const char* many) { return Number(n) + " " + (n == 1 ? one : many); }

std::string SlotNumber(int slot)
{
    // Right-aligned to two places so that the arrows line up.
    std::string text(slot < 10 ? " " : "");
    text.append(std::to_string(slot)).append(". ");
    return text;
}

}  // namespace

void ImportReport::Start(std::string displayName, std::string table)
{
    *this = ImportReport{};
    displayName_ = std::move(displayName);
    table_ = std::move(table);
}

void ImportReport::Emptied(long long deleted)
{
    emptied_ = true;
    deleted_ = deleted;
}

std::size_t ImportReport::AddPair(PairedField pair)
{
    pairs_.push_back(std::move(pair));
    notes_.push_back({});
    return pairs_.size() - 1;
}

void ImportReport::RuleSkipped(int key, std::string target, std::string op)
{
    Rule rule;
    rule.key = key;
    rule.target = std::move(target);
    rule.op = std::move(op);
    rule.skipped = true;
    rules_.push_back(std::move(rule));
}

void ImportReport::RuleStarted(int key, std::string target, std::string first, std::string second)
{
    Rule rule;
    rule.key = key;
    rule.target = std::move(target);
    rule.op.assign(1, '&');
    rule.first = std::move(first);
    rule.second = std::move(second);
    rules_.push_back(std::move(rule));
}

void ImportReport::RuleFinished(long long changed)
{
    if (rules_.empty()) return;
    rules_.back().finished = true;
    rules_.back().changed = changed;
}

std::string ImportReport::StopLine() const
{
    switch (phase_) {
    case Phase::Starting:
        return "L'importazione si è fermata prima della copia: la tabella di destinazione non è stata modificata.";
    case Phase::Emptying:
        return "L'importazione si è fermata durante lo svuotamento della tabella di destinazione, prima della copia.";
    case Phase::Copying:
        if (read_ == 0) return "L'importazione si è fermata all'inizio della copia, prima del primo record.";
        if (saved_ == read_)
            return "L'importazione si è fermata durante la copia, dopo il record " + Number(read_) +
                   " dell'origine: " + Counted(saved_, "record salvato", "record salvati") + ".";
        {
            const long long at = stoppedAt_ > 0 ? stoppedAt_ : read_;
            std::string line = "L'importazione si è fermata durante la copia, al record ";
            line.append(Number(at)).append(" dell'origine: ");
            line.append(Counted(saved_, "record salvato", "record salvati")).append(" prima dell'errore; il record ");
            line.append(Number(at)).append(" non è stato salvato");
            if (at < read_)
                line.append(", né i successivi fino al ").append(Number(read_)).append(
                    ", già letti quando il database lo ha rifiutato");
            line += '.';
            return line;
        }
    case Phase::Rules:
        return "L'importazione si è fermata alla regola di completamento " + std::to_string(currentRule_) +
               ", dopo la copia di tutti i record: le regole precedenti sono state applicate, le successive no.";
    case Phase::Done: break;
    }
    return {};
}

std::string ImportReport::PairLine(std::size_t index) const
{
    const PairedField& pair = pairs_[index];
    std::string line = SlotNumber(pair.slot) + pair.label + " [" + pair.field + "] ← " + pair.source + ": ";
    std::string facts;
    auto add = [&facts](std::string fact) {
        if (!facts.empty()) facts += ", ";
        facts += std::move(fact);
    };
    switch (pair.group) {
    case ConversionGroup::Text:
        if (pair.size > 0)
            add(Counted(Count(index, ConversionNote::Cut), "valore troncato", "valori troncati") + " a " +
                std::to_string(pair.size) + " caratteri");
        break;
    case ConversionGroup::WholeNumber:
    case ConversionGroup::OtherNumber:
        add(Counted(Count(index, ConversionNote::Zero), "testo non numerico diventato 0",
                    "testi non numerici diventati 0"));
        if (pair.group == ConversionGroup::OtherNumber)
            add(Counted(Count(index, ConversionNote::NullZero), "valore vuoto (Null) diventato 0",
                        "valori vuoti (Null) diventati 0"));
        break;
    case ConversionGroup::Date:
        add(Counted(Count(index, ConversionNote::Today), "valore diventato la data odierna",
                    "valori diventati la data odierna"));
        break;
    }
    if (facts.empty()) facts = "copiato per intero";
    return line + facts;
}

std::string ImportReport::RuleLine(const Rule& rule)
{
    std::string line = SlotNumber(rule.key);
    if (rule.skipped) return line + rule.target + ", operatore \"" + rule.op + "\": saltata";
    line += rule.target + " = " + rule.first + " & \" \" & " + rule.second + " (dove vuoto): ";
    if (!rule.finished) return line + "interrotta dall'errore";
    return line + Counted(rule.changed, "record modificato", "record modificati");
}

std::string ImportReport::Summary(bool conversions) const
{
    std::string out;
    if (emptied_)
        out += "Tabella svuotata prima della copia (" +
               Counted(deleted_, "record eliminato", "record eliminati") + ")\n";
    if (conversions) {
        long long total[kConversionNoteCount] = {};
        for (const auto& counts : notes_)
            for (int i = 0; i < kConversionNoteCount; ++i) total[i] += counts[static_cast<std::size_t>(i)];
        auto count = [&total](ConversionNote note) { return total[static_cast<int>(note)]; };
        std::string facts;
        auto add = [&facts](long long n, const char* one, const char* many) {
            if (n == 0) return;
            if (!facts.empty()) facts += ", ";
            facts += Counted(n, one, many);
        };
        add(count(ConversionNote::Cut), "valore troncato", "valori troncati");
        add(count(ConversionNote::Today), "data sostituita con la data odierna", "date sostituite con la data odierna");
        add(count(ConversionNote::Zero) + count(ConversionNote::NullZero), "valore letto come 0", "valori letti come 0");
        if (!facts.empty()) out += facts + "\n";
    }
    if (!out.empty()) out.pop_back();
    return out;
}

std::string ImportReport::WithSummary(const std::string& first, bool conversions) const
{
    const std::string summary = Summary(conversions);
    return summary.empty() ? first : first + "\n\n" + summary;
}

std::string ImportReport::Text() const
{
    std::string out;
    if (phase_ != Phase::Done) out += StopLine() + "\n";
    if (displayName_.empty()) return out;  // stopped before a table was chosen
    if (phase_ != Phase::Done) out += "\n";

    out += "Tabella di destinazione: " + displayName_;
    if (!table_.empty() && table_ != displayName_) out += " (" + table_ + ")";
    out += "\n";
    if (phase_ == Phase::Starting) return out;

    if (emptied_) out += "Record eliminati prima della copia: " + Number(deleted_) + "\n";
    out += "Record letti dall'origine: " + Number(read_) + "\n";
    if (unverified_)
        out += "Record salvati: non verificabili (" + Number(saved_) +
               " prima dell'errore, ma il database non si lascia contare)\n";
    else
        out += "Record salvati: " + Number(saved_) + "\n";
    if (phase_ == Phase::Emptying) return out;

    out += "\nCampi abbinati (casella, destinazione ← origine):\n";
    if (pairs_.empty()) out += "   nessuno\n";
    for (std::size_t i = 0; i < pairs_.size(); ++i) out += PairLine(i) + "\n";

    out += "\nRegole di completamento:\n";
    if (phase_ == Phase::Copying) {
        out += "   non eseguite\n";
    } else if (rules_.empty()) {
        out += "   nessuna\n";
    } else {
        for (const Rule& rule : rules_) out += RuleLine(rule) + "\n";
    }
    return out;
}

}  // namespace import
