#include "core/catalogfile/CatalogStream.h"

#include "core/base/ByteScan.h"
#include "core/base/NativePaths.h"
#include "core/base/ReadAhead.h"
#include "core/base/TextDecoding.h"
#include "core/catalog/XmlText.h"
#include "core/catalogfile/CatalogDocument.h"

#include <QFile>
#include <QLatin1StringView>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#include <algorithm>
#include <array>
#include <bit>
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

// Bytes kept readable after the end of what was read: the NUL that ends every scan and room for
// FindValueEnd's last 16-byte load.
constexpr size_t kSlackBytes = 16;

// The first `quote` at or after `from`, or nullptr when none comes before `end`; also tells
// whether the bytes before it hold anything Decode or the mending must look at. Sixteen bytes
// at a time where the machine has SSE2 (`end` is followed by kSlackBytes readable bytes), else
// word by word where it is little-endian.
const char* FindValueEnd(const char* from, const char* end, char quote, bool& needsDecode,
                         bool& beyondAscii) {
#if defined(__SSE2__)
    const __m128i quotes = _mm_set1_epi8(quote);
    const __m128i ampersands = _mm_set1_epi8('&');
    const __m128i lastControl = _mm_set1_epi8(0x1F);
    unsigned special = 0;
    unsigned high = 0;
    for (const char* p = from; p < end; p += 16) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto left = static_cast<size_t>(end - p);
        const unsigned inside = left >= 16 ? 0xFFFFu : (1u << left) - 1;
        const auto found =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quotes))) & inside;
        const auto odd = static_cast<unsigned>(_mm_movemask_epi8(
            _mm_or_si128(_mm_cmpeq_epi8(bytes, ampersands),
                         _mm_cmpeq_epi8(_mm_min_epu8(bytes, lastControl), bytes))));
        const auto highs = static_cast<unsigned>(_mm_movemask_epi8(bytes));
        if (found != 0) {
            const int at = std::countr_zero(found);
            const unsigned before = (1u << at) - 1;
            needsDecode = (special | (odd & before)) != 0;
            beyondAscii = (high | (highs & before)) != 0;
            return p + at;
        }
        special |= odd & inside;
        high |= highs & inside;
    }
    needsDecode = special != 0;
    beyondAscii = high != 0;
    return nullptr;
#else
    const char* p = from;
    if constexpr (std::endian::native == std::endian::little) {
        using namespace bytescan;
        uint64_t high = 0;
        uint64_t special = 0;
        for (; end - p >= 8; p += 8) {
            const uint64_t word = Load(p);
            const uint64_t found = BytesEqual(word, quote);
            const uint64_t odd = ControlBytes(word) | BytesEqual(word, '&');
            if (found != 0) {
                const int at = std::countr_zero(found) / 8;
                const uint64_t before = at == 0 ? 0 : ~uint64_t{0} >> (64 - 8 * at);
                needsDecode = (special | (odd & before)) != 0;
                beyondAscii = (high | (HighBytes(word) & before)) != 0;
                return p + at;
            }
            high |= HighBytes(word);
            special |= odd;
        }
        needsDecode = special != 0;
        beyondAscii = high != 0;
    } else {
        needsDecode = false;
        beyondAscii = false;
    }
    for (; p < end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == static_cast<unsigned char>(quote)) {
            return p;
        }
        needsDecode = needsDecode || c < 0x20 || c == '&';
        beyondAscii = beyondAscii || c >= 0x80;
    }
    return nullptr;
#endif
}

// Whether the head of a file read so far is, or may still become, a declaration not yet closed.
bool DeclarationMayGoOn(std::string_view head) {
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    constexpr std::string_view kStart = "<?xml";
    if (head.size() < kByteOrderMark.size() && kByteOrderMark.starts_with(head)) {
        return true;
    }
    if (head.starts_with(kByteOrderMark)) {
        head.remove_prefix(kByteOrderMark.size());
    }
    if (head.size() < kStart.size()) {
        return kStart.starts_with(head);
    }
    return head.starts_with(kStart) && head.find("?>") == std::string_view::npos;
}

// The most of a file's head read to find the end of its declaration.
constexpr size_t kDeclarationBytes = size_t{64} << 10;

}  // namespace

// Both run for every name and blank of the file, so they are kept inline.
[[gnu::always_inline]] inline std::string_view TCatalogStream::ReadName() {
    const char* start = at_;
    if (!Is(*at_, kNameStart)) {
        return {};
    }
    do {
        ++at_;
    } while (Is(*at_, kName));
    return {start, static_cast<size_t>(at_ - start)};
}

[[gnu::always_inline]] inline bool TCatalogStream::SkipBlanks() {
    const char* start = at_;
    while (Is(*at_, kBlank)) {
        ++at_;
    }
    return at_ != start;
}

