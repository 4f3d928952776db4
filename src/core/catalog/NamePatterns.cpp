#include "core/catalog/NamePatterns.h"

namespace melodrix {

namespace {

char Folded(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
}

// The length of the UTF-8 character that starts at `at`; a stray byte counts as one, so a
// name that is not UTF-8 still matches "?" byte by byte.
size_t CharacterLength(std::string_view text, size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (at + length > text.size()) {
        return 1;
    }
    for (size_t i = 1; i < length; ++i) {
        if ((static_cast<unsigned char>(text[at + i]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

// Whole-name glob matching. A "*" that fails to match goes back to the last "*" only, so
// the work stays proportional to the name times the pattern, whatever either holds.
bool Matches(std::string_view pattern, std::string_view name) {
    size_t p = 0, n = 0;
    size_t starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += CharacterLength(name, n);
        } else if (p < pattern.size() && pattern[p] == Folded(name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            starN += CharacterLength(name, starN);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

}  // namespace

const QStringList& DefaultExcludePatterns() {
    static const QStringList kDefaults = {
        QStringLiteral("$RECYCLE.BIN"), QStringLiteral("System Volume Information"),
        QStringLiteral(".Trash-*"),     QStringLiteral("lost+found"),
        QStringLiteral("@eaDir"),       QStringLiteral(".DS_Store"),
        QStringLiteral("Thumbs.db")};
    return kDefaults;
}

QString ExcludePatternRefusal(const QString& pattern) {
    if (pattern.isEmpty()) {
        return QStringLiteral("an exclusion pattern cannot be empty");
    }
    if (pattern.contains(QLatin1Char('/')) || pattern.contains(QLatin1Char('\\')) ||
        pattern.contains(QChar(0))) {
        return QStringLiteral("an exclusion pattern is a name: \"%1\" holds a path separator")
            .arg(pattern);
    }
    return QString();
}

QString ExcludeListText(const QStringList& patterns) {
    return patterns.join(QLatin1Char('/'));
}

QStringList ExcludeListOfText(const QString& text) {
    return text.split(QLatin1Char('/'), Qt::SkipEmptyParts);
}

TNameExcluder::TNameExcluder(const QStringList& patterns) {
    for (const QString& pattern : patterns) {
        if (!ExcludePatternRefusal(pattern).isEmpty()) {
            continue;
        }
        std::string folded = pattern.toUtf8().toStdString();
        for (char& c : folded) {
            c = Folded(c);
        }
        patterns_.push_back(std::move(folded));
    }
}

bool TNameExcluder::Excludes(std::string_view name) const {
    for (const std::string& pattern : patterns_) {
        if (Matches(pattern, name)) {
            return true;
        }
    }
    return false;
}

}  // namespace melodrix
