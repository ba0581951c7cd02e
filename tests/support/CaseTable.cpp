#include "support/CaseTable.h"

#include "support/CapturePrinter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <sstream>

namespace Orvane {
namespace Testing {

int runCaseTable(const std::string& table, const std::function<std::string(const std::vector<std::string>&)>& runner) {
    std::string all = table;
    std::replace(all.begin(), all.end(), '\n', '|');
    std::istringstream cases(all);
    int count = 0;
    for (std::string text; std::getline(cases, text, '|');) {
        const std::size_t equals = text.find(" = ");
        if (equals == std::string::npos) {
            continue;
        }
        std::istringstream words(text.substr(0, equals));
        const std::vector<std::string> fields{std::istream_iterator<std::string>(words), {}};
        std::string expected = text.substr(equals + 3);
        expected.erase(expected.find_last_not_of(' ') + 1);
        CapturePrinter capture(true, 4);
        std::string answer = runner(fields);
        for (const std::string& line : capture.bodies()) {
            answer += " [" + line.substr(0, line.find_last_not_of('\n') + 1) + "]";
        }
        EXPECT_EQ(answer, expected) << text;
        EXPECT_EQ(capture.count(" warn "), capture.lines().size()) << text << ": reports are warnings";
        ++count;
    }
    return count;
}

} // namespace Testing
} // namespace Orvane
