#include "common/engine/Engine.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "common/engine/Error.h"
#include "common/engine/FsPath.h"
#include "common/text/AsciiText.h"

namespace core {

namespace {

std::string ReadHeader(const std::string& path) {
    std::error_code ec;
    if (path.empty() || !std::filesystem::is_regular_file(FsPath(path), ec)) return {};
    std::ifstream in(FsPath(path), std::ios::binary);
    std::string header(4096, '\0');
    in.read(header.data(), static_cast<std::streamsize>(header.size()));
    header.resize(static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return header;
}

std::string CanonicalPath(const std::string& path) {
    std::error_code ec;
    const auto canonical = std::filesystem::weakly_canonical(FsPath(path), ec);
    return ec ? path : Utf8Path(canonical);
}

}  // namespace

Engine::Engine() = default;

Engine& Engine::Instance() {
    static Engine engine;
    return engine;
}

void Engine::AddDriver(std::unique_ptr<Driver> driver) {
    std::lock_guard lock(mutex_);
    drivers_.push_back(std::move(driver));
}

Driver& Engine::ChooseDriver(const OpenRequest& request) {
    const std::string driverText = text::AsciiLower(request.connect.driver);
    const std::string header = ReadHeader(request.path);
    Driver* byHeader = nullptr;
    Driver* fallback = nullptr;
    for (const auto& driver : drivers_) {
        if (!byHeader && !header.empty() && driver->RecognisesHeader(header)) byHeader = driver.get();
        if (!fallback && driver->IsDefault()) fallback = driver.get();
    }
    if (driverText.empty()) {
        if (byHeader) return *byHeader;
        if (fallback) return *fallback;
    } else {
        for (const auto& driver : drivers_) {
            if (!driver->HandlesDriverText(driverText)) continue;
            // The data controls' design-time text names the Access engine
            // whatever the file; a file that carries another engine's
            // signature, or none at all (an encrypted database), is read by
            // the engine that the file itself calls for.
            const bool jetText = driverText.rfind("access", 0) == 0 || driverText.rfind("jet", 0) == 0 ||
                                 driverText.rfind("ms access", 0) == 0 || driverText.rfind("microsoft access", 0) == 0;
            if (jetText && !header.empty() && !driver->RecognisesHeader(header)) {
                if (byHeader) return *byHeader;
                if (fallback) return *fallback;
            }
            return *driver;
        }
    }
    throw Error(err::NotInstalledIsam, "Impossibile trovare un ISAM installabile per il formato '" +
                                           request.connect.driver + "'.");
}

std::shared_ptr<Connection> Engine::Open(const OpenRequest& request) {
    std::lock_guard lock(mutex_);
    Driver& driver = ChooseDriver(request);
    const std::string key = driver.Name() + "|" + CanonicalPath(request.path) + "|" +
                            request.connect.raw + "|" + request.connect.password;
    std::erase_if(open_, [](const Entry& e) { return e.connection.expired(); });
    for (const Entry& entry : open_) {
        if (entry.key != key) continue;
        auto shared = entry.connection.lock();
        // A read-only connection cannot serve a writer; a writable one
        // serves readers too (the Database keeps their read-only flag).
        if (shared && (request.readOnly || !shared->ReadOnly())) return shared;
    }
    auto connection = driver.Open(request);
    open_.push_back(Entry{key, connection});
    return connection;
}

std::shared_ptr<Connection> Engine::OpenPrivate(const OpenRequest& request) {
    Driver* driver = nullptr;
    {
        std::lock_guard lock(mutex_);
        driver = &ChooseDriver(request);
    }
    return driver->Open(request);
}

void Engine::FlushAll() {
    std::vector<std::shared_ptr<Connection>> live;
    {
        std::lock_guard lock(mutex_);
        for (const Entry& entry : open_)
            if (auto connection = entry.connection.lock()) live.push_back(std::move(connection));
    }
    // Every connection gets its commit even when an earlier one fails; the
    // first failure is reported.
    std::exception_ptr first;
    for (const auto& connection : live) {
        try {
            connection->Flush();
        } catch (...) {
            if (!first) first = std::current_exception();
        }
    }
    if (first) std::rethrow_exception(first);
}

void Engine::Prune() {
    std::lock_guard lock(mutex_);
    std::erase_if(open_, [](const Entry& e) { return e.connection.expired(); });
}

}  // namespace core
