/// \file
/// The logfilter command: the words a host's console passes on to change the
/// print state at run time (level, module switches, prefix switches,
/// statistics, log path and log-file rotation).
///
/// A host registers setLogFilter under the name "logfilter" and hands it the
/// words after the command name. One option is processed per call; words that
/// match no option change nothing. The command never fails. With no words, or
/// with "-h", it prints its usage text to the standard output.
#ifndef DOZUV2_VIRAD_LOGFILTER_H
#define DOZUV2_VIRAD_LOGFILTER_H

#include "virad/Export.h"

namespace Orvane {
namespace Virad {
/// \addtogroup diagnostics
/// @{

/// Runs one logfilter command given as its words, argv[0] the first option (no program name); none prints the usage.
DOZUV2_API void setLogFilter(int argc, char** const argv);
/// Closes the open log file, if any; the next line opens it again.
DOZUV2_API void logCleanup();
/// @}

} // namespace Virad
} // namespace Orvane

#endif
