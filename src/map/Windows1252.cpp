#include "Windows1252.h"

#include <array>

#include <QList>

namespace {

// The characters of 0x80..0x9F; 0 where the code page leaves the byte unassigned.
constexpr std::array<char32_t, 32> HighControlsBlock = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

char EncodeOne(char32_t character)
{
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return char(character);
    for (size_t i = 0; i < HighControlsBlock.size(); ++i)
        if (HighControlsBlock[i] != 0 && HighControlsBlock[i] == character)
            return char(0x80 + i);
    return '?';
}

}  // namespace

QByteArray EncodeWindows1252(const QString& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    // Whole code points, so a character outside the basic plane gives one "?", not two.
    for (const char32_t character : text.toUcs4())
        bytes.append(EncodeOne(character));
    return bytes;
}
