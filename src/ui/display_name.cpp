#include "ui/display_name.h"

#include <QTextBoundaryFinder>

namespace lightdeck {
namespace {

bool isBidiFormatting(char32_t c)
{
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F
           || c == 0x061C;
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

}  // namespace

QString displayName(std::string_view utf8)
{
    // Malformed sequences become U+FFFD here.
    return displayName(QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size())));
}

QString displayName(const QString& text)
{
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text.at(i);
        if (unit.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            clean.append(unit);
            clean.append(text.at(++i));
            continue;
        }
        // A surrogate without its other half is not a character.
        if (unit.isSurrogate()) {
            clean.append(QChar(QChar::ReplacementCharacter));
            continue;
        }
        const char32_t c = unit.unicode();
        if (isBidiFormatting(c))
            continue;
        clean.append(isControl(c) ? QChar(QChar::ReplacementCharacter) : unit);
    }

    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, clean);
    int count = 0;
    for (qsizetype end = characters.toNextBoundary(); end != -1; end = characters.toNextBoundary()) {
        if (++count == kDisplayNameMaxCharacters) {
            if (end < clean.size())
                return clean.left(end) + QChar(0x2026);
            break;
        }
    }
    return clean;
}

}  // namespace lightdeck
