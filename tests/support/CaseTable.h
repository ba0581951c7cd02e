// Test helper: runs a table of cases written as text, for functions whose
// cases differ only in their values.
//
// Cases are separated by '|' or a line end; each reads "name field ... =
// expected". The runner receives the name and the fields and answers with a
// text; the library's reports during the case (each must be a warning) are
// appended to it as " [message]". The result must equal the expected text.
// Returns the number of cases run, so a table that lost cases shows.
#ifndef DOZUV2_TESTS_SUPPORT_CASETABLE_H
#define DOZUV2_TESTS_SUPPORT_CASETABLE_H

#include <functional>
#include <string>
#include <vector>

namespace Orvane {
namespace Testing {

int runCaseTable(const std::string& table, const std::function<std::string(const std::vector<std::string>&)>& runner);

} // namespace Testing
} // namespace Orvane

#endif
