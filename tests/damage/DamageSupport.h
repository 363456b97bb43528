#pragma once
// Damaged copies of a sound file (cut at a page boundary, or one page
// overwritten by zeros) and the reading of a file through the engine, every
// table whole, for comparison with the sound file's reading.

#include <algorithm>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "common/engine/Dao.h"
#include "common/engine/Error.h"
#include "common/engine/Variant.h"

namespace damagetest {

struct Damage {
    enum class Kind { Cut, Zeroed };
    Kind kind = Kind::Cut;
    std::size_t offset = 0;  // where the file ends, or where the zeroed page starts
    std::size_t length = 0;  // the zeroed page's length

    std::string Apply(const std::string& sound) const {
        if (kind == Kind::Cut) return sound.substr(0, offset);
        std::string copy = sound;
        std::fill_n(copy.begin() + static_cast<std::ptrdiff_t>(offset), std::min(length, copy.size() - offset), '\0');
        return copy;
    }
    std::string Name() const {
        return (kind == Kind::Cut ? "tagliato a " : "azzerato da ") + std::to_string(offset);
    }
    bool TouchesFirstPage() const { return kind == Kind::Zeroed && offset == 0; }
};

// Every page boundary as a cut and every page zeroed, at every `stride`-th
// page, where the stride keeps each kind to about `perKind` copies.
inline std::vector<Damage> Damages(std::size_t fileSize, std::size_t pageSize, std::size_t perKind) {
    const std::size_t pages = (fileSize + pageSize - 1) / pageSize;
    const std::size_t stride = std::max<std::size_t>(1, (pages + perKind - 1) / perKind);
    std::vector<Damage> out;
    for (std::size_t page = 0; page < pages; page += stride) {
        if (page > 0) out.push_back({Damage::Kind::Cut, page * pageSize, pageSize});
        out.push_back({Damage::Kind::Zeroed, page * pageSize, pageSize});
    }
    return out;
}

// What reading a file gave: the rows of every user table (system tables
// left out, as the programs leave them), or the first error.
struct Outcome {
    int error = 0;
    int verifyError = 0;  // the first table that Verify refused
    bool atOpen = false;  // the error came when the file was opened
    std::string description;
    std::map<std::string, std::vector<std::string>> tables;
};

// `ignored`: columns whose values are not compared (a time of insertion).
inline std::string RowText(core::Recordset& rs, const std::vector<std::string>& ignored) {
    std::string row;
    for (int i = 0; i < rs.Fields().Count(); ++i) {
        if (std::find(ignored.begin(), ignored.end(), rs.Fields()[i].Name()) != ignored.end()) {
            row += "*|";
            continue;
        }
        const core::Variant value = rs.Fields()[i].Value();
        row += core::Describe(value);
        if (value.kind() == core::Variant::Kind::Binary) row.append(value.AsBytes().begin(), value.AsBytes().end());
        row += '|';
    }
    return row;
}

inline Outcome ReadThroughEngine(const std::string& path, const std::string& connect,
                                 const std::vector<std::string>& ignored = {}) {
    Outcome out;
    try {
        out.atOpen = true;
        auto db = core::Workspace::OpenPrivateDatabase(path, false, true, connect);
        std::vector<std::string> names;
        for (const auto& def : db->TableDefs())
            if (def.Name.find("MSys") == std::string::npos) names.push_back(def.Name);
        out.atOpen = false;
        for (const auto& name : names) {
            try {
                db->Verify(name);
            } catch (const core::Error& e) {
                if (!out.verifyError) out.verifyError = e.Number();
                if (out.description.empty()) out.description = "Verify: " + e.Description();
            }
        }
        for (const auto& name : names) {
            auto rs = db->OpenRecordset(core::SelectAllFrom(name));
            auto& rows = out.tables[name];
            for (; !rs->Eof(); rs->MoveNext()) rows.push_back(RowText(*rs, ignored));
        }
    } catch (const core::Error& e) {
        out.error = e.Number();
        out.description = e.Description();
    }
    return out;
}

// How a damaged copy's reading differs from the sound file's; nothing when
// it gives the same rows.
inline std::optional<std::string> Difference(const Outcome& sound, const Outcome& copy) {
    for (const auto& [table, rows] : sound.tables) {
        const auto found = copy.tables.find(table);
        if (found == copy.tables.end()) return "table " + table + " missing";
        if (found->second.size() != rows.size())
            return "table " + table + ": " + std::to_string(found->second.size()) + " rows of " +
                   std::to_string(rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            if (found->second[i] != rows[i]) return "table " + table + ": row " + std::to_string(i) + " differs";
    }
    if (copy.tables.size() != sound.tables.size()) return std::string("more tables than the sound file");
    return std::nullopt;
}

// Counts of the outcomes of one file's copies, for the listing.
struct Tally {
    std::size_t same = 0;
    std::map<int, std::size_t> errors;
    std::size_t foundBeforeReading = 0;  // at open or by Verify
    void Count(const Outcome& o) {
        ++errors[o.error];
        if (o.atOpen || o.verifyError) ++foundBeforeReading;
    }
    std::string Text() const {
        std::string text = "stesse righe " + std::to_string(same);
        for (const auto& [number, count] : errors) text += ", errore " + std::to_string(number) + ": " + std::to_string(count);
        return text + " (" + std::to_string(foundBeforeReading) + " trovati prima di leggere le righe)";
    }
};

}  // namespace damagetest
