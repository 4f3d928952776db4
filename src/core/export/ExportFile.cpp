#include "core/export/ExportFile.h"

#include <QFile>

#include "core/catalog/Errors.h"
#include "core/catalogfile/AtomicFile.h"
#include "core/catalogfile/BackgroundWriter.h"

namespace melodrix {

void WriteExportText(const QString& path, const std::function<void(TTextOutput&)>& build) {
    WriteFileAtomically(path, [&](QIODevice& device) {
        TBackgroundWriter pieces(device);
        TTextOutput output([&](std::string& piece) { pieces.Write(piece); });
        build(output);
        output.Finish();
        pieces.Finish();
    });
}

}  // namespace melodrix
