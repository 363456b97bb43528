#pragma once
// A driver that keeps its tables in memory, to test the data-access objects
// and the engine's driver choice without any file format behind them.

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "common/engine/Driver.h"
#include "common/engine/Error.h"
#include "common/engine/SimpleSql.h"

namespace testsupport {

struct MemoryTable {
    std::vector<core::FieldInfo> columns;
    std::vector<std::vector<core::Variant>> rows;
    std::vector<bool> deleted;
};

struct MemoryStore {
    std::map<std::string, MemoryTable> tables;
    int flushes = 0;
    int opens = 0;
};

inline std::map<std::string, MemoryStore>& Stores() {
    static std::map<std::string, MemoryStore> stores;
    return stores;
}

class MemoryCursor : public core::Cursor {
public:
    MemoryCursor(MemoryTable& table, std::optional<std::pair<int, std::string>> filter)
        : table_(table), filter_(std::move(filter)) {
        Skip();
    }
    const std::vector<core::FieldInfo>& Columns() const override { return table_.columns; }
    bool AtEnd() const override { return row_ >= table_.rows.size(); }
    void Next() override {
        ++row_;
        Skip();
    }
    const core::Variant& Get(int column) const override { return table_.rows[row_][static_cast<std::size_t>(column)]; }
    double Percent() const override { return table_.rows.empty() ? 0 : 100.0 * row_ / table_.rows.size(); }
    bool Updatable() const override { return true; }
    void Insert(const std::vector<std::optional<core::Variant>>& values) override {
        std::vector<core::Variant> row;
        for (std::size_t i = 0; i < values.size(); ++i) {
            const auto& column = table_.columns[i];
            if (column.autoIncrement) row.emplace_back(static_cast<long long>(table_.rows.size() + 1));
            else if (values[i]) row.push_back(*values[i]);
            else row.emplace_back();
            if (column.required && row.back().IsNull())
                throw core::Error(core::err::NullInRequired, "Campo obbligatorio " + column.name);
        }
        table_.rows.push_back(std::move(row));
        table_.deleted.push_back(false);
    }
    void DeleteCurrent() override { table_.deleted[row_] = true; }

private:
    void Skip() {
        while (row_ < table_.rows.size() &&
               (table_.deleted[row_] ||
                (filter_ && table_.rows[row_][static_cast<std::size_t>(filter_->first)].ToTextOrEmpty() != filter_->second)))
            ++row_;
    }
    MemoryTable& table_;
    std::optional<std::pair<int, std::string>> filter_;
    std::size_t row_ = 0;
};

class MemoryConnection : public core::Connection {
public:
    MemoryConnection(MemoryStore& store, std::string name, bool readOnly)
        : store_(store), name_(std::move(name)), readOnly_(readOnly) {}
    std::vector<std::string> TableNames() override {
        std::vector<std::string> names;
        for (const auto& [name, table] : store_.tables) names.push_back(name);
        return names;
    }
    std::unique_ptr<core::Cursor> OpenCursor(const std::string& sql) override {
        auto select = core::ParseSimpleSelect(sql);
        if (!select) throw core::Error(core::err::SyntaxErrorSql, "Sintassi: " + sql);
        auto it = store_.tables.find(select->table);
        if (it == store_.tables.end())
            throw core::Error(core::err::TableNotFound, "Tabella '" + select->table + "' non trovata.");
        std::optional<std::pair<int, std::string>> filter;
        if (select->whereField) {
            for (std::size_t i = 0; i < it->second.columns.size(); ++i)
                if (it->second.columns[i].name == *select->whereField) filter.emplace(static_cast<int>(i), select->whereValue);
        }
        return std::make_unique<MemoryCursor>(it->second, filter);
    }
    long long Execute(const std::string& sql) override {
        executed.push_back(sql);
        return 7;
    }
    void Flush() override { ++store_.flushes; }
    bool ReadOnly() const override { return readOnly_; }
    std::string Name() const override { return name_; }
    std::vector<std::string> executed;

private:
    MemoryStore& store_;
    std::string name_;
    bool readOnly_;
};

class MemoryDriver : public core::Driver {
public:
    std::string Name() const override { return "Memoria"; }
    bool HandlesDriverText(std::string_view text) const override { return text == "memoria"; }
    bool RecognisesHeader(std::string_view header) const override { return header.rfind("MEMDB", 0) == 0; }
    std::shared_ptr<core::Connection> Open(const core::OpenRequest& request) override {
        auto it = Stores().find(request.path);
        if (it == Stores().end())
            throw core::Error(core::err::FileNotFoundDb, "File '" + request.path + "' non trovato.");
        if (request.connect.password != "pw") throw core::Error(core::err::BadPassword, "Password non valida.");
        ++it->second.opens;
        return std::make_shared<MemoryConnection>(it->second, request.path, request.readOnly);
    }
};

}  // namespace testsupport
