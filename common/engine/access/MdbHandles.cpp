#include "common/engine/access/MdbHandles.h"

#include "common/engine/access/AccessErrors.h"

namespace core::access {

namespace {
// The catalogue (MSysObjects) always starts at page 2.
constexpr unsigned long kCatalogPage = 2;
}  // namespace

MdbHandlePtr OpenMdbFile(const std::string& path) {
    MdbHandlePtr handle(mdb_open(path.c_str(), MDB_NOFLAGS));
    if (!handle) ThrowCannotOpen(path, "mdb_open returned NULL");
    // Checked here so that a damaged or foreign file is reported once,
    // clearly, instead of through libmdb's messages on the catalogue read.
    if (mdb_read_pg(handle.get(), kCatalogPage) <= 0)
        ThrowDamaged(path, "il file è troppo corto", "mdb_read_pg(2) failed");
    if (handle->pg_buf[0] != MDB_PAGE_TABLE)
        ThrowDamaged(path, "il catalogo delle tabelle non è leggibile",
                     "page 2 is not a table definition page");
    return handle;
}


}  // namespace core::access
