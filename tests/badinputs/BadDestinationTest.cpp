// A destination that cannot take the run: read-only, full, or deleted
// after the window loaded it. Each program says so in Italian and leaves
// the file as it was (a deleted one is not brought back as an empty file).

#include <gtest/gtest.h>

#include <QProcess>

#include "tests/badinputs/Installations.h"

using namespace badinputstest;

namespace {

bool Run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Mounts over the destination's folder for one test and takes it off again.
// Root ignores file permissions, so read-only takes a read-only bind mount,
// and "full" a small tmpfs holding the archive and a filler file.
class FolderMount {
public:
    bool ReadOnly(const std::string& folder) {
        if (!RunningAsRoot()) {
            fs::permissions(folder, fs::perms::owner_read | fs::perms::owner_exec);
            for (const auto& e : fs::directory_iterator(folder)) fs::permissions(e.path(), fs::perms::owner_read);
            chmodFolder_ = folder;
            return true;
        }
        if (!Run("mount", {"--bind", QString::fromStdString(folder), QString::fromStdString(folder)})) return false;
        mounted_ = folder;
        return Run("mount", {"-o", "remount,ro,bind", QString::fromStdString(folder)});
    }
    bool Full(const std::string& folder) {
        if (!RunningAsRoot()) return false;
        const std::string keep = folder + ".copy";
        fs::rename(folder, keep);
        fs::create_directories(folder);
        if (!Run("mount", {"-t", "tmpfs", "-o", "size=1m", "tmpfs", QString::fromStdString(folder)})) {
            fs::remove(folder);
            fs::rename(keep, folder);
            return false;
        }
        mounted_ = folder;
        for (const auto& e : fs::directory_iterator(keep)) fs::copy(e.path(), folder + "/" + e.path().filename().string());
        fs::remove_all(keep);
        // Fill what is left, to the last block.
        std::ofstream filler(folder + "/riempitivo", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), std::streamsize(block.size()))) {
        }
        filler.close();
        std::ofstream last(folder + "/riempitivo2", std::ios::binary);
        for (int i = 0; i < 4096 && last.put('x'); ++i) last.flush();
        return true;
    }
    ~FolderMount() {
        core::Engine::Instance().FlushAll();
        core::Engine::Instance().Prune();
        if (!mounted_.empty()) Run("umount", {"-l", QString::fromStdString(mounted_)});
        if (!chmodFolder_.empty()) fs::permissions(chmodFolder_, fs::perms::owner_all);
    }

private:
    std::string mounted_;
    std::string chmodFolder_;
};

enum class Trouble { ReadOnly, Full, Deleted };
const char* TroubleName(Trouble t) {
    return t == Trouble::ReadOnly ? "ReadOnly" : t == Trouble::Full ? "Full" : "Deleted";
}
void PrintTo(Trouble t, std::ostream* os) { *os << TroubleName(t); }
std::string TroubleCaseName(const ::testing::TestParamInfo<Trouble>& info) { return TroubleName(info.param); }
const auto kTroubles = ::testing::Values(Trouble::ReadOnly, Trouble::Full, Trouble::Deleted);

// Prepares the trouble before the load (read-only, full) or after it (deleted).
bool Before(Trouble t, FolderMount& mount, const std::string& folder, std::string& why) {
    if (t == Trouble::ReadOnly && !mount.ReadOnly(folder)) {
        why = "a read-only bind mount is not allowed here";
        return false;
    }
    if (t == Trouble::Full && !mount.Full(folder)) {
        why = RunningAsRoot() ? "mounting a small tmpfs is not allowed here"
                              : "a size-limited folder needs root (tmpfs mount)";
        return false;
    }
    return true;
}

// The destination after the run: as it was, or still absent when deleted.
void ExpectUntouched(Trouble t, const std::string& path, const std::string& before) {
    if (t == Trouble::Deleted)
        EXPECT_FALSE(fs::exists(path)) << "an archive was created in place of the deleted one";
    else
        EXPECT_TRUE(Bytes(path) == before) << "the destination changed";
}

class VarnelDestination : public ::testing::TestWithParam<Trouble> {};

