#pragma once
// Page 0 of an Access file: the format signature, the format version, the
// page-encryption key and the database password. Pure functions over bytes,
// so that they can be tested and fuzzed without a file.
//
// From offset 0x18 the page is scrambled with RC4 under a fixed key (126
// bytes in Jet 3, 128 from Jet 4 on). The password sits at 0x42: 20 bytes of
// code-page text in Jet 3; 40 bytes of UTF-16LE from Jet 4 on, where each
// byte is also XOR-ed with the 4-byte integer part of the creation date
// (a serial date stored as a double at 0x72).

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace core::access {

enum class JetFormat {
    Jet3,  // Access 97, 2 KB pages, code-page texts
    Jet4,  // Access 2000-2003, 4 KB pages, UTF-16 texts
    Ace,   // Access 2007 and later (.accdb)
};

struct JetHeader {
    JetFormat format = JetFormat::Jet4;
    int version = 0;               // byte 0x14: 0 Jet 3, 1 Jet 4, 2+ ACE
    std::uint32_t pageKey = 0;     // 0x3E: 0 when pages are stored in clear
    std::uint16_t codePage = 0;    // 0x3C: the code page of Jet 3 texts
    double creationDate = 0;       // 0x72 (Jet 4 and ACE)
    std::string password;          // UTF-8; empty when the file has none

    int PageSize() const { return format == JetFormat::Jet3 ? 2048 : 4096; }
    // An ACE file with a page key is encrypted as a whole with its password
    // (the newer office encryption, which libmdb cannot read).
    bool WholeFileEncrypted() const { return format == JetFormat::Ace && pageKey != 0; }
};

// Whether the bytes begin with the page-0 signature of a Jet or ACE file
// ("Standard Jet DB" or "Standard ACE DB" at offset 4).
bool HasJetSignature(std::string_view bytes);

// Reads page 0 (at least its first 0x7A bytes; more are ignored). Nothing
// when the bytes carry no Jet or ACE signature or are too short.
std::optional<JetHeader> ReadJetHeader(std::span<const std::uint8_t> page0);

// RC4 in place; the same call scrambles and unscrambles.
void Rc4Apply(std::span<const std::uint8_t> key, std::span<std::uint8_t> data);

}  // namespace core::access
