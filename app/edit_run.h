#pragma once

#include "console/console.h"
#include "varfile/edit_plan.h"

namespace ostrel {

enum class RunStatus {
  completed,      // the run reached its end, also when there was nothing to do
  failed,         // reported on the console
  out_of_memory,  // no memory for the new file name; nothing is reported
};

/// Performs the edits of `request` on its input file, reporting on `console`.
RunStatus run_edits(const EditRequest& request, Console& console);

}  // namespace ostrel
