/// \file
/// The process helpers that sit beside the thread manager: the process's id
/// and a command runner that waits for the command to end.
#ifndef DOZUV2_VIRAD_PROCESS_H
#define DOZUV2_VIRAD_PROCESS_H

#include "virad/Export.h"

namespace Orvane {
namespace Virad {
/// \addtogroup threads
/// @{

/// The process's system id.
DOZUV2_API unsigned long long getCurrectProcessID();
/// Runs a command line (no shell; blanks separate arguments, double quotes
/// group) and waits for it to end. 0 once it ended, 1 for a null command, -1
/// when the command is 260 characters or more or cannot be started.
DOZUV2_API int systemCall(const char* command);
/// @}

} // namespace Virad
} // namespace Orvane

#endif
