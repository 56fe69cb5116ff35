#include "model/cp1251.h"

#include <algorithm>
#include <array>
#include <cstdint>

namespace kv {

namespace {

// Unicode code points of bytes 0x80 to 0xBF; 0xC0 to 0xFF are U+0410 to U+044F in order.
// 0x98 is unassigned in the code page and maps to U+0098 so that it survives a round trip.
constexpr std::array<char16_t, 64> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409,
    0x2039, 0x040A, 0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0,
    0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB,
    0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6,
    0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457};

char32_t codePointOf(unsigned char c) {
    if (c < 0x80) {
        return c;
    }
    if (c >= 0xC0) {
        return 0x0410 + (c - 0xC0);
    }
    return kHighHalf[c - 0x80];
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

char byteOf(char32_t cp) {
    if (cp < 0x80) {
        return static_cast<char>(cp);
    }
    if (cp >= 0x0410 && cp <= 0x044F) {
        return static_cast<char>(0xC0 + (cp - 0x0410));
    }
    for (std::size_t i = 0; i < kHighHalf.size(); ++i) {
        if (kHighHalf[i] == cp) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

// Decodes one UTF-8 sequence at text[i], advancing i; malformed input yields U+FFFD.
char32_t nextCodePoint(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) {
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return 0xFFFD;
    }
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            return 0xFFFD;
        }
        cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return cp;
}

} // namespace

std::string utf8FromCp1251(std::string_view cp1251) {
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (const char c : cp1251) {
        appendUtf8(out, codePointOf(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string cp1251FromUtf8(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (std::size_t i = 0; i < utf8.size();) {
        out.push_back(byteOf(nextCodePoint(utf8, i)));
    }
    return out;
}

unsigned char cp1251ToLower(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDF)) {
        return static_cast<unsigned char>(c + 0x20);
    }
    switch (c) {
    case 0x80:
        return 0x90; // Ђ
    case 0x81:
        return 0x83; // Ѓ
    case 0x8A:
        return 0x9A; // Љ
    case 0x8C:
        return 0x9C; // Њ
    case 0x8D:
        return 0x9D; // Ќ
    case 0x8E:
        return 0x9E; // Ћ
    case 0x8F:
        return 0x9F; // Џ
    case 0xA1:
        return 0xA2; // Ў
    case 0xA3:
        return 0xBC; // Ј
    case 0xA5:
        return 0xB4; // Ґ
    case 0xA8:
        return 0xB8; // Ё
    case 0xAA:
        return 0xBA; // Є
    case 0xAF:
        return 0xBF; // Ї
    case 0xB2:
        return 0xB3; // І
    case 0xBD:
        return 0xBE; // Ѕ
    default:
        return c;
    }
}

int compareCp1251IgnoringCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ca = cp1251ToLower(static_cast<unsigned char>(a[i]));
        const int cb = cp1251ToLower(static_cast<unsigned char>(b[i]));
        if (ca != cb) {
            return ca - cb;
        }
    }
    return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

} // namespace kv
