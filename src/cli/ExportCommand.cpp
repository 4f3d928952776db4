#include <QFileInfo>

#include "cli/CliSupport.h"
#include "cli/Commands.h"
#include "core/base/Errors.h"
#include "core/catalog/FileItem.h"
#include "core/catalog/Paths.h"
#include "core/config/Config.h"
#include "core/engine/FileInfo.h"
#include "core/export/ExportTexts.h"

namespace melodrix::cli {

namespace {

const char* const kExportUsage =
    "Usage: melodrix-cli [--library DIR] export CATALOG --format html|text|csv|xml|xlsx\n"
    "                    [--columns NAME,NAME...] [--separator S] -o FILE [--force]\n"
    "Writes a catalog to FILE as an HTML page, a text table, a CSV file, a catalog XML\n"
    "file or a workbook. CATALOG is a catalog file, or its path inside the library with or\n"
    "without \".xml\". --columns defaults to the columns ticked for export in the desktop\n"
    "program; names are field names such as FileName or MP3_Title. --separator sets the\n"
    "cell separator of csv (default \",\") and text (default four blanks). An existing FILE\n"
    "is only replaced with --force. Prints the path of the written file (with --json, one\n"
    "object with the output, the catalog and the format).\n";

enum class TFormat { Html, Text, Csv, Xml, Workbook };

TFormat FormatOf(const QString& name) {
    const std::pair<const char*, TFormat> formats[] = {
        {"html", TFormat::Html}, {"text", TFormat::Text},     {"csv", TFormat::Csv},
        {"xml", TFormat::Xml},   {"xlsx", TFormat::Workbook},
    };
    for (const auto& [text, format] : formats) {
        if (name == QLatin1String(text)) {
            return format;
        }
    }
    throw TUsageError(
        QStringLiteral("unknown format \"%1\" (html, text, csv, xml or xlsx)").arg(name));
}

QStringList ColumnsOf(const TParsedArguments& parsed) {
    if (!parsed.Has(QStringLiteral("columns"))) {
        QStringList ticked;
        for (const TColumnSpec& column : GetConfig().Columns()) {
            if (column.DefaultExport) {
                ticked << column.Name;
            }
        }
        return ticked;
    }
    QStringList names = parsed.Value(QStringLiteral("columns")).split(QLatin1Char(','));
    for (QString& name : names) {
        name = name.trimmed();
        // The engine reads an unknown name as FileName; on a command line it is a typo.
        if (FindFieldIndex(name.toStdString()) < 0) {
            throw TUsageError(QStringLiteral("unknown column \"%1\"").arg(name));
        }
    }
    return names;
}

// The engine's questions answered from the command line: the save question with the
// output path, the overwrite question with --force. Messages are kept as the error.
class TCommandLinePrompt final : public IPromptSink {
public:
    TCommandLinePrompt(QString output, bool force) : output_(std::move(output)), force_(force) {}

    QString ChooseOpenFile(const QString&, const QString&, const QString&) override { return {}; }
    QString ChooseSaveFile(const QString&, const QString&, const QString&) override {
        return output_;
    }
    void ShowMessage(const QString&, const QString& text, TMessageIcon) override { message = text; }
    bool AskYesNo(const QString&, const QString&, TMessageIcon) override { return force_; }

    QString message;

private:
    QString output_;
    bool force_;
};

// "-o FILE" is the one short option; the parser knows only long ones.
QStringList WithLongOutputOption(const QStringList& args) {
    QStringList out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--")) {
            out << args.mid(i);
            break;
        }
        out << (args[i] == QLatin1String("-o") ? QStringLiteral("--output") : args[i]);
    }
    return out;
}

}  // namespace

int RunExportCommand(TCliContext& context, const QStringList& args) {
    const TParsedArguments parsed =
        ParseArguments(WithLongOutputOption(args), {{QStringLiteral("format"), true},
                                                    {QStringLiteral("columns"), true},
                                                    {QStringLiteral("separator"), true},
                                                    {QStringLiteral("output"), true},
                                                    {QStringLiteral("force")}});
    if (parsed.help) {
        context.out << kExportUsage;
        return kExitOk;
    }
    if (parsed.positional.size() != 1) {
        throw TUsageError(QStringLiteral("export needs exactly one catalog"));
    }
    if (!parsed.Has(QStringLiteral("format"))) {
        throw TUsageError(QStringLiteral("export needs --format"));
    }
    const TFormat format = FormatOf(parsed.Value(QStringLiteral("format")));
    if (parsed.Value(QStringLiteral("output")).isEmpty()) {
        throw TUsageError(QStringLiteral("export needs -o FILE"));
    }
    const bool delimited = format == TFormat::Csv || format == TFormat::Text;
    if (parsed.Has(QStringLiteral("separator")) && !delimited) {
        throw TUsageError(QStringLiteral("--separator applies to csv and text only"));
    }
    const QStringList columns = ColumnsOf(parsed);

    const QString catalog = ResolveCatalogFile(context, parsed.positional.first());
    const QString output = QFileInfo(parsed.Value(QStringLiteral("output"))).absoluteFilePath();
    const bool force = parsed.Has(QStringLiteral("force"));
    if (QFileInfo::exists(output) && !force) {
        throw TMelodrixError(
            QStringLiteral("%1 exists already; use --force to replace it").arg(output));
    }

    TCommandLinePrompt prompt(output, force);
    // Every export writes the catalog as it reads it, without a document.
    TFileInfo engine(context.progress, prompt);
    engine.ExportColumns = std::make_unique<QStringList>(columns);
    const QString defaultName = DiskNameOf(QFileInfo(catalog).fileName());
    const QString separator = parsed.Has(QStringLiteral("separator"))
                                  ? parsed.Value(QStringLiteral("separator"))
                                  : (format == TFormat::Csv ? QStringLiteral(",") : kTextSeparator);

    bool written = false;
    switch (format) {
        case TFormat::Html:
            written = engine.ExportCatalogHtml(catalog, defaultName);
            break;
        case TFormat::Text:
            written = engine.ExportCatalogText(catalog, defaultName, separator);
            break;
        case TFormat::Csv:
            written = engine.ExportCatalogCsv(catalog, defaultName, separator);
            break;
        case TFormat::Xml:
            written = engine.ExportCatalogXml(catalog, defaultName);
            break;
        case TFormat::Workbook:
            written = engine.ExportCatalogExcel(catalog, defaultName);
            break;
    }
    if (!written) {
        throw TMelodrixError(prompt.message.isEmpty() ? QStringLiteral("nothing was written")
                                                      : prompt.message);
    }
    if (context.json) {
        context.out << "{\"output\":" << JsonString(QStringView(output))
                    << ",\"catalog\":" << JsonString(QStringView(catalog))
                    << ",\"format\":" << JsonString(parsed.Value(QStringLiteral("format")))
                    << "}\n";
    } else {
        context.out << output << '\n';
    }
    return kExitOk;
}

}  // namespace melodrix::cli
