#include "import/TemplateFormat.h"

#include <cctype>

#include "common/IniFile.h"
#include "common/Paths.h"
#include "common/engine/Error.h"
#include "common/text/AsciiText.h"

namespace import {
namespace {

std::string Where(std::string_view section, std::string_view key, const std::string& file)
{
    return "la chiave " + std::string(key) + " nella sezione [" + std::string(section) + "] del file " + file;
}

[[noreturn]] void ThrowMalformedEntry(std::string_view section, std::string_view key, const std::string& file,
                                      const std::string& value, std::string_view expected)
{
    throw core::Error(core::err::SubscriptOutOfRange,
                      "Indice non compreso nell'intervallo: " + Where(section, key, file) + " vale \"" + value +
                          "\", ma deve avere la forma " + std::string(expected) + ".",
                      "Tessily");
}

bool IsWholeNumberText(std::string_view text)
{
    text = core::text::Trim(text, " \t");
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return false;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

std::vector<std::string> SplitAtCommas(std::string_view text)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        if (comma == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

std::int16_t ReadCount(std::string_view section, std::string_view key, const std::string& file)
{
    // ReadIniCount already refuses what is no number and what overflows;
    // "2.5" (which it would round) and negative counts are refused here, since
    // a count of entries has no such form.
    const std::int16_t count = core::ReadIniCount(section, key, file);
    const std::string raw = core::ReadIniString(section, key, "0", file);
    if (!IsWholeNumberText(raw))
        throw core::Error(core::err::TypeMismatch,
                          "Tipo non corrispondente: " + Where(section, key, file) + " vale \"" + raw +
                              "\", che non è un numero intero non negativo.",
                          "Tessily");
    return count;
}

DestinationTables ReadDestinationTables(const std::string& iniPath)
{
    DestinationTables result;
    result.count = ReadCount("CFG", "TABLES", iniPath);
    for (int k = 1; k <= result.count; ++k) {
        const std::string key = std::to_string(k);
        const std::string value = core::ReadIniString("TABLES", key, "", iniPath);
        if (value.empty()) break;
        const std::vector<std::string> parts = SplitAtCommas(value);
        if (parts.size() < 2) ThrowMalformedEntry("TABLES", key, iniPath, value, "<nome>,<tabella>");
        core::cTable table;
        table.ID = k;
        table.Name = parts[0];
        table.Table = parts[1];
        result.tables.push_back(std::move(table));
    }
    return result;
}

std::string TemplatePath(std::string_view displayName)
{
    return core::PathBesideProgram("\\Tpl\\" + std::string(displayName) + ".ini");
}

const core::cField* ImportTemplate::Slot(int k) const
{
    if (k < 1 || static_cast<std::size_t>(k) > fields.size()) return nullptr;
    const core::cField& field = fields[static_cast<std::size_t>(k - 1)];
    return field.ID == 0 ? nullptr : &field;
}

ImportTemplate ReadImportTemplate(const std::string& file)
{
    ImportTemplate tpl;
    tpl.file = file;
    tpl.stdCount = ReadCount("CFG", "STD", file);
    tpl.reqCount = ReadCount("CFG", "REQ", file);
    tpl.fields.resize(static_cast<std::size_t>(tpl.stdCount) + static_cast<std::size_t>(tpl.reqCount) + 1);
    for (int k = 1; k <= kSlotCount; ++k) {
        const std::string key = std::to_string(k);
        const std::string value = core::ReadIniString("STD", key, "", file);
        if (value.empty()) continue;
        const std::vector<std::string> parts = SplitAtCommas(value);
        if (parts.size() < 2) ThrowMalformedEntry("STD", key, file, value, "<etichetta>,<campo>");
        if (static_cast<std::size_t>(k) > tpl.fields.size())
            throw core::Error(core::err::SubscriptOutOfRange,
                              "Indice non compreso nell'intervallo: " + Where("STD", key, file) +
                                  " riguarda la casella " + key + ", ma il modello dichiara STD = " +
                                  std::to_string(tpl.stdCount) + " e REQ = " + std::to_string(tpl.reqCount) +
                                  " (al massimo " + std::to_string(tpl.fields.size()) + " caselle).",
                              "Tessily");
        core::cField& field = tpl.fields[static_cast<std::size_t>(k - 1)];
        field.ID = k;
        field.Name = parts[0];
        field.Field = parts[1];
    }
    return tpl;
}

std::optional<CompletionRule> ReadCompletionRule(const std::string& file, int key)
{
    const std::string keyText = std::to_string(key);
    const std::string value = core::ReadIniString("REQ", keyText, "", file);
    if (value.empty()) return std::nullopt;
    CompletionRule rule;
    rule.key = key;
    rule.parts = SplitAtCommas(value);
    if (rule.parts.size() < 2)
        ThrowMalformedEntry("REQ", keyText, file, value, "<destinazione>,<operatore>,<primo>,<secondo>");
    if (rule.IsConcatenation() && rule.parts.size() < 4)
        ThrowMalformedEntry("REQ", keyText, file, value, "<destinazione>,&,<primo>,<secondo>");
    return rule;
}

std::string ConcatenationStatement(std::string_view table, const CompletionRule& rule)
{
    // Names go between square brackets as they stand: one that holds a
    // bracket would end the name early and put the rest of the template's
    // text into the statement.
    for (const std::string_view name : {std::string_view(table), std::string_view(rule.parts[0]),
                                        std::string_view(rule.parts[2]), std::string_view(rule.parts[3])}) {
        if (name.find_first_of("[]") != std::string_view::npos)
            throw core::Error(core::err::ItemNotFound,
                              "Nome di campo non valido nella regola " + std::to_string(rule.key) + " del modello: '" +
                                  std::string(name) + "' contiene una parentesi quadra.");
    }
    const std::string& target = rule.parts[0];
    const std::string& first = rule.parts[2];
    const std::string& second = rule.parts[3];
    return "UPDATE [" + std::string(table) + "]" + " SET [" + target + "] =" + " ([" + first + "] + ' ' + " + " [" +
           second + "])" + " WHERE [" + target + "] = ''";
}

}  // namespace import
