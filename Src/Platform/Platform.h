// The platform layer: the operating-system primitives the library is written
// against, with the contract each one keeps.
//
// The rest of the library never includes an operating-system header. It uses
// the small types and functions of one header per family instead, which model
// the Windows primitives the algorithms were designed around:
//
//   Platform/Sync.h     critical section, kernel semaphore, manual-reset event, owned kernel mutex
//   Platform/Thread.h   thread-local slots, thread ids, sleeping, system threads
//   Platform/Process.h  process id, command lines, exit handlers
//   Platform/Clock.h    local and UTC time, the host's zone, setting the clock, monotonic counter
//   Platform/Console.h  standard output, text attributes, debugger output
//   Platform/File.h     streams, files and directories, path status, separators, directory search
//   Platform/Loader.h   dynamic libraries and their entry points
//   Platform/Cpu.h      pause hint, bit scan, relaxed byte access, instruction-set features
//   Platform/Text.h     case-insensitive comparison, the bounded formatter
//
// What every host does alike (argument checks, flag mapping, caching,
// bookkeeping) is written once in a file per family beside the headers; each
// host supplies one implementation directory (Posix/ here, Win32/ on Windows)
// with only its own calls, the ones HostParts.h names among them. The
// processor family is the same on every host and lives beside the headers
// too. Library code includes the family it uses; this header includes them
// all.
#ifndef DOZUV2_PLATFORM_PLATFORM_H
#define DOZUV2_PLATFORM_PLATFORM_H

#include "Src/Platform/Clock.h"
#include "Src/Platform/Console.h"
#include "Src/Platform/Cpu.h"
#include "Src/Platform/File.h"
#include "Src/Platform/Loader.h"
#include "Src/Platform/Process.h"
#include "Src/Platform/Sync.h"
#include "Src/Platform/Text.h"
#include "Src/Platform/Thread.h"

#endif
