#include "cli/CliSupport.h"

#include <array>

#include <QDir>
#include <QFileInfo>
#include <algorithm>

#include <sys/stat.h>

#include "core/base/Errors.h"
#include "core/base/NativePaths.h"
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
        parsed.repeated_[name] << value;
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
    // `"Name":` of each field, made once: a search may print millions of items.
    static const std::array<QString, FieldCount> kKeys = [] {
        std::array<QString, FieldCount> keys;
        for (size_t i = 0; i < FieldCount; ++i) {
            keys[i] = JsonString(FieldNames[i]) + QLatin1Char(':');
        }
        return keys;
    }();
    const std::array<std::string_view, FieldCount> texts = item.AllFields();
    QString json = QStringLiteral("{");
    for (size_t i = 0; i < FieldCount; ++i) {
        if (i > 0) {
            json += QLatin1Char(',');
        }
        json += kKeys[i];
        if (texts[i].empty()) {
            json += QLatin1String("\"\"");
        } else {
            json += JsonString(texts[i]);
        }
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

namespace {

enum class TNamed { Catalog, Scope };

QString CleanAbsolute(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Whether the clean absolute `path` is `folder` or lies below it.
bool IsWithin(const QString& folder, const QString& path) {
    if (folder.isEmpty() || path.isEmpty()) {
        return false;
    }
    return path == folder ||
           path.startsWith(folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/'));
}

// Whether there is an entry at `path` that the argument could mean: anything but a folder for
// a catalog, anything for a scope. A dangling link counts, so that it is reported rather than
// passed over for another meaning.
bool HoldsEntry(const QString& path, TNamed named) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return info.isSymLink();
    }
    return named == TNamed::Scope || !info.isDir();
}

bool SameEntry(const QString& a, const QString& b) {
    const QString realA = QFileInfo(a).canonicalFilePath();
    return a == b || (!realA.isEmpty() && realA == QFileInfo(b).canonicalFilePath());
}

// What a relative argument names: its entry in the library (as given, then with ".xml") or in
// the current directory; refused when both hold different entries. An absolute argument is
// itself. Empty when nothing is there.
QString ResolveArgument(const QString& library, const QString& given, TNamed named) {
    if (QDir::isAbsolutePath(given)) {
        return QDir::cleanPath(given);
    }
    QString inLibrary;
    QString outside;  // what "../x" names beside the library: never taken
    for (const QString& candidate : {given, given + QStringLiteral(".xml")}) {
        const QString path = QDir::cleanPath(library + QLatin1Char('/') + candidate);
        if (!HoldsEntry(path, named)) {
            continue;
        }
        if (IsWithin(library, path)) {
            inLibrary = path;
            break;
        }
        outside = outside.isEmpty() ? path : outside;
    }
    const QString here = CleanAbsolute(given);
    const bool hereHolds = HoldsEntry(here, named);
    if (hereHolds && !inLibrary.isEmpty() && !SameEntry(here, inLibrary)) {
        throw TUsageError(QStringLiteral("%1 is ambiguous: it names both %2 in the current "
                                         "directory and %3 in the library; give the full path "
                                         "of the one meant")
                              .arg(given, here, inLibrary));
    }
    if (inLibrary.isEmpty() && !hereHolds && !outside.isEmpty()) {
        throw TUsageError(QStringLiteral("%1 leads out of the library %2 (to %3); give a path "
                                         "outside it in full or relative to the current "
                                         "directory")
                              .arg(given, library, outside));
    }
    return !inLibrary.isEmpty() ? inLibrary : hereHolds ? here : QString();
}

// Whether the path lies in the library, by its text or by where its links lead.
bool InLibrary(const QString& library, const QString& path) {
    return IsWithin(library, path) ||
           IsWithin(QFileInfo(library).canonicalFilePath(), QFileInfo(path).canonicalFilePath());
}

// A path in the library must not reach out of it through a symbolic link.
void CheckStaysInLibrary(const QString& library, const QString& path) {
    const QString real = QFileInfo(path).canonicalFilePath();
    if (!IsWithin(library, path) || real.isEmpty()) {
        return;
    }
    if (!IsWithin(QFileInfo(library).canonicalFilePath(), real)) {
        throw TMelodrixError(QStringLiteral("%1 leads out of the library to %2; links are "
                                            "followed only to catalogs in the library")
                                 .arg(path, real));
    }
}

// A FIFO, a device or a socket would block the reader or never end: only a regular file is
// opened as a catalog. The readers check again on the open file, so a swap cannot slip by.
void CheckRegularFile(const QString& path) {
    struct stat status {};
    if (::stat(NativePathOf(path).constData(), &status) != 0) {
        throw TMelodrixError(QStringLiteral("no catalog file %1").arg(path));
    }
    if (!S_ISREG(status.st_mode)) {
        throw TMelodrixError(
            QStringLiteral("%1 is not a regular file, so it cannot be a catalog").arg(path));
    }
}

}  // namespace

TScopeArgument ResolveScope(const TCliContext& context, const TParsedArguments& parsed) {
    const QString library = CleanAbsolute(context.LibraryPath());
    if (!parsed.Has(QStringLiteral("scope"))) {
        if (!QFileInfo(library).isDir()) {
            throw TMelodrixError(QStringLiteral("no group or catalog %1").arg(library));
        }
        return {library, TSearchScope::Group, library};
    }
    const QString given = parsed.Value(QStringLiteral("scope"));
    if (given.isEmpty()) {
        throw TUsageError(QStringLiteral("option --scope needs a group, a catalog or a folder"));
    }
    const QString path = ResolveArgument(library, given, TNamed::Scope);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        throw TMelodrixError(
            QStringLiteral("no group or catalog %1").arg(path.isEmpty() ? given : path));
    }
    if (!InLibrary(library, path)) {
        // Only what the user named: a relative scope never climbs out of the library.
        if (!info.isDir()) {
            throw TUsageError(QStringLiteral("--scope %1 lies outside the library %2; outside "
                                             "it only a folder can be searched")
                                  .arg(path, library));
        }
        return {path, TSearchScope::Group, path};
    }
    CheckStaysInLibrary(library, path);
    if (info.isDir()) {
        return {path, TSearchScope::Group, library};
    }
    CheckRegularFile(path);
    return {path, TSearchScope::Catalog, library};
}

QString ResolveCatalogFile(const TCliContext& context, const QString& given) {
    const QString library = CleanAbsolute(context.LibraryPath());
    const QString path = ResolveArgument(library, given, TNamed::Catalog);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists() || info.isDir()) {
        throw TMelodrixError(
            QStringLiteral("no catalog file %1").arg(path.isEmpty() ? given : path));
    }
    CheckStaysInLibrary(library, path);
    CheckRegularFile(path);
    return path;
}

}  // namespace melodrix::cli
