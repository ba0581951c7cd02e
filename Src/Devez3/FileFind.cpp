// Directory search objects. Both forms share one search record; they differ
// only in the string type of their name results.
#include "virad/FileFind.h"

#include "Src/Devez3/FileDefaultOpt.h"
#include "Src/Common/Containers.h"
#include "Src/Common/Report.h"

#include <cstring>
#include <new>

namespace Orvane {
namespace Virad {

namespace {

struct SearchRecord {
    int key = -1;        // the file system's search key; -1: no search open
    FileInfo entry = {}; // the entry found last
    IFileSystem* fileSystem = Detail::defaultFileSystem();
    flex_string prefix; // the pattern up to and including its last '/' or '\'

    // The name is preset with the directory prefix, for tables that build
    // the entry's path from what they find in the record.
    void presetName() { Detail::copyFileName(entry.name, prefix.c_str()); }

    void close() {
        if (key != -1) {
            fileSystem->findclose(key);
            key = -1;
        }
    }

    bool findFile(const char* pattern) {
        close();
        const char* text = pattern != nullptr ? pattern : "";
        std::size_t cut = std::strlen(text);
        // Either slash ends the directory prefix, whatever this host's separator.
        while (cut > 0 && text[cut - 1] != '/' && text[cut - 1] != '\\') {
            --cut;
        }
        prefix.assign(text, cut);
        fileSystem = Detail::selectFileSystem(text);
        presetName();
        key = fileSystem->findfirst(text, &entry);
        return key != -1;
    }

    bool findNextFile() {
        presetName();
        return fileSystem->findnext(key, &entry) != -1;
    }
};

} // namespace

struct CFileFind::FileFindInternal : SearchRecord {};
struct CFileFindEx::FileFindExInternal : SearchRecord {};

CFileFind::CFileFind() : m_internal(new (std::nothrow) FileFindInternal) {
    VIRAD_ASSERT(m_internal);
}

CFileFind::~CFileFind() {
    close();
    delete m_internal;
}

bool CFileFind::findFile(const char* pattern) {
    return m_internal->findFile(pattern);
}

bool CFileFind::findNextFile() {
    return m_internal->findNextFile();
}

void CFileFind::close() {
    m_internal->close();
}

std::uint64_t CFileFind::getLength() {
    return m_internal->entry.size;
}

std::string CFileFind::getFileName() {
    return Common::filledForCaller([this] { return std::string(m_internal->entry.name); });
}

std::string CFileFind::getFilePath() {
    return Common::filledForCaller([this] {
        std::string path(m_internal->prefix.data(), m_internal->prefix.size());
        return path.append(m_internal->entry.name);
    });
}

bool CFileFind::isReadOnly() {
    return (m_internal->entry.attrib & 0x1) != 0;
}

bool CFileFind::isDirectory() {
    return (m_internal->entry.attrib & 0x10) != 0;
}

bool CFileFind::isHidden() {
    return (m_internal->entry.attrib & 0x2) != 0;
}

bool CFileFind::isNormal() {
    return m_internal->entry.attrib == 0;
}

CFileFindEx::CFileFindEx() : m_internal(new (std::nothrow) FileFindExInternal) {
    VIRAD_ASSERT(m_internal);
}

CFileFindEx::~CFileFindEx() {
    close();
    delete m_internal;
}

bool CFileFindEx::findFile(const char* pattern) {
    return m_internal->findFile(pattern);
}

bool CFileFindEx::findNextFile() {
    return m_internal->findNextFile();
}

void CFileFindEx::close() {
    m_internal->close();
}

std::uint64_t CFileFindEx::getLength() {
    return m_internal->entry.size;
}

flex_string CFileFindEx::getFileName() {
    return flex_string(m_internal->entry.name);
}

flex_string CFileFindEx::getFilePath() {
    return m_internal->prefix + m_internal->entry.name;
}

bool CFileFindEx::isReadOnly() {
    return (m_internal->entry.attrib & 0x1) != 0;
}

bool CFileFindEx::isDirectory() {
    return (m_internal->entry.attrib & 0x10) != 0;
}

bool CFileFindEx::isHidden() {
    return (m_internal->entry.attrib & 0x2) != 0;
}

bool CFileFindEx::isNormal() {
    return m_internal->entry.attrib == 0;
}

} // namespace Virad
} // namespace Orvane
