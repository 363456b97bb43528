#include "common/SourceCheck.h"

#include "common/engine/Dao.h"
#include "common/engine/Error.h"
#include "common/engine/SimpleSql.h"

namespace core {

namespace {

constexpr const char* kUntouched = " Nessun dato è stato scritto nella destinazione.";

[[noreturn]] void RaiseUntouched(const Error& e) {
    throw Error(e.Number(), e.Description() + kUntouched, e.Source(), e.NativeText());
}

bool IsDamage(int number) { return number == err::CorruptDatabase || number == err::NotADatabase; }

}  // namespace

void VerifySourceTables(const std::string& path, const std::string& connect, const std::vector<std::string>& tables) {
    std::unique_ptr<Database> db;
    try {
        db = Workspace::OpenDatabase(path, false, false, connect);
    } catch (const Error& e) {
        if (e.Number() == err::CorruptDatabase) RaiseUntouched(e);
        return;
    }
    for (const std::string& table : tables) {
        try {
            db->Verify(table);
        } catch (const Error& e) {
            if (IsDamage(e.Number())) RaiseUntouched(e);
        }
    }
}

void VerifyRecordSource(DataControl& control) {
    std::string table = control.RecordSource;
    if (LooksLikeSql(table)) {
        const auto select = ParseSimpleSelect(table);
        if (!select) return;
        table = select->table;
    }
    try {
        control.Database().Verify(table);
    } catch (const Error& e) {
        RaiseUntouched(e);
    }
}

}  // namespace core
