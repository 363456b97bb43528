#pragma once
// Tessily's two kinds of INI file: the list of destination tables in the
// program's configuration (CFG/TABLES and section TABLES) and one import
// template per destination table in Tpl beside the program (section STD:
// the fields offered in the 24 pairing slots; section REQ: the completion
// rules run after a copy). Both are only read.
//
// Malformed values never reach the window half-read: every reader either
// returns the whole result or raises core::Error whose Italian description
// names the file, the section and the key.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ValueClasses.h"

namespace import {

// The pairing slots of the window; STD keys above this are never read.
inline constexpr int kSlotCount = 24;

// A value split at every comma, parts kept exactly as they stand.
std::vector<std::string> SplitAtCommas(std::string_view text);

// A count key (CFG/TABLES, CFG/STD, CFG/REQ): "0" when missing; otherwise a
// whole, non-negative number up to 32767. Anything else (the empty text,
// "2.5", "-1", "tre") raises 13, or 6 beyond 16 bits.
std::int16_t ReadCount(std::string_view section, std::string_view key, const std::string& file);

struct DestinationTables {
    std::int16_t count = 0;            // CFG/TABLES, an upper bound
    std::vector<core::cTable> tables;  // entries read, ID = key number
};

// CFG/TABLES and the entries "1".."count" of section TABLES, up to the first
// missing or empty one. An entry of fewer than two parts raises 9.
DestinationTables ReadDestinationTables(const std::string& iniPath);

// The template of a destination table: the program's folder, "\Tpl\", the
// display name exactly as listed, ".ini".
std::string TemplatePath(std::string_view displayName);

struct ImportTemplate {
    std::string file;
    std::int16_t stdCount = 0;
    std::int16_t reqCount = 0;
    // Room for stdCount + reqCount + 1 entries; entry k-1 belongs to slot k.
    // A slot without an STD entry holds a blank cField (ID 0, empty texts).
    std::vector<core::cField> fields;

    // The field of slot k (from 1), or nothing for an empty slot.
    const core::cField* Slot(int k) const;
};

// CFG/STD, CFG/REQ and the STD keys 1..24 (gaps allowed). Raises 9 for an
// STD entry of fewer than two parts or one whose slot lies beyond the
// table of fields (stdCount + reqCount + 1 entries).
ImportTemplate ReadImportTemplate(const std::string& file);

// One completion rule: ⟨Target⟩,⟨Operator⟩,⟨First⟩,⟨Second⟩.
struct CompletionRule {
    int key = 0;
    std::vector<std::string> parts;

    const std::string& Operator() const { return parts[1]; }
    bool IsConcatenation() const { return parts[1] == "&"; }
};

// Rule `key` of section REQ; nothing when the key is missing or empty (which
// ends the rules). A rule without an operator, or a concatenation with fewer
// than four parts, raises 9.
std::optional<CompletionRule> ReadCompletionRule(const std::string& file, int key);

// UPDATE [T] SET [A] = ([B] + ' ' +  [C]) WHERE [A] = ''
std::string ConcatenationStatement(std::string_view table, const CompletionRule& rule);

}  // namespace import
