// Every write and sync of a run, failed in turn: each program is run once
// to count the writes and syncs its destination receives, then again with
// a full disk or an I/O error at points spread over that count (the last
// ones, the final commits, always among them), and with another program
// holding the destination. Every such run must end in an error message
// naming what happened, leave a destination that passes SQLite's integrity
// check, and (Varnel, Tessily) hold exactly the records its report says
// were saved; Quillon's archive must keep its bytes.
//
// AGENCY_FAULTS_FULL=1 fails every write and sync, with every kind of fault,
// instead of a sample.

#include <gtest/gtest.h>

#include <iostream>

#include "tests/faults/FaultSupport.h"

using namespace faultstest;

namespace {

constexpr const char* kSuccess = "Operazione eseguita con successo!";

bool ShowsSuccess(const RunResult& r) {
    for (const auto& m : r.messages)
        if (m.text.rfind(kSuccess, 0) == 0) return true;
    return false;
}

std::unique_ptr<Subject> Make(const std::string& program) {
    if (program == "Varnel") return std::make_unique<VarnelSubject>();
    if (program == "Tessily") return std::make_unique<TessilySubject>();
    // Over three batches of saves.
    if (program == "TessilyTesto") return std::make_unique<TessilySubject>(1400, true);
    return std::make_unique<QuillonSubject>(1500);
}

// The details of the message that ended the run.
std::string Details(const RunResult& r) { return r.Last() ? r.Last()->details : std::string(); }

std::map<std::string, Saved> ReportedSaved(const std::string& program, const RunResult& r) {
    if (program == "Varnel") return VarnelSaved(Details(r));
    return TessilySaved(Details(r), "tblAnClienti");
}

// Installs a busy policy for one test and puts the previous one back.
class BusyPolicyScope {
public:
    explicit BusyPolicyScope(core::BusyPolicy policy) : previous_(core::SetBusyPolicy(std::move(policy))) {}
    ~BusyPolicyScope() { core::SetBusyPolicy(std::move(previous_)); }

private:
    core::BusyPolicy previous_;
};

// One line per run: the message, then the records each destination table
// holds against those the report says (file/report), or the archive kept.
void Print(const std::string& program, const std::string& what, const RunResult& r) {
    std::string said = r.Last() ? "[" + r.Last()->title + "] " + r.Last()->text : "(nessun messaggio)";
    for (auto& c : said)
        if (c == '\n') c = ' ';
    std::string state = "integrity " + r.integrity + ";";
    if (program == "Quillon") {
        // Changed is what a completed run leaves; after an error it is wrong.
        state += r.archiveAfter == r.archiveBefore ? " archivio invariato"
                 : ShowsSuccess(r)                 ? " archivio aggiornato"
                                                   : " ARCHIVIO CAMBIATO";
    } else {
        const auto saved = ReportedSaved(program, r);
        for (const auto& [table, after] : r.after) {
            const long before = r.before.count(table) ? r.before.at(table) : 0;
            const auto it = saved.find(table);
            const long expected = it == saved.end() ? before : (it->second.emptied ? 0 : before) + it->second.records;
            if (after != expected || it != saved.end())
                state += " " + table + " " + std::to_string(after) + "/" + std::to_string(expected) +
                         (after != expected ? " DIVERSI" : "");
        }
    }
    std::cout << "FAULTS | " << program << " | " << what << " | " << state << " | " << said << std::endl;
}

// A run that an error ended: the error's message with the expected number,
// never a success, an intact destination, and what the report says saved.
void ExpectFailedRun(const std::string& program, const RunResult& r, int number) {
    ASSERT_NE(r.Last(), nullptr) << "no message\n" << r.transcript;
    EXPECT_FALSE(ShowsSuccess(r)) << r.transcript;
    EXPECT_EQ(r.Last()->icon, core::MsgIcon::Critical) << r.transcript;
    EXPECT_EQ(r.Last()->title, "Errore n. " + std::to_string(number)) << r.Said();
    EXPECT_EQ(r.integrity, "ok");
    if (program == "Quillon") {
        EXPECT_TRUE(r.archiveAfter == r.archiveBefore) << "the archive changed";
    } else if (r.Last()->text.find("Non è stato possibile contare i record") != std::string::npos) {
        // A disk that fails every access cannot be counted: the message must
        // say so, and the report must not vouch for the tally.
        EXPECT_NE(Details(r).find("non verificabil"), std::string::npos) << "report:\n" << Details(r);
    } else {
        EXPECT_TRUE(CountsAgree(r, ReportedSaved(program, r))) << "report:\n" << Details(r);
    }
}

void ExpectSucceededRun(const std::string& program, const RunResult& r) {
    ASSERT_NE(r.Last(), nullptr) << "no message\n" << r.transcript;
    EXPECT_EQ(r.Last()->text.rfind(kSuccess, 0), 0u) << r.transcript;
    EXPECT_EQ(r.integrity, "ok");
    if (program != "Quillon") {
        EXPECT_TRUE(CountsAgree(r, ReportedSaved(program, r))) << "report:\n" << Details(r);
    }
}

struct Mode {
    Fault fault;
    Repeat repeat;
    const char* name;
    int number;
};
const Mode kModes[] = {
    {Fault::Full, Repeat::FromThenOn, "disco pieno", 3026},
    {Fault::IoError, Repeat::Once, "errore di I/O una volta", 3043},
    {Fault::IoError, Repeat::FromThenOn, "errore di I/O persistente", 3043},
    {Fault::Full, Repeat::Once, "disco pieno una volta", 3026},
};

class WriteFaults : public ::testing::TestWithParam<std::string> {};

TEST_P(WriteFaults, EveryFailingWriteOrSyncEndsInItsErrorAndLosesNothingReported) {
    const std::string program = GetParam();
    FaultVfs vfs;
    auto subject = Make(program);

    // A complete run: how many writes and syncs it makes.
    RunResult whole = RunOnce(*subject, vfs, [] {});
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_TRUE(ShowsSuccess(whole)) << whole.transcript;
    if (program == "Varnel") {
        static_cast<VarnelSubject&>(*subject).SetTables(VarnelTables(Details(whole)));
        whole = RunOnce(*subject, vfs, [] {});
        ASSERT_FALSE(HasFatalFailure());
    }
    ExpectSucceededRun(program, whole);
    const long total = whole.operations;
    ASSERT_GT(total, 3) << "the destination was not written through the watched files";
    std::cout << "FAULTS | " << program << " | run completa | " << total << " scritture e sincronizzazioni ("
              << whole.seconds << " s)" << std::endl;

    const std::vector<long> points = Points(total, PointsPerProgram());
    int index = 0;
    constexpr int kModeCount = sizeof kModes / sizeof kModes[0];
    for (int run = 0; run < static_cast<int>(points.size()) * (FullMatrix() ? kModeCount : 1); ++run) {
        // A sample takes the kinds of fault in turn; the full matrix all at every point.
        const long point = points[static_cast<std::size_t>(FullMatrix() ? run / kModeCount : run)];
        const Mode& mode = kModes[index++ % kModeCount];
        const std::string what = std::string(mode.name) + " all'operazione " + std::to_string(point) + " di " +
                                 std::to_string(total);
        SCOPED_TRACE(what);
        RunResult r = RunOnce(*subject, vfs, [&] { vfs.Arm(point, mode.fault, mode.repeat); });
        ASSERT_FALSE(HasFatalFailure());
        Print(program, what, r);
        if (r.failed == 0) {
            // The run took another path than the counted one and ended first.
            ADD_FAILURE() << "the armed failure was never reached (" << r.operations << " operations)\n"
                          << r.Said();
            continue;
        }
        ExpectFailedRun(program, r, mode.number);
    }
}

INSTANTIATE_TEST_SUITE_P(Programs, WriteFaults, ::testing::Values("Varnel", "Tessily", "TessilyTesto", "Quillon"),
                         [](const auto& info) { return info.param; });

// Another program holds the destination: its locks for writing are refused
// for a while. The policy waits like a user who presses Annulla after 5 s.
struct BusyCase {
    const char* program;
    int busySeconds;
    bool succeeds;
};
void PrintTo(const BusyCase& c, std::ostream* os) { *os << c.program << " " << c.busySeconds << " s"; }

class BusyDestination : public ::testing::TestWithParam<BusyCase> {};

TEST_P(BusyDestination, WaitsUntilFreedOrStopsWithFileInUse) {
    const BusyCase c = GetParam();
    const std::string program = c.program;
    FaultVfs vfs;
    auto subject = Make(program);
    if (program == "Varnel") {
        RunResult whole = RunOnce(*subject, vfs, [] {});
        ASSERT_FALSE(HasFatalFailure());
        static_cast<VarnelSubject&>(*subject).SetTables(VarnelTables(Details(whole)));
    }
    BusyPolicyScope policy([](const std::string&, std::chrono::milliseconds waited) {
        return waited < std::chrono::milliseconds(5000);
    });
    RunResult r = RunOnce(*subject, vfs, [&] { vfs.ArmBusy(std::chrono::seconds(c.busySeconds)); });
    ASSERT_FALSE(HasFatalFailure());
    Print(program, "occupato per " + std::to_string(c.busySeconds) + " s", r);
    EXPECT_GT(r.failed, 0) << "no lock was refused";
    if (c.succeeds) ExpectSucceededRun(program, r);
    else ExpectFailedRun(program, r, 3045);
}

INSTANTIATE_TEST_SUITE_P(Programs, BusyDestination,
                         ::testing::Values(BusyCase{"Varnel", 7, false}, BusyCase{"Varnel", 1, true},
                                           BusyCase{"Tessily", 7, false}, BusyCase{"Tessily", 1, true},
                                           BusyCase{"Quillon", 7, false}, BusyCase{"Quillon", 1, true}),
                         [](const auto& info) {
                             return std::string(info.param.program) + (info.param.succeeds ? "Freed" : "Held");
                         });

// Whichever way a run ends, once its final message is up nothing of the
// program holds the destination: another program can write to it at once.
struct IdleCase {
    const char* program;
    bool fails;
};
void PrintTo(const IdleCase& c, std::ostream* os) { *os << c.program << (c.fails ? " failed" : " succeeded"); }
class IdleDestination : public ::testing::TestWithParam<IdleCase> {};

TEST_P(IdleDestination, AnotherProgramCanWriteFromTheFinalMessageOn) {
    const IdleCase c = GetParam();
    FaultVfs vfs;
    auto subject = Make(c.program);
    long total = 0;
    if (c.fails) total = RunOnce(*subject, vfs, [] {}).operations;
    ASSERT_FALSE(HasFatalFailure());
    RunResult r = RunOnce(
        *subject, vfs, [&] { if (c.fails) vfs.Arm(total / 2, Fault::IoError, Repeat::Once); }, true);
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_NE(r.Last(), nullptr) << r.transcript;
    EXPECT_EQ(ShowsSuccess(r), !c.fails) << r.Said();
    EXPECT_EQ(r.writableAtLastMessage, "ok") << r.Said();
    EXPECT_EQ(r.writableAfterRun, "ok") << r.Said();
}

INSTANTIATE_TEST_SUITE_P(Programs, IdleDestination,
                         ::testing::Values(IdleCase{"Varnel", false}, IdleCase{"Varnel", true},
                                           IdleCase{"Tessily", false}, IdleCase{"Tessily", true},
                                           IdleCase{"Quillon", false}, IdleCase{"Quillon", true}),
                         [](const auto& info) {
                             return std::string(info.param.program) + (info.param.fails ? "Failed" : "Succeeded");
                         });

}  // namespace
