#include "core/export/ExportFile.h"

#include <QFile>

#include "core/base/AtomicFile.h"
#include "core/base/BackgroundWriter.h"
#include "core/base/Errors.h"

namespace melodrix {

bool WriteExportText(const QString& path, const std::function<bool(TTextOutput&)>& build) {
    return WriteFileAtomicallyIf(
               path,
               [&](QIODevice& device) {
                   TBackgroundWriter pieces(device);
                   TTextOutput output([&](std::string& piece) { pieces.Write(piece); });
                   if (!build(output)) {
                       return false;
                   }
                   output.Finish();
                   pieces.Finish();
                   return true;
               })
        .has_value();
}

}  // namespace melodrix
