// Every place that cuts, splits or judges a path by its slashes, on this host.
// Some take either slash whatever the host (the log path's last character,
// the directory prefix of a search, class ids as library names); some follow
// the host's own separator (the source file name in a line's prefix, the log
// path's directory part); some take '/' alone (the recursive directory
// operations, the last component of a header location).
#include "Src/Devez3/FileDefaultOpt.h"
#include "Src/Devez3/PrintState.h"
#include "Src/Version/IncludeVersionChecker.h"
#include "component/Creator.h"
#include "virad/File.h"
#include "virad/FileFind.h"
#include "virad/LogFilter.h"

#include "support/PrintStateFixture.h"
#include "support/Testing.h"

using namespace Orvane::Virad;
using namespace Orvane::Testing;

namespace {

// A file system for paths under "hook" that finds one file, "x", for any
// pattern, and records the patterns searched, the files removed and the
// directories made.
class PathRecorder : public FileDefaultOpt {
public:
    Lines calls;

    int findfirst(const char* pattern, FileInfo* record) override {
        calls.push_back(pattern);
        std::strcpy(record->name, "x");
        return 0;
    }
    int findnext(int, FileInfo*) override { return -1; }
    int findclose(int) override { return 0; }
    int mkdir(const char* path) override {
        calls.push_back(path);
        return 0;
    }
    int remove(const char* path) override {
        calls.push_back(std::string("remove ") + path);
        return 0;
    }
};

struct Row {
    const char* place;
    const char* input;
    const char* here;    // on a POSIX host
    const char* windows; // on Windows
};

// What each place makes of a path; reports of level 2 and 3 follow in brackets.
std::string outcome(PathRecorder& recorder, const std::string& place, const char* input) {
    std::string result;
    const Lines reports = reported(
        [&] {
            if (place == "source") {
                result = Detail::fileNameOf(input);
            } else if (place == "logpath") {
                std::string words[] = {"-logpath", input};
                char* argv[] = {&words[0][0], &words[1][0]};
                const std::string printed = stdoutOf([&] { setLogFilter(2, argv); });
                const Detail::LogFileSettings settings = Detail::logFileSettings();
                Detail::setLogPath(""); // the reports of later rows write no log file
                result = printed.find("]logDir is invalid\n") != std::string::npos ? "refused" : "";
                result += settings.path + " " + settings.searchPattern;
            } else if (place == "search") {
                CFileFind find;
                find.findFile(input);
                result = find.getFilePath();
            } else if (place == "mkdirs") {
                CFile::makeDirectoryRecursively(input);
            } else if (place == "rmdirs") {
                CFile::removeDirectoryRecursively(input, false);
            } else if (place == "location") {
                const IncludeVersion entry[] = {{input, "1"}};
                result = Detail::IncludeVersionChecker::suggestion(entry, 1, {});
                result.pop_back();
            } else if (place == "classid") {
                result = Orvane::Component::createComponentObject(input, nullptr) == nullptr ? "null" : "made";
            }
        },
        3);
    for (const std::string& call : recorder.calls) {
        result += (result.empty() ? "" : ",") + call;
    }
    recorder.calls.clear();
    for (const std::string& line : reports) {
        result += " [" + line.substr(0, line.size() - 1) + "]";
    }
    return result;
}

} // namespace

using PathSeparatorsTest = PrintStateTest;

