#pragma once
// Owners of libmdb's native objects. A table definition points into its
// handle's catalogue, so an owner of both must declare the handle first
// (destroyed last).

#include "common/engine/access/MdbApi.h"

#include <memory>
#include <string>

namespace core::access {

struct MdbHandleCloser {
    void operator()(MdbHandle* handle) const noexcept { mdb_close(handle); }
};
using MdbHandlePtr = std::unique_ptr<MdbHandle, MdbHandleCloser>;

struct MdbTableCloser {
    void operator()(MdbTableDef* table) const noexcept { mdb_free_tabledef(table); }
};
using MdbTablePtr = std::unique_ptr<MdbTableDef, MdbTableCloser>;

// Opens the file read-only and checks that its catalogue page is readable.
// libmdb only prints its complaints; this raises them as engine errors
// naming the file (3011 unreadable, 3049 damaged).
MdbHandlePtr OpenMdbFile(const std::string& path);


}  // namespace core::access
