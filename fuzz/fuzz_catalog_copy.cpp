// The search index's copy of a catalog: made from any catalog text, then damaged as a disk or
// another program might leave it (cut short, a byte changed, a length or an offset raised,
// bytes added), and read again. A copy that is taken must be read through without leaving its
// bytes; the copy as made must give the items it counts, and its head must agree.

#include <stdlib.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/index/CatalogCopy.h"

using namespace melodrix;

namespace {

void Require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "catalog copy: %s\n", what);
        std::abort();
    }
}

const QString& Folder() {
    static const QString folder = [] {
        char name[] = "/tmp/fuzz-catalog-copy-XXXXXX";
        Require(mkdtemp(name) != nullptr, "no temporary folder");
        return QString::fromLocal8Bit(name);
    }();
    return folder;
}

void Write(const QString& path, const char* data, size_t size) {
    QFile file(path);
    Require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write");
    Require(file.write(data, static_cast<qint64>(size)) == static_cast<qint64>(size), "short");
}

// Reads every item the needle selects, touching every byte of every value.
uint64_t ReadThrough(const TCatalogCopy& copy, std::string_view needle, bool& whole) {
    uint64_t items = 0;
    uint64_t bytes = 0;
    whole = copy.Visit(needle, [&](const TPackedItem& item) {
        ++items;
        for (size_t field = 0; field < FieldCount; ++field) {
            for (const char c : item.texts[field]) {
                bytes += static_cast<unsigned char>(c);
            }
            if (item.hasTested) {
                bytes += item.tested[field].size();
            }
        }
        return true;
    });
    // The bytes are summed so that no read is optimised away.
    static volatile uint64_t sink;
    sink = bytes;
    return items;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The last eight bytes say how the copy is damaged; the rest is the catalog text.
    uint8_t damage[8] = {};
    const size_t textSize = size > 8 ? size - 8 : 0;
    if (size > textSize) {
        std::memcpy(damage, data + textSize, size - textSize);
    }
    const QString catalog = Folder() + QStringLiteral("/catalog.xml");
    const QString made = Folder() + QStringLiteral("/made.copy");
    const QString damaged = Folder() + QStringLiteral("/damaged.copy");
    Write(catalog, reinterpret_cast<const char*>(data), textSize);
    QFile::remove(made);
    const std::unique_ptr<TCatalogCopy> copy =
        TCatalogCopy::Read(catalog, QFile::encodeName(catalog), made);
    if (!copy) {
        return 0;
    }
    bool whole = false;
    const uint64_t all = ReadThrough(*copy, {}, whole);
    Require(whole, "a copy as made reads as damaged");
    Require(all == copy->ItemCount(), "a copy as made gives another number of items");
    ReadThrough(*copy, "a", whole);
    Require(whole, "a copy as made reads as damaged by name");
    const std::optional<TCopyFacts> facts = TCatalogCopy::Peek(made);
    Require(facts && facts->itemCount == copy->ItemCount() && facts->bytes == copy->ByteCount(),
            "the head of a copy as made disagrees with the copy");

    QFile file(made);
    Require(file.open(QIODevice::ReadOnly), "the copy made cannot be read");
    QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty()) {
        return 0;
    }
    const size_t at = (static_cast<size_t>(damage[1]) << 8 | damage[2]) % bytes.size();
    switch (damage[0] % 4) {
        case 0:
            bytes.truncate(static_cast<qsizetype>(at));
            break;
        case 1:
            bytes[static_cast<qsizetype>(at)] =
                static_cast<char>(bytes[static_cast<qsizetype>(at)] ^ (damage[3] | 1));
            break;
        case 2: {
            // A length or an offset made large: a 32-bit word at a word boundary.
            const size_t word = at & ~size_t{3};
            if (word + 4 <= static_cast<size_t>(bytes.size())) {
                std::memcpy(bytes.data() + word, damage + 4, 4);
            }
            break;
        }
        default:
            bytes.append(reinterpret_cast<const char*>(damage + 3), 5);
            break;
    }
    Write(damaged, bytes.constData(), static_cast<size_t>(bytes.size()));
    TCatalogCopy::Peek(damaged);
    if (const std::unique_ptr<TCatalogCopy> taken = TCatalogCopy::Map(damaged)) {
        ReadThrough(*taken, {}, whole);
        ReadThrough(*taken, "e", whole);
    }
    return 0;
}