// Items of a catalog repeat the attribute names of the item before them, in the same places:
// the name that stood at `index` last time is tried first, in one comparison.
std::string_view TCatalogStream::ReadExpectedName(size_t index) {
    if (index < lastNames_.size()) {
        const std::string& expected = lastNames_[index];
        const size_t size = expected.size();
        if (static_cast<size_t>(end_ - at_) >= size &&
            bytescan::ShortEquals(std::string_view(at_, size), expected) && !Is(at_[size], kName)) {
            const std::string_view name(at_, size);
            at_ += size;
            return name;
        }
    }
    const std::string_view name = ReadName();
    if (index >= lastNames_.size()) {
        lastNames_.resize(index + 1);
    }
    lastNames_[index].assign(name);
    return name;
}

TCatalogStream::TCatalogStream(size_t pieceBytes) : pieceBytes_(pieceBytes > 0 ? pieceBytes : 1) {}

TCatalogStream::~TCatalogStream() = default;

void TCatalogStream::CloseFile() {
    readAhead_.reset();  // its thread reads the file
    file_.close();
    more_ = false;
    readFailed_ = false;
}

bool TCatalogStream::Load(const QString& path) {
    return Load(NativePathOf(path));
}

bool TCatalogStream::Load(const QByteArray& nativePath) {
    state_ = TState::Unusual;
    CloseFile();
    if (!OpenNativeForReading(file_, nativePath, QIODevice::Unbuffered)) {
        return false;
    }
    more_ = true;
    size_t head = ReadInto(Reserve(pieceBytes_), pieceBytes_);
    // The declaration, which names the encoding, is read whole.
    while (more_ && head < kDeclarationBytes &&
           DeclarationMayGoOn(std::string_view(buffer_.data(), head))) {
        head += ReadInto(Reserve(head + pieceBytes_) + head, pieceBytes_);
    }
    if (readFailed_) {
        return false;
    }
    // Reading ahead pays for its thread and buffers only over many pieces; a library search
    // reads thousands of small catalogs one after another.
    constexpr qint64 kReadAheadPieces = 32;
    if (more_ && file_.size() >= kReadAheadPieces * static_cast<qint64>(pieceBytes_)) {
        readAhead_ = std::make_unique<TReadAhead>(file_, pieceBytes_);
    }
    return TakeEncoding(head);
}

void TCatalogStream::SetText(std::string_view text) {
    CloseFile();
    std::memcpy(Reserve(text.size()), text.data(), text.size());
    TakeEncoding(text.size());
}

size_t TCatalogStream::ReadInto(char* to, size_t room) {
    if (!more_) {
        return 0;
    }
    if (readAhead_) {
        const size_t taken = readAhead_->Read(to, room);
        if (taken < room) {
            more_ = false;
            readFailed_ = readAhead_->Failed();
        }
        return taken;
    }
    const size_t taken = ReadFileInto(file_, to, room, readFailed_);
    more_ = taken == room;
    return taken;
}

bool TCatalogStream::TakeEncoding(size_t length) {
    const TCatalogEncoding encoding = CatalogEncodingOf(std::string_view(buffer_.data(), length));
    transcoded_ = encoding.kind == TCatalogEncoding::TKind::Decode;
    if (encoding.kind == TCatalogEncoding::TKind::Unsupported) {
        state_ = TState::Unusual;
        return false;
    }
    if (transcoded_) {
        // Decoding needs the whole text, which such old files are small enough for.
        std::string bytes(buffer_.data(), length);
        while (more_) {
            const size_t before = bytes.size();
            bytes.resize(before + pieceBytes_);
            bytes.resize(before + ReadInto(bytes.data() + before, pieceBytes_));
        }
        if (readFailed_) {
            state_ = TState::Unusual;
            return false;
        }
        const std::string text = DecodeCatalogText(bytes, encoding.name);
        std::memcpy(Reserve(text.size()), text.data(), text.size());
        length = text.size();
    }
    Begin(length);
    return true;
}

char* TCatalogStream::Reserve(size_t length) {
    if (buffer_.size() < length + kSlackBytes) {
        buffer_.resize(length + kSlackBytes);
    }
    return buffer_.data();
}

void TCatalogStream::Begin(size_t length) {
    buffer_[length] = '\0';
    at_ = buffer_.data();
    end_ = at_ + length;
    mark_ = at_;
    open_.clear();
    attributes_.clear();
    rootAttributes_.clear();
    rootAttributeTexts_.clear();
    elementName_ = {};
    rootName_.clear();
    textInside_ = false;
    rootSeen_ = false;
    // A NUL in the text itself would end the scans early.
    state_ = std::memchr(at_, '\0', length) ? TState::Unusual : TState::Reading;
    if (state_ != TState::Reading) {
        return;
    }
    if (std::string_view(at_, length).starts_with("\xEF\xBB\xBF")) {
        at_ += 3;
        mark_ = at_;
    }
    if (std::string_view(at_, static_cast<size_t>(end_ - at_)).starts_with("<?xml") &&
        !ReadDeclaration()) {
        Fail();
    }
    mark_ = at_;
}

