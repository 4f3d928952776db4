#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <stdexcept>
#include <vector>

#include "cli/Commands.h"
#include "core/catalog/FileItem.h"
#include "core/engine/FileInfo.h"

namespace melodrix::cli {

// A command line that does not fit the command: exit status 2.
class TUsageError : public std::runtime_error {
public:
    explicit TUsageError(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& Message() const { return message_; }

private:
    QString message_;
};

struct TOptionSpec {
    QString name;  // without the leading "--"
    bool takesValue = false;
};

// The arguments of one command: options ("--name VALUE", "--name=VALUE", flags) and
// positional arguments; "--" ends the options.
class TParsedArguments {
public:
    QStringList positional;
    bool help = false;  // --help or -h

    bool Has(const QString& name) const { return values_.contains(name); }
    QString Value(const QString& name) const { return values_.value(name); }
    // Every value of an option given more than once, in the order given.
    QStringList Values(const QString& name) const { return repeated_.value(name); }

private:
    friend TParsedArguments ParseArguments(const QStringList&, const std::vector<TOptionSpec>&);
    QMap<QString, QString> values_;  // the last value of each option
    QMap<QString, QStringList> repeated_;
};

// Throws TUsageError for an unknown option or a missing value.
TParsedArguments ParseArguments(const QStringList& args, const std::vector<TOptionSpec>& options);

// A JSON string literal of the text.
QString JsonString(QStringView text);
QString JsonString(std::string_view utf8);
// One JSON object with all 17 fields of the item, keys named by the field table.
QString ItemJson(const TFileItem& item);

QString TextOf(std::string_view utf8);

// Prints rows as columns padded to their widest cell (the last column is not padded).
void PrintTable(QTextStream& out, const std::vector<QStringList>& rows);

// An argument that must name an existing catalog file: a path relative to the library (with or
// without ".xml"), relative to the current directory, or absolute. A relative path that names
// something different in both places is refused as ambiguous (TUsageError). Inside the library
// a symbolic link is followed only to a target inside it; only a regular file is a catalog.
// Fails with TMelodrixError ("no catalog file PATH", ...) otherwise.
QString ResolveCatalogFile(const TCliContext& context, const QString& given);

// The --scope of a command that reads many catalogs: a group (folder) or one catalog, the
// whole library when not given. Resolved as ResolveCatalogFile does; outside the library only
// an existing folder given explicitly is a scope. Fails with "no group or catalog PATH" when
// nothing is there.
struct TScopeArgument {
    QString path;
    TSearchScope scope = TSearchScope::Group;
    QString linkRoot;  // the folder symbolic links of the scope may lead into
};
TScopeArgument ResolveScope(const TCliContext& context, const TParsedArguments& parsed);

}  // namespace melodrix::cli
