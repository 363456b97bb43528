#pragma once
// The engine errors of the Access driver, with their Italian descriptions.
// Each names the file, table or field concerned; libmdb's own complaint (it
// prints to stderr and returns NULL) is kept as the native text.

#include <string>

namespace core::access {

inline constexpr const char* kSource = "Access";

[[noreturn]] void ThrowFileNotFound(const std::string& path);
[[noreturn]] void ThrowCannotOpen(const std::string& path, const std::string& nativeText);
[[noreturn]] void ThrowNotAccessFile(const std::string& path);
[[noreturn]] void ThrowEncryptedAce(const std::string& path);
[[noreturn]] void ThrowBadPassword(const std::string& path);
[[noreturn]] void ThrowDamaged(const std::string& path, const std::string& what,
                               const std::string& nativeText);
[[noreturn]] void ThrowTableNotFound(const std::string& table);
[[noreturn]] void ThrowUnsupportedStatement(const std::string& sql);
[[noreturn]] void ThrowUnknownWhereField(const std::string& field);
[[noreturn]] void ThrowSelectNotExecutable();

}  // namespace core::access
