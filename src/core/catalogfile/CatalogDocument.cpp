#include "core/catalogfile/CatalogDocument.h"

#include <QFile>
#include <QLatin1StringView>
#include <QStringDecoder>

#include "core/base/Errors.h"
#include "core/base/NativePaths.h"
#include "core/catalog/XmlText.h"

namespace melodrix {

namespace {

constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

bool NamesUtf8(const QString& name) {
    return name.compare(QLatin1StringView("utf-8"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1StringView("utf8"), Qt::CaseInsensitive) == 0;
}

// The value of the encoding pseudo-attribute of an "<?xml ...?>" declaration; nothing when
// the text starts otherwise or the declaration names no encoding.
std::optional<std::string_view> DeclaredEncodingName(std::string_view text) {
    if (!text.starts_with("<?xml") || text.size() < 6 || !IsBlank(text[5])) {
        return std::nullopt;
    }
    const size_t close = text.find("?>");
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view declaration = text.substr(0, close);
    for (size_t at = declaration.find("encoding"); at != std::string_view::npos;
         at = declaration.find("encoding", at + 1)) {
        if (!IsBlank(declaration[at - 1])) {
            continue;
        }
        size_t i = at + 8;
        while (i < declaration.size() && IsBlank(declaration[i])) {
            ++i;
        }
        if (i >= declaration.size() || declaration[i] != '=') {
            continue;
        }
        ++i;
        while (i < declaration.size() && IsBlank(declaration[i])) {
            ++i;
        }
        if (i >= declaration.size() || (declaration[i] != '"' && declaration[i] != '\'')) {
            return std::nullopt;
        }
        const size_t end = declaration.find(declaration[i], i + 1);
        if (end == std::string_view::npos) {
            return std::nullopt;
        }
        return declaration.substr(i + 1, end - i - 1);
    }
    return std::nullopt;
}

}  // namespace

TCatalogEncoding CatalogEncodingOf(std::string_view bytes) {
    // A byte order mark settles it; so does a text in UTF-16 or UTF-32, which starts with
    // a zero byte or has one second: the parser reads those forms itself.
    if (bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFE\xFF") ||
        bytes.starts_with("\xFF\xFE") || (bytes.size() >= 2 && (bytes[0] == 0 || bytes[1] == 0))) {
        return {};
    }
    const std::optional<std::string_view> declared = DeclaredEncodingName(bytes);
    if (!declared) {
        return {};
    }
    TCatalogEncoding encoding;
    encoding.name = QString::fromLatin1(declared->data(), static_cast<qsizetype>(declared->size()));
    if (NamesUtf8(encoding.name)) {
        encoding.name.clear();
        return encoding;
    }
    // An 8-bit text cannot be in an encoding of 16- or 32-bit units, whatever it says.
    const std::optional<QStringConverter::Encoding> builtIn =
        QStringConverter::encodingForName(encoding.name.toLatin1().constData());
    const bool wide = builtIn && *builtIn != QStringConverter::Utf8 &&
                      *builtIn != QStringConverter::Latin1 && *builtIn != QStringConverter::System;
    const QStringDecoder decoder(encoding.name.toLatin1().constData());
    encoding.kind = decoder.isValid() && !wide ? TCatalogEncoding::TKind::Decode
                                               : TCatalogEncoding::TKind::Unsupported;
    return encoding;
}

std::string DecodeCatalogText(std::string_view bytes, const QString& encodingName) {
    QStringDecoder decoder(encodingName.toLatin1().constData());
    const QString text =
        decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return text.toUtf8().toStdString();
}

QString UnsupportedEncodingText(const QString& path, const QString& encodingName) {
    return QStringLiteral("Cannot open catalog %1: its encoding \"%2\" cannot be read")
        .arg(path, encodingName);
}

std::optional<pugi::xml_parse_result> ParseCatalogText(std::string_view bytes,
                                                       pugi::xml_document& document) {
    const TCatalogEncoding encoding = CatalogEncodingOf(bytes);
    switch (encoding.kind) {
        case TCatalogEncoding::TKind::AsIs:
            return document.load_buffer(bytes.data(), bytes.size(), kParseOptions);
        case TCatalogEncoding::TKind::Decode: {
            // The declaration still names the old encoding; the parser is told the truth.
            const std::string text = DecodeCatalogText(bytes, encoding.name);
            return document.load_buffer(text.data(), text.size(), kParseOptions,
                                        pugi::encoding_utf8);
        }
        case TCatalogEncoding::TKind::Unsupported:
            break;
    }
    return std::nullopt;
}

void LoadCatalogDocument(const QString& path, pugi::xml_document& document) {
    QFile file;
    QByteArray bytes;
    if (OpenForReading(file, path)) {
        bytes = file.readAll();
    }
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        throw TCatalogFileError(
            QStringLiteral("Cannot open catalog %1: the file cannot be read").arg(path));
    }
    const std::string_view text(bytes.constData(), static_cast<size_t>(bytes.size()));
    pugi::xml_document parsed;
    const std::optional<pugi::xml_parse_result> result = ParseCatalogText(text, parsed);
    if (!result) {
        throw TCatalogFileError(UnsupportedEncodingText(path, CatalogEncodingOf(text).name));
    }
    if (!*result) {
        throw TCatalogFileError(QStringLiteral("Cannot open catalog %1: %2 at byte %3")
                                    .arg(path, QString::fromUtf8(result->description()))
                                    .arg(result->offset));
    }
    SanitizeDocument(parsed);
    document = std::move(parsed);
}

}  // namespace melodrix
