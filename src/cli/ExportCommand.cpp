#include "cli/Commands.h"

namespace melodrix::cli {

int RunExportCommand(TCliContext& context, const QStringList& /*args*/) {
    context.err << "export: not built yet\n";
    return kExitError;
}

}  // namespace melodrix::cli
