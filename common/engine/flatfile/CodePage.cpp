#include "common/engine/flatfile/CodePage.h"

namespace core::flatfile {

std::optional<CodePage> CodePageFromLanguageDriver(std::uint8_t ldid) {
    switch (ldid) {
        case 0x00:
            return CodePage::Dos850;
        // US and the national DOS variants built on page 437.
        case 0x01: case 0x0B: case 0x0D: case 0x10: case 0x12: case 0x15:
        case 0x18: case 0x19: case 0x1B:
            return CodePage::Dos437;
        // International DOS (850), Italian 0x11 among them.
        case 0x02: case 0x0A: case 0x0E: case 0x0F: case 0x11: case 0x14:
        case 0x16: case 0x1A: case 0x1D: case 0x25: case 0x37:
            return CodePage::Dos850;
        // Windows ANSI.
        case 0x03: case 0x57: case 0x58: case 0x59:
            return CodePage::Windows1252;
        default:
            return std::nullopt;
    }
}

}  // namespace core::flatfile
