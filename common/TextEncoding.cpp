#include "common/TextEncoding.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

namespace core {

bool IsValidUtf8(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* end = p + bytes.size();
    while (p < end) {
        const unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        int extra;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (end - p <= extra) return false;
        for (int i = 1; i <= extra; ++i) {
            if ((p[i] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        p += extra + 1;
    }
    return true;
}

std::string Windows1252ToUtf8(std::string_view bytes) {
    QStringDecoder decoder("windows-1252");
    if (!decoder.isValid()) {
        // Qt built without ICU: Latin-1 agrees with Windows-1252 everywhere
        // except 0x80-0x9F, which is the better fallback than nothing.
        return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
    }
    const QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return text.toStdString();
}

std::string DecodeFileText(std::string_view bytes) {
    const auto starts = [&](std::string_view mark) { return bytes.substr(0, mark.size()) == mark; };
    if (starts("\xEF\xBB\xBF")) {
        // Marked as UTF-8: damaged sequences become replacement characters.
        bytes.remove_prefix(3);
        if (IsValidUtf8(bytes)) return std::string(bytes);
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).toStdString();
    }
    if (starts("\xFF\xFE") || starts("\xFE\xFF")) {
        QStringDecoder decoder(starts("\xFF\xFE") ? QStringConverter::Utf16LE : QStringConverter::Utf16BE,
                               QStringConverter::Flag::Default);
        bytes.remove_prefix(2);
        return QString(decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size()))))
            .toStdString();
    } else if (!IsValidUtf8(bytes)) {
        return Windows1252ToUtf8(bytes);
    }
    return std::string(bytes);
}

}  // namespace core
