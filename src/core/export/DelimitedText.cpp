#include "core/export/DelimitedText.h"

#include <array>

#include "core/export/ExportColumns.h"
#include "core/export/TextAppend.h"

namespace melodrix {

namespace {

void AppendCell(std::string& out, std::string_view text, std::string_view separator,
                TDelimitedStyle style) {
    if (style == TDelimitedStyle::Csv) {
        AppendCsvField(out, text, separator);
    } else {
        AppendWithCrLf(out, text);
    }
}

}  // namespace

bool BuildDelimitedText(const TItemWalk& items, const QStringList& columns,
                        std::string_view separator, TDelimitedStyle style, TTextOutput& output) {
    const std::vector<TExportColumn> resolved = ResolveExportColumns(columns);
    std::string& text = output.Text();
    bool any = false;
    const bool complete = items([&](const TItemTexts& texts) {
        if (!any) {
            // The heading comes with the first item: without items there is no text.
            any = true;
            for (size_t c = 0; c < resolved.size(); ++c) {
                AppendCell(text, resolved[c].Name, separator, style);
                if (style == TDelimitedStyle::Plain || c + 1 < resolved.size()) {
                    AppendWithCrLf(text, separator);
                }
            }
            text.append(kCrLf);
        }
        for (size_t c = 0; c < resolved.size(); ++c) {
            if (c > 0) {
                AppendWithCrLf(text, separator);
            }
            AppendCell(text, texts[static_cast<size_t>(resolved[c].Field)], separator, style);
        }
        text.append(kCrLf);
        output.RowEnd();
    });
    if (complete && any) {
        output.Finish();
    }
    return complete;
}

bool IsUsableCsvSeparator(const QString& separator) {
    return !separator.isEmpty() && !separator.contains(QLatin1Char('"')) &&
           !separator.contains(QLatin1Char('\r')) && !separator.contains(QLatin1Char('\n'));
}

}  // namespace melodrix
