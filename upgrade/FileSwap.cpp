#include "upgrade/FileSwap.h"

#include <filesystem>

#include "common/Messages.h"
#include "common/engine/Error.h"
#include "common/engine/FsPath.h"

namespace upgrade {

using core::platform::FileOpResult;

std::string FolderOf(const std::string& path) {
    return core::Utf8Path(core::FsPath(path).parent_path());
}

void ThrowRenameError(const FileOpResult& result, const std::string& from, const std::string& to) {
    const std::string native = result.systemText;
    switch (result.outcome) {
    case FileOpResult::Outcome::TargetExists:
        throw core::Error(58,
                          "File già esistente: '" + to + "'. Il file '" + from +
                              "' non è stato rinominato; spostare o eliminare '" + to +
                              "' e ripetere l'operazione.",
                          "Quillon", native);
    case FileOpResult::Outcome::SourceMissing:
        throw core::Error(core::err::FileNotFound,
                          "File non trovato: '" + from + "' non può essere rinominato in '" + to + "'.",
                          "Quillon", native);
    case FileOpResult::Outcome::Denied:
        throw core::Error(core::err::PermissionDenied,
                          "Autorizzazione negata: impossibile rinominare '" + from + "' in '" + to + "'.",
                          "Quillon", native);
    default:
        throw core::Error(75,
                          std::string(msg::kPathAccess) + "impossibile rinominare '" + from + "' in '" + to +
                              "'" + (native.empty() ? std::string(".") : " (" + native + ")."),
                          "Quillon", native);
    }
}

namespace {

[[noreturn]] void ThrowSyncError(const FileOpResult& result, const std::string& path) {
    throw core::Error(core::err::DiskIo,
                      "Impossibile scrivere su disco il file '" + path + "'" +
                          (result.systemText.empty() ? std::string(".") : " (" + result.systemText + ")."),
                      "Quillon", result.systemText);
}

}  // namespace

void FileSwap::Flush(const std::string& path) const {
    if (auto r = ops_.syncFile(path); !r.Ok()) ThrowSyncError(r, path);
    const std::string folder = FolderOf(path);
    if (auto r = ops_.syncFolder(folder); !r.Ok()) ThrowSyncError(r, folder);
}

void FileSwap::Swap(const std::string& archive, const std::string& filled, const std::string& backup,
                    const std::function<void()>& between, const std::function<void()>& swapped) const {
    if (auto r = ops_.renameNoReplace(archive, backup); !r.Ok()) ThrowRenameError(r, archive, backup);
    if (between) between();
    if (auto r = ops_.renameNoReplace(filled, archive); !r.Ok()) {
        // The archive path must hold the old database again before anyone is
        // told: the next start of the program looks for it there.
        const auto back = ops_.renameNoReplace(backup, archive);
        try {
            ThrowRenameError(r, filled, archive);
        } catch (const core::Error& e) {
            if (back.Ok()) {
                ops_.syncFolder(FolderOf(archive));
                throw;
            }
            throw core::Error(e.Number(),
                              e.Description() + " L'archivio originale si trova in '" + backup + "'.",
                              e.Source(), e.NativeText());
        }
    }
    if (swapped) swapped();
    const std::string folder = FolderOf(archive);
    if (auto r = ops_.syncFolder(folder); !r.Ok()) ThrowSyncError(r, folder);
    if (const std::string other = FolderOf(filled); other != folder) {
        if (auto r = ops_.syncFolder(other); !r.Ok()) ThrowSyncError(r, other);
    }
}

}  // namespace upgrade
