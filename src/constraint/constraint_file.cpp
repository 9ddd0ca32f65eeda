#include "constraint/constraint_file.h"

#include "constraint/apply_directives.h"
#include "constraint/constraint_reader.h"
#include "constraint/directive_lines.h"
#include "report/messages.h"

int processConstraintFile(CdfgGraph& g, const char* path) {
    if (readConstraintFile(path) != 0) {
        printMessage(452, orEmpty(path));
        // Lines stored before the failing one are not merged.
        releaseConstraintDirectives();
        return -1;
    }
    applyConstraintDirectives(g, path);
    reportUnappliedDirectives(path);
    releaseConstraintDirectives();
    return 0;
}
