#include "core/catalogfile/CatalogStream.h"

#include "core/catalogfile/CatalogDocument.h"
#include "core/tags/TextDecoding.h"

#include <QFile>
#include <QLatin1StringView>
#include <array>
#include <cstring>

namespace melodrix {

namespace {

constexpr unsigned char kBlank = 1;
constexpr unsigned char kNameStart = 2;
constexpr unsigned char kName = 4;

// ASCII names only: a name with other characters goes to the full parser.
constexpr std::array<unsigned char, 256> kCharClass = [] {
    std::array<unsigned char, 256> table{};
    for (const char c : {' ', '\t', '\n', '\r'}) {
        table[static_cast<unsigned char>(c)] = kBlank;
    }
    for (int c = 0; c < 256; ++c) {
        const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (letter || c == '_' || c == ':') {
            table[c] = kNameStart | kName;
        } else if ((c >= '0' && c <= '9') || c == '-' || c == '.') {
            table[c] = kName;
        }
    }
    return table;
}();

bool Is(char c, unsigned char kind) {
    return (kCharClass[static_cast<unsigned char>(c)] & kind) != 0;
}

bool IsUtf8Name(std::string_view encoding) {
    const QLatin1StringView name(encoding.data(), static_cast<qsizetype>(encoding.size()));
    return name.compare(QLatin1StringView("utf-8"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1StringView("utf8"), Qt::CaseInsensitive) == 0;
}

// The character reference at the start of `text` ("&#233;", "&#xE9;"): its length and the
// character. Nothing when malformed or not a character, which the full parser reads its way.
std::optional<std::pair<size_t, char32_t>> CharacterReference(std::string_view text) {
    if (!text.starts_with("&#")) {
        return std::nullopt;
    }
    const bool hex = text.starts_with("&#x");
    const size_t firstDigit = hex ? 3 : 2;
    size_t at = firstDigit;
    char32_t code = 0;
    for (; at < text.size() && at - firstDigit < 8; ++at) {
        const char c = text[at];
        int digit = -1;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            break;
        }
        code = code * (hex ? 16 : 10) + static_cast<char32_t>(digit);
    }
    if (at == firstDigit || at >= text.size() || text[at] != ';' || code == 0 || code > 0x10FFFF ||
        (code >= 0xD800 && code <= 0xDFFF)) {
        return std::nullopt;
    }
    return std::pair{at + 1, code};
}

// The named entity at the start of `text`: its length and the character it stands for.
std::optional<std::pair<size_t, char>> NamedEntity(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed{
        {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}}};
    for (const auto& [entity, character] : kNamed) {
        if (text.starts_with(entity)) {
            return std::pair{entity.size(), character};
        }
    }
    return std::nullopt;
}

}  // namespace

bool TCatalogStream::Load(const QString& path) {
    state_ = TState::Unusual;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return false;
    }
    const qint64 size = file.size();
    char* text = Reserve(static_cast<size_t>(size));
    if (file.read(text, size) != size || !file.atEnd()) {
        return false;
    }
    return TakeEncoding(static_cast<size_t>(size));
}

void TCatalogStream::SetText(std::string_view text) {
    std::memcpy(Reserve(text.size()), text.data(), text.size());
    TakeEncoding(text.size());
}

bool TCatalogStream::TakeEncoding(size_t length) {
    const std::string_view bytes(buffer_.data(), length);
    const TCatalogEncoding encoding = CatalogEncodingOf(bytes);
    transcoded_ = encoding.kind == TCatalogEncoding::TKind::Decode;
    if (encoding.kind == TCatalogEncoding::TKind::Unsupported) {
        state_ = TState::Unusual;
        return false;
    }
    if (transcoded_) {
        const std::string text = DecodeCatalogText(bytes, encoding.name);
        std::memcpy(Reserve(text.size()), text.data(), text.size());
        length = text.size();
    }
    Begin(length);
    return true;
}

char* TCatalogStream::Reserve(size_t length) {
    // One spare byte holds a NUL that ends every scan.
    if (buffer_.size() < length + 1) {
        buffer_.resize(length + 1);
    }
    return buffer_.data();
}

void TCatalogStream::Begin(size_t length) {
    buffer_[length] = '\0';
    at_ = buffer_.data();
    end_ = at_ + length;
    open_.clear();
    attributes_.clear();
    rootSeen_ = false;
    // A NUL in the text itself would end the scans early.
    state_ = std::memchr(at_, '\0', length) ? TState::Unusual : TState::Reading;
    if (state_ != TState::Reading) {
        return;
    }
    if (std::string_view(at_, length).starts_with("\xEF\xBB\xBF")) {
        at_ += 3;
    }
    if (std::string_view(at_, static_cast<size_t>(end_ - at_)).starts_with("<?xml") &&
        !ReadDeclaration()) {
        Fail();
    }
}

