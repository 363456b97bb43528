#pragma once
// Chooses a driver for a connect text and a file, and keeps one shared
// connection per database: every data control and database that the program
// opens on the same file works on the same connection, so a record saved
// through one is seen at once by the others.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/engine/Driver.h"

namespace core {

class Engine {
public:
    static Engine& Instance();

    // Opens a connection, or hands out the one already open on the same
    // database with the same driver, password and mode.
    std::shared_ptr<Connection> Open(const OpenRequest& request);
    // Always a new connection, kept out of the shared ones.
    std::shared_ptr<Connection> OpenPrivate(const OpenRequest& request);
    // Commits every open connection's pending work (before any message box,
    // question or yield, and when the program ends).
    void FlushAll();
    // Closes nothing; forgets connections that nobody holds any more.
    void Prune();

    // The driver for a request: by the connect text's driver segment, or by
    // the file's header when the segment is empty. Raises 3170 for a driver
    // text that no driver serves.
    Driver& ChooseDriver(const OpenRequest& request);

    // Drivers are tried in the order added (common/engine/Drivers.h adds
    // the built-in ones); an engine without any opens nothing.
    void AddDriver(std::unique_ptr<Driver> driver);

private:
    Engine();

    struct Entry {
        std::string key;
        std::weak_ptr<Connection> connection;
    };
    std::vector<std::unique_ptr<Driver>> drivers_;
    std::vector<Entry> open_;
    std::mutex mutex_;
};

}  // namespace core
