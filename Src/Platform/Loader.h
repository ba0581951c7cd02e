// The platform's loader: dynamic libraries loaded by name and the entry
// points found in them.
#ifndef DOZUV2_PLATFORM_LOADER_H
#define DOZUV2_PLATFORM_LOADER_H

#include <cstddef>

namespace Orvane {
namespace Platform {

struct LoadedLibrary;
using LibraryHandle = LoadedLibrary*;

// The host's pattern for a library's file name from its base name.
extern const char* const kLibraryNameFormat;

// Writes the host's file name of the library with the given base name
// ("lib%s.so" here, "%s.dll" on Windows) into buffer, zero-filled, cutting
// the name to size - 1 characters. Returns the length written.
std::size_t libraryFileName(char* buffer, std::size_t size, const char* baseName);
// Whether name is a plain file name on every host: no '/', no '\' and no
// ':' (a drive on Windows), and not "." or "..". Only such names are loaded.
bool isBareFileName(const char* name);
// Loads a library by its bare file name, looked for first beside the
// program's executable (where Windows looks first), then where the host
// looks for libraries. Null when it cannot be loaded, and for any name that
// is not bare: a name never chooses a directory. Loading a library again
// gives the same library; it stays loaded for the process's life.
LibraryHandle loadLibrary(const char* name);
// The address of the named entry point in the library, or null.
void* findEntryPoint(LibraryHandle library, const char* name);

} // namespace Platform
} // namespace Orvane

#endif