bool TCatalogStream::NextItem() {
    while (state_ == TState::Reading) {
        const auto* open = static_cast<const char*>(std::memchr(at_, '<', end_ - at_));
        const char* textEnd = open ? open : end_;
        if (open_.empty()) {
            // Outside the root only blanks: the full parser decides about anything else.
            for (; at_ < textEnd; ++at_) {
                if (!Is(*at_, kBlank)) {
                    return Fail();
                }
            }
            if (rootSeen_) {
                if (open) {
                    return Fail();
                }
                state_ = TState::Finished;
                return false;
            }
        }
        if (!open) {
            return Fail();  // the file ends inside an element, or before any
        }
        at_ = open + 1;
        if (*at_ == '/') {
            ++at_;
            if (!ReadEndTag()) {
                return Fail();
            }
            continue;
        }
        const bool isRoot = open_.empty();
        if (!ReadStartTag()) {
            return Fail();
        }
        if (!isRoot) {
            return true;
        }
        rootSeen_ = true;
        rootAttributes_ = attributes_;
    }
    return false;
}

bool TCatalogStream::ReadStartTag() {
    const std::string_view name = ReadName();
    bool selfClosed = false;
    if (name.empty() || !ReadAttributes('/', selfClosed)) {
        return false;
    }
    depth_ = open_.size() > 0 ? open_.size() - 1 : 0;
    if (!selfClosed) {
        open_.push_back(name);
    }
    return true;
}

bool TCatalogStream::ReadEndTag() {
    const std::string_view name = ReadName();
    if (open_.empty() || name != open_.back()) {
        return false;
    }
    SkipBlanks();
    if (*at_ != '>') {
        return false;
    }
    ++at_;
    open_.pop_back();
    return true;
}

bool TCatalogStream::ReadDeclaration() {
    at_ += 5;
    if (!Is(*at_, kBlank) && *at_ != '?') {
        return false;  // another processing instruction, such as "<?xml-stylesheet"
    }
    bool closed = false;
    if (!ReadAttributes('?', closed) || !closed) {
        return false;
    }
    for (const TAttribute& attribute : attributes_) {
        // Values holding '?' or '>' might be read differently by the full parser.
        if (attribute.rawValue.find_first_of("?>") != std::string_view::npos) {
            return false;
        }
        // A text decoded from the declared encoding is UTF-8 now, whatever the declaration says.
        if (attribute.name == "encoding" && !transcoded_ && !IsUtf8Name(attribute.rawValue)) {
            return false;
        }
    }
    return true;
}

bool TCatalogStream::ReadAttributes(char last, bool& closedByLast) {
    attributes_.clear();
    closedByLast = false;
    for (;;) {
        const bool blank = SkipBlanks();
        if (*at_ == last && at_[1] == '>') {
            at_ += 2;
            closedByLast = true;
            return true;
        }
        if (*at_ == '>' && last == '/') {
            ++at_;
            return true;
        }
        if (!blank || !Is(*at_, kNameStart)) {
            return false;
        }
        const std::string_view name = ReadName();
        SkipBlanks();
        if (*at_ != '=') {
            return false;
        }
        ++at_;
        SkipBlanks();
        const char quote = *at_;
        if (quote != '"' && quote != '\'') {
            return false;
        }
        ++at_;
        const auto* close = static_cast<const char*>(std::memchr(at_, quote, end_ - at_));
        if (!close) {
            return false;
        }
        attributes_.push_back({name, std::string_view(at_, static_cast<size_t>(close - at_))});
        at_ = close + 1;
    }
}

std::string_view TCatalogStream::ReadName() {
    const char* start = at_;
    if (!Is(*at_, kNameStart)) {
        return {};
    }
    do {
        ++at_;
    } while (Is(*at_, kName));
    return {start, static_cast<size_t>(at_ - start)};
}

bool TCatalogStream::SkipBlanks() {
    const char* start = at_;
    while (Is(*at_, kBlank)) {
        ++at_;
    }
    return at_ != start;
}

bool TCatalogStream::Fail() {
    state_ = TState::Unusual;
    return false;
}

std::optional<std::string_view> TCatalogStream::Decode(std::string_view raw, std::string& scratch) {
    size_t special = 0;
    while (special < raw.size() && raw[special] != '&' && raw[special] != '\t' &&
           raw[special] != '\n' && raw[special] != '\r') {
        ++special;
    }
    if (special == raw.size()) {
        return raw;
    }
    scratch.assign(raw.substr(0, special));
    for (size_t i = special; i < raw.size();) {
        const char c = raw[i];
        if (c == '\t' || c == '\n' || c == '\r') {
            // Blanks in a value read as spaces, a CR LF pair as one.
            scratch += ' ';
            i += (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') ? 2 : 1;
        } else if (c != '&') {
            scratch += c;
            ++i;
        } else if (const auto reference = CharacterReference(raw.substr(i))) {
            AppendUtf8(scratch, reference->second);
            i += reference->first;
        } else if (const auto entity = NamedEntity(raw.substr(i))) {
            scratch += entity->second;
            i += entity->first;
        } else {
            return std::nullopt;
        }
    }
    return std::string_view(scratch);
}

}  // namespace melodrix