TEST_P(VarnelDestination, RefusedWithAnItalianMessage) {
    VarnelHome home;
    home.MakeDestination();
    const std::string archive = home.MakeArchive("INSERT INTO \"Area\" VALUES ('NORD','Italia settentrionale');");
    FolderMount mount;
    std::string why;
    if (!Before(GetParam(), mount, home.Folder() + "/Dati", why)) GTEST_SKIP() << why;
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    {
        Watchdog dog(std::string("Varnel destination ") + TroubleName(GetParam()));
        auto w = home.Load();
        if (w) {
            if (VarnelHome::Choose(*w, *dialogs, archive, 2)) {
                if (GetParam() == Trouble::Deleted) {
                    core::Engine::Instance().FlushAll();
                    core::Engine::Instance().Prune();
                    fs::remove(home.Destination());
                }
                EXPECT_NE(w->cmdAvvia_Click(), migrate::RunOutcome::Succeeded) << dialogs->Transcript();
            }
        }
        EXPECT_GE(dialogs->MessageCount(), 1);
    }
    List("Varnel", std::string("destinazione ") + TroubleName(GetParam()), *dialogs);
    ExpectItalianMessages(*dialogs);
    ExpectUntouched(GetParam(), home.Destination(), before);
}
INSTANTIATE_TEST_SUITE_P(Catalogue, VarnelDestination, kTroubles, TroubleCaseName);

class TessilyDestination : public ::testing::TestWithParam<Trouble> {};

TEST_P(TessilyDestination, RefusedWithAnItalianMessage) {
    TessilyHome home;
    home.MakeDestination();
    const std::string source =
        home.MakeSqliteSource("CREATE TABLE Anagrafe (Codice TEXT(10)); INSERT INTO Anagrafe VALUES ('A1');");
    FolderMount mount;
    std::string why;
    if (!Before(GetParam(), mount, home.Folder() + "/Dati", why)) GTEST_SKIP() << why;
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    {
        Watchdog dog(std::string("Tessily destination ") + TroubleName(GetParam()));
        auto w = home.Load();
        if (w) {
            if (GetParam() == Trouble::Deleted) {
                core::Engine::Instance().FlushAll();
                core::Engine::Instance().Prune();
                fs::remove(home.Destination());
            }
            TessilyHome::ChooseAndRun(*w, *dialogs, source, TessilyHome::Sqlite);
            ASSERT_GE(dialogs->MessageCount(), 1);
            EXPECT_NE(dialogs->LastMessage().text, "Operazione eseguita con successo!") << dialogs->Transcript();
        }
        EXPECT_GE(dialogs->MessageCount(), 1);
    }
    List("Tessily", std::string("destinazione ") + TroubleName(GetParam()), *dialogs);
    ExpectItalianMessages(*dialogs);
    ExpectUntouched(GetParam(), home.Destination(), before);
}
INSTANTIATE_TEST_SUITE_P(Catalogue, TessilyDestination, kTroubles, TroubleCaseName);

class QuillonDestination : public ::testing::TestWithParam<Trouble> {};

TEST_P(QuillonDestination, RefusedWithAnItalianMessage) {
    QuillonHome home;
    home.MakeArchiveAndTemplate();
    FolderMount mount;
    std::string why;
    if (!Before(GetParam(), mount, home.Folder() + "/Dati", why)) GTEST_SKIP() << why;
    const std::string before = Bytes(home.Destination());
    testsupport::ScopedScriptedDialogs dialogs;
    AnswerYesToQuestions(*dialogs);
    {
        Watchdog dog(std::string("Quillon destination ") + TroubleName(GetParam()));
        upgrade::frmMain w;
        if (w.Load()) {
            if (GetParam() == Trouble::Deleted) fs::remove(home.Destination());
            w.cmdAvvia_Click();
            ASSERT_GE(dialogs->MessageCount(), 1);
            EXPECT_NE(dialogs->LastMessage().text, "Operazione eseguita con successo!") << dialogs->Transcript();
        }
        EXPECT_GE(dialogs->MessageCount(), 1);
    }
    List("Quillon", std::string("destinazione ") + TroubleName(GetParam()), *dialogs);
    ExpectItalianMessages(*dialogs);
    ExpectUntouched(GetParam(), home.Destination(), before);
}
INSTANTIATE_TEST_SUITE_P(Catalogue, QuillonDestination, kTroubles, TroubleCaseName);

}  // namespace
