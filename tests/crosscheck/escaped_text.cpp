#include "escaped_text.h"

namespace crosscheck {

namespace {

const char HEX[] = "0123456789ABCDEF";

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

bool printable(unsigned unit) {
    return unit >= 0x20 && unit < 0x7F;
}

}  // namespace

bool unescape(const std::string &text, std::u16string &units, std::string &error) {
    units.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c != '\\') {
            if (!printable(c)) {
                error =
                    "byte " + std::to_string(c) + " at " + std::to_string(i) + " is not escaped";
                return false;
            }
            units.push_back(c);
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '\\') {
            units.push_back(u'\\');
            ++i;
            continue;
        }
        if (i + 5 < text.size() && text[i + 1] == 'u') {
            unsigned unit = 0;
            for (size_t d = i + 2; d < i + 6; ++d) {
                const int digit = hexDigit(text[d]);
                if (digit < 0) {
                    error = "bad \\u escape at " + std::to_string(i);
                    return false;
                }
                unit = unit * 16 + static_cast<unsigned>(digit);
            }
            units.push_back(static_cast<char16_t>(unit));
            i += 5;
            continue;
        }
        error = "stray backslash at " + std::to_string(i);
        return false;
    }
    return true;
}

std::string escape(const std::u16string &units) {
    std::string text;
    for (char16_t u : units) {
        const unsigned unit = u;
        if (unit == '\\') {
            text += "\\\\";
        } else if (printable(unit)) {
            text.push_back(static_cast<char>(unit));
        } else {
            text += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4) {
                text.push_back(HEX[(unit >> shift) & 0xF]);
            }
        }
    }
    return text;
}

}  // namespace crosscheck