bool TCatalogStream::Refill(const char* keep) {
    const size_t kept = static_cast<size_t>(end_ - keep);
    std::memmove(buffer_.data(), keep, kept);
    // A piece that fills the buffer alone (a huge value) makes it grow.
    if (buffer_.size() < kept + pieceBytes_ + kSlackBytes) {
        buffer_.resize(std::max(buffer_.size() * 2, kept + pieceBytes_ + kSlackBytes));
    }
    char* const start = buffer_.data();
    const size_t got = ReadInto(start + kept, buffer_.size() - kSlackBytes - kept);
    at_ = start;
    mark_ = start;
    end_ = start + kept + got;
    buffer_[kept + got] = '\0';
    if (readFailed_ || std::memchr(start + kept, '\0', got)) {
        more_ = false;
        return false;
    }
    return true;  // more bytes, or the end of the file: either way the next try decides
}

bool TCatalogStream::NextItem() {
    while (state_ == TState::Reading) {
        if (ReadNext()) {
            return true;
        }
        if (state_ != TState::Reading) {
            return false;
        }
        // What was being read ran into the end of the buffer: read on and read it again.
        if (!Refill(mark_)) {
            return Fail();
        }
    }
    return false;
}

// One step of NextItem over the buffer. Also false when a piece ends at the end of the buffer
// while the file goes on; the state is then still Reading and the piece starts at mark_.
bool TCatalogStream::ReadNext() {
    const auto starved = [this] { return more_ && at_ + 1 >= end_; };
    while (state_ == TState::Reading) {
        mark_ = at_;
        const auto* open = static_cast<const char*>(std::memchr(at_, '<', end_ - at_));
        const char* textEnd = open ? open : end_;
        if (open_.empty()) {
            // Outside the root only blanks: the full parser decides about anything else.
            for (; at_ < textEnd; ++at_) {
                if (!Is(*at_, kBlank)) {
                    return Fail();
                }
            }
        } else if (!textInside_) {
            textInside_ = std::any_of(at_, textEnd, [](char c) { return !Is(c, kBlank); });
        }
        if (!open) {
            if (more_) {
                // Nothing here is needed again: the next piece starts in what follows.
                at_ = mark_ = end_;
                return false;
            }
            if (open_.empty() && rootSeen_) {
                state_ = TState::Finished;
                return false;
            }
            return Fail();  // the file ends inside an element, or before any
        }
        if (open_.empty() && rootSeen_) {
            return Fail();
        }
        at_ = open + 1;
        if (*at_ == '/') {
            ++at_;
            if (!ReadEndTag()) {
                return starved() ? false : Fail();
            }
            continue;
        }
        const bool isRoot = open_.empty();
        if (!ReadStartTag()) {
            return starved() ? false : Fail();
        }
        if (!isRoot) {
            return true;
        }
        rootSeen_ = true;
        rootName_.assign(elementName_);
        // Kept as copies: the buffer moves on.
        rootAttributeTexts_.clear();
        for (const TAttribute& attribute : attributes_) {
            rootAttributeTexts_.emplace_back(attribute.name, attribute.rawValue);
        }
        rootAttributes_ = attributes_;
        for (size_t i = 0; i < rootAttributes_.size(); ++i) {
            rootAttributes_[i].name = rootAttributeTexts_[i].first;
            rootAttributes_[i].rawValue = rootAttributeTexts_[i].second;
        }
    }
    return false;
}

bool TCatalogStream::ReadStartTag() {
    const std::string_view name = ReadName();
    bool selfClosed = false;
    if (name.empty() || !ReadAttributes('/', selfClosed)) {
        return false;
    }
    elementName_ = name;
    depth_ = open_.size() > 0 ? open_.size() - 1 : 0;
    if (!selfClosed) {
        open_.emplace_back(name);
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
        const std::string_view name = ReadExpectedName(attributes_.size());
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
        bool needsDecode = true;
        bool beyondAscii = true;
        const char* close = FindValueEnd(at_, end_, quote, needsDecode, beyondAscii);
        if (!close) {
            at_ = end_;
            return false;
        }
        attributes_.push_back({name, std::string_view(at_, static_cast<size_t>(close - at_)),
                               needsDecode, beyondAscii});
        at_ = close + 1;
    }
}

bool TCatalogStream::Fail() {
    state_ = TState::Unusual;
    return false;
}

std::optional<std::string_view> TCatalogStream::Decode(const TAttribute& attribute,
                                                       std::string& scratch) {
    return attribute.needsDecode ? Decode(attribute.rawValue, scratch) : attribute.rawValue;
}

std::optional<std::string_view> TCatalogStream::DecodeAndMend(const TAttribute& attribute,
                                                              std::string& decoded,
                                                              std::string& mended) {
    const std::string_view raw = attribute.rawValue;
    if (!attribute.needsDecode) {
        return attribute.beyondAscii && SanitizeForXml(raw, mended) ? std::string_view(mended)
                                                                    : raw;
    }
    const std::optional<std::string_view> value = Decode(raw, decoded);
    if (value && SanitizeForXml(*value, mended)) {
        return std::string_view(mended);
    }
    return value;
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
