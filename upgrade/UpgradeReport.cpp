#include "upgrade/UpgradeReport.h"

#include <utility>

namespace upgrade {
namespace {

std::string Counted(long long n, const char* one, const char* many)
{
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string out;
    for (const std::string& name : names) out += (out.empty() ? "" : ", ") + name;
    return out;
}

constexpr const char* kIndent = "   ";
constexpr const char* kFieldIndent = "      ";

}  // namespace

void UpgradeReport::Start(std::string backup)
{
    *this = UpgradeReport{};
    backup_ = std::move(backup);
}

void UpgradeReport::AppendTable(std::string& out, const Table& table)
{
    if (table.state == TableState::NotReached) {
        out += kIndent + table.name + "\n";
        return;
    }
    out += kIndent + table.name + ": ";
    switch (table.state) {
    case TableState::Copied:
        out += Counted(table.read, "riga nell'archivio", "righe nell'archivio") + ", " +
               Counted(table.copied, "copiata", "copiate") + "\n";
        break;
    case TableState::InProgress:
        out += Counted(table.read, "riga letta", "righe lette") + " dall'archivio, " +
               Counted(table.copied, "copiata", "copiate") + " prima dell'errore\n";
        break;
    case TableState::Missing:
        out += "saltata, non presente nell'archivio (restano le righe del modello)\n";
        return;
    case TableState::System:
        out += "lasciata com'è (tabella di sistema)\n";
        return;
    case TableState::NotReached: return;
    }
    if (!table.dropped.empty())
        out += kFieldIndent + std::string("campi dell'archivio tolti dal modello: ") + Joined(table.dropped) + "\n";
    if (!table.defaulted.empty())
        out += kFieldIndent + std::string("campi nuovi del modello, al valore predefinito: ") + Joined(table.defaulted) +
               "\n";
}

std::string UpgradeReport::StopLine() const
{
    const std::string untouched = ": l'archivio non è stato modificato.";
    if (!stage_) {
        for (const Table& table : tables_)
            if (table.state == TableState::InProgress)
                return "L'aggiornamento si è fermato durante la copia della tabella " + table.name + untouched;
        if (tables_.empty()) return "L'aggiornamento si è fermato all'apertura dei file, prima della copia" + untouched;
        return "L'aggiornamento si è fermato durante la copia delle tabelle" + untouched;
    }
    switch (*stage_) {
    case UpgradeStage::TablesCopied:
        return "L'aggiornamento si è fermato alla verifica del numero di righe, dopo la copia di tutte le tabelle" +
               untouched;
    case UpgradeStage::Verified:
        return "L'aggiornamento si è fermato alla chiusura dei file, dopo la copia e la verifica" + untouched;
    case UpgradeStage::Closed:
    case UpgradeStage::Protected:
        return "L'aggiornamento si è fermato al controllo e alla scrittura su disco del modello aggiornato" +
               untouched;
    case UpgradeStage::Flushed:
    case UpgradeStage::BackupMade:
    case UpgradeStage::Swapped:
        break;
    }
    return "L'aggiornamento si è fermato allo scambio dei file, dopo la copia e la verifica di tutte le tabelle.";
}

std::string UpgradeReport::BackupLine() const
{
    if (swapped_) return "Copia di sicurezza dell'archivio originale: " + backup_;
    if (backupMade_)
        return "L'archivio era stato rinominato in " + backup_ +
               ", ma il modello aggiornato non ha preso il suo posto: il messaggio dice dove si trova ora l'archivio "
               "originale.";
    return "Copia di sicurezza: non creata, l'archivio è rimasto al suo posto.";
}

std::string UpgradeReport::Text() const
{
    std::string out;
    if (finished_) {
        out += "Tabelle del modello, nell'ordine di copia:\n";
        for (const Table& table : tables_) AppendTable(out, table);
        if (tables_.empty()) out += std::string(kIndent) + "nessuna\n";
        out += "\n" + BackupLine() + "\n";
        return out;
    }

    out += StopLine() + "\n\n";
    std::string done, current, notReached;
    for (const Table& table : tables_) {
        std::string& part = table.state == TableState::NotReached   ? notReached
                            : table.state == TableState::InProgress ? current
                                                                    : done;
        AppendTable(part, table);
    }
    const std::string none = std::string(kIndent) + "nessuna\n";
    out += "Tabelle completate:\n" + (done.empty() ? none : done);
    out += "Tabella in corso:\n" + (current.empty() ? none : current);
    out += "Tabelle non raggiunte:\n" + (notReached.empty() ? none : notReached);
    out += "\n" + BackupLine() + "\n";
    return out;
}

}  // namespace upgrade