TEST_F(PathSeparatorsTest, EachPlaceTakesTheSlashesItIsMeantTo) {
    CapturePrinter quiet;
    PathRecorder recorder;
    hookFileSystem("hook", &recorder);
    const Row rows[] = {
        // The source file name: the host's separators, '/' here and both on Windows, whose system takes both.
        {"source", "name.cpp", "name.cpp", "name.cpp"},
        {"source", R"(Src/Devez3/Thread.cpp)", "Thread.cpp", "Thread.cpp"},
        {"source", R"(dir\win.cpp)", R"(dir\win.cpp)", "win.cpp"},
        {"source", R"(a/b\c.cpp)", R"(b\c.cpp)", "c.cpp"},
        // The log path: refused when it ends in either slash; the directory part ends at the host's separator, and
        // a path without one is in "./".
        {"logpath", "logs/", "refused ", "refused "},
        {"logpath", R"(logs\)", "refused ", "refused "},
        {"logpath", "app.log", "./app.log ./*", "./app.log ./*"},
        {"logpath", "logs/app.log", "logs/app.log logs/*", "logs/app.log logs/*"},
        {"logpath", R"(logs\app.log)", R"(./logs\app.log ./*)", R"(logs\app.log logs\*)"},
        {"logpath", R"(a/b\app.log)", R"(a/b\app.log a/*)", R"(a/b\app.log a/b\*)"},
        // The directory prefix of a search: up to the last slash of either kind, on every host.
        {"search", "hook*", "x,hook*", "x,hook*"},
        {"search", "hook/a/*.log", "hook/a/x,hook/a/*.log", "hook/a/x,hook/a/*.log"},
        {"search", R"(hook\a\*.log)", R"(hook\a\x,hook\a\*.log)", R"(hook\a\x,hook\a\*.log)"},
        {"search", R"(hook/a\*.log)", R"(hook/a\x,hook/a\*.log)", R"(hook/a\x,hook/a\*.log)"},
        {"search", R"(hook\a/*.log)", R"(hook\a/x,hook\a/*.log)", R"(hook\a/x,hook\a/*.log)"},
        // Recursive creation and removal: '/' alone separates.
        {"mkdirs", R"(hook/a\b/c/)", R"(hook,hook/a\b,hook/a\b/c)", R"(hook,hook/a\b,hook/a\b/c)"},
        {"mkdirs", R"(hook\a\b)", R"(hook\a\b)", R"(hook\a\b)"},
        {"rmdirs", R"(hook\a\)", R"(hook\a\/*,remove hook\a\/x)", R"(hook\a\/*,remove hook\a\/x)"},
        {"rmdirs", "hook/a/", "hook/a/*,remove hook/a/x", "hook/a/*,remove hook/a/x"},
        // A header location's last component: after the last '/' alone.
        {"location", R"(http://svn/x\y.h)", R"(x\y.h -r0 http://svn/x\y.h)", R"(x\y.h -r0 http://svn/x\y.h)"},
        {"location", R"(dir\y.h)", R"(null -r0 dir\y.h)", R"(null -r0 dir\y.h)"},
        // A class id that would make its library's name a path: refused on every host.
        {"classid", "NoSuchComponentHere", "null", "null"},
        {"classid", "no/such", "null [getDynamicCreator cid:no/such names no library file!]",
         "null [getDynamicCreator cid:no/such names no library file!]"},
        {"classid", R"(no\such)", R"(null [getDynamicCreator cid:no\such names no library file!])",
         R"(null [getDynamicCreator cid:no\such names no library file!])"},
        {"classid", "C:nosuch", "null [getDynamicCreator cid:C:nosuch names no library file!]",
         "null [getDynamicCreator cid:C:nosuch names no library file!]"},
        {"classid", "..", "null [getDynamicCreator cid:.. names no library file!]",
         "null [getDynamicCreator cid:.. names no library file!]"},
        {"classid", ".", "null [getDynamicCreator cid:. names no library file!]",
         "null [getDynamicCreator cid:. names no library file!]"},
    };
    Lines expected, actual;
    for (const Row& row : rows) {
        const std::string head = std::string(row.place) + " " + row.input + " -> ";
#ifdef _WIN32
        expected.push_back(head + row.windows);
#else
        expected.push_back(head + row.here);
#endif
        actual.push_back(head + outcome(recorder, row.place, row.input));
    }
    hookFileSystem("hook", nullptr);
    EXPECT_EQ(actual, expected);
}
