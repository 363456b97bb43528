#pragma once
// Texts as Access stores them, decoded to UTF-8 without depending on the
// process locale or on libmdb's own conversion settings.

#include <cstddef>
#include <cstdint>
#include <string>

namespace core::access {

// Jet 4 and ACE: UTF-16LE, or the "compressed" form that starts with FF FE
// and switches at each 00 byte between one byte per character (U+0000 to
// U+00FF) and two. A lone surrogate becomes U+FFFD.
std::string DecodeJet4Text(const std::uint8_t* data, std::size_t size);

// Jet 3: single-byte text in the database's code page (1252 for the western
// versions; 0 and a page that is not known are taken as 1252 too).
std::string DecodeCodePageText(const std::uint8_t* data, std::size_t size, int codePage);

}  // namespace core::access
