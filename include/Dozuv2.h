/// \file
/// Dozuv2: the whole public interface in one include.
#ifndef DOZUV2_H
#define DOZUV2_H

#include "virad/Compiler.h"
#include "virad/Export.h"
#include "virad/Assertion.h"
#include "virad/devez3/detail/flex_string.h"
#include "virad/Function.h"
#include "virad/SystemTime.h"
#include "virad/CTime.h"
#include "virad/PrintLog.h"
#include "virad/LastError.h"
#include "virad/LogFilter.h"
#include "virad/Mutex.h"
#include "virad/ReadWriteMutex.h"
#include "virad/Semaphore.h"
#include "virad/ThreadLocalSlot.h"
#include "virad/Thread.h"
#include "virad/ThreadManager.h"
#include "virad/Process.h"
#include "virad/Timer.h"
#include "virad/FileSystem.h"
#include "virad/File.h"
#include "virad/FileFind.h"
#include "virad/CVersion.h"

// Memory: packets, the packet manager, the pool and the buffer.
#include "memory/PacketManager.h"
#include "memory/Packet.h"
#include "memory/MemPool.h"
#include "memory/Buffer.h"
#include "memory/SharePacketHelper.h"

// Utilities: string and IPv4 helpers, character-set conversion.
#include "utils/StringHelpers.h"
#include "utils/Charset.h"
// Utilities: ciphers, digests, checksums and Base64.
#include "utils/Aes.h"
#include "utils/TripleDes.h"
#include "utils/Md5.h"
#include "utils/Sha1.h"
#include "utils/Crc.h"
#include "utils/Base64.h"
// Components: the component base, object tables, factories, clients, TComPtr.
#include "component/Unknown.h"
#include "component/ObjectTable.h"
#include "component/Factory.h"
#include "component/Client.h"
#include "component/ComPtr.h"
#include "component/Creator.h"
#include "component/ComSelect.h"

#endif
