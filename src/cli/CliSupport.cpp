#include "cli/CliSupport.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include "core/catalog/Errors.h"
#include "core/config/Config.h"

namespace melodrix::cli {

QString TCliContext::LibraryPath() const {
    return libraryOption.isEmpty() ? GetConfig().LibraryPath()
                                   : QDir::cleanPath(QFileInfo(libraryOption).absoluteFilePath());
}

TParsedArguments ParseArguments(const QStringList& args, const std::vector<TOptionSpec>& options) {
    TParsedArguments parsed;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (optionsEnded || !arg.startsWith(QLatin1Char('-')) || arg == QLatin1String("-")) {
            parsed.positional << arg;
            continue;
        }
        if (arg == QLatin1String("--")) {
            optionsEnded = true;
            continue;
        }
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            parsed.help = true;
            continue;
        }
        QString name = arg.startsWith(QLatin1String("--")) ? arg.mid(2) : QString();
        QString value;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        const bool inlineValue = equals >= 0;
        if (inlineValue) {
            value = name.mid(equals + 1);
            name = name.left(equals);
        }
        const auto spec = std::find_if(options.begin(), options.end(),
                                       [&](const TOptionSpec& o) { return o.name == name; });
        if (name.isEmpty() || spec == options.end()) {
            throw TUsageError(QStringLiteral("unknown option %1").arg(arg));
        }
        if (spec->takesValue && !inlineValue) {
            if (i + 1 >= args.size()) {
                throw TUsageError(QStringLiteral("option --%1 needs a value").arg(name));
            }
            value = args[++i];
        } else if (!spec->takesValue && inlineValue) {
            throw TUsageError(QStringLiteral("option --%1 takes no value").arg(name));
        }
        parsed.values_[name] = value;
    }
    return parsed;
}

QString JsonString(QStringView text) {
    QString out;
    out.reserve(text.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : text) {
        switch (c.unicode()) {
            case '"':
                out += QLatin1String("\\\"");
                break;
            case '\\':
                out += QLatin1String("\\\\");
                break;
            case '\n':
                out += QLatin1String("\\n");
                break;
            case '\r':
                out += QLatin1String("\\r");
                break;
            case '\t':
                out += QLatin1String("\\t");
                break;
            default:
                if (c.unicode() < 0x20) {
                    out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
                } else {
                    out += c;
                }
        }
    }
    out += QLatin1Char('"');
    return out;
}

QString TextOf(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QString JsonString(std::string_view utf8) {
    return JsonString(TextOf(utf8));
}

QString ItemJson(const TFileItem& item) {
    QString json = QStringLiteral("{");
    for (int i = 0; i < FieldCount; ++i) {
        if (i > 0) {
            json += QLatin1Char(',');
        }
        json += JsonString(FieldNames[i]) + QLatin1Char(':') + JsonString(item.Field(i));
    }
    return json + QLatin1Char('}');
}

void PrintTable(QTextStream& out, const std::vector<QStringList>& rows) {
    std::vector<qsizetype> widths;
    for (const QStringList& row : rows) {
        widths.resize(std::max<size_t>(widths.size(), static_cast<size_t>(row.size())), 0);
        for (qsizetype c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], row[c].size());
        }
    }
    for (const QStringList& row : rows) {
        QString line;
        for (qsizetype c = 0; c < row.size(); ++c) {
            if (c > 0) {
                line += QLatin1String("  ");
            }
            line += c + 1 < row.size() ? row[c].leftJustified(widths[c]) : row[c];
        }
        out << line << '\n';
    }
}

QString ResolveInLibrary(const TCliContext& context, const QString& given) {
    if (QFileInfo::exists(given) || QDir::isAbsolutePath(given)) {
        return given;
    }
    const QDir library(context.LibraryPath());
    for (const QString& candidate :
         {library.filePath(given), library.filePath(given + QStringLiteral(".xml"))}) {
        if (QFileInfo::exists(candidate)) {
            return candidate;
        }
    }
    return given;
}

TScopeArgument ResolveScope(const TCliContext& context, const TParsedArguments& parsed) {
    const QString path = parsed.Has(QStringLiteral("scope"))
                             ? ResolveInLibrary(context, parsed.Value(QStringLiteral("scope")))
                             : context.LibraryPath();
    const QFileInfo info(path);
    if (!info.exists()) {
        throw TMelodrixError(QStringLiteral("no group or catalog %1").arg(path));
    }
    return {path, info.isDir() ? TSearchScope::Group : TSearchScope::Catalog};
}

QString ResolveCatalogFile(const TCliContext& context, const QString& given) {
    const QString path = ResolveInLibrary(context, given);
    if (!QFileInfo(path).isFile()) {
        throw TMelodrixError(QStringLiteral("no catalog file %1").arg(path));
    }
    return path;
}

}  // namespace melodrix::cli
