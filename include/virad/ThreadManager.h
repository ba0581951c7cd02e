/// \file
/// The thread manager: the process-wide registry of running CThread bodies,
/// with their names, ids, priorities and time-outs, and a watchdog view of the
/// threads whose time-out has passed. Beside it (virad/Process.h, included
/// here): the process id and a command runner.
///
/// Every method may be called from any thread; the lists and names it hands
/// out are snapshots. The manager exists from first use to the end of the
/// process.
#ifndef DOZUV2_VIRAD_THREADMANAGER_H
#define DOZUV2_VIRAD_THREADMANAGER_H

#include "virad/Export.h"
#include "virad/Process.h"
#include "virad/devez3/detail/flex_string.h"

#include <list>

namespace Orvane {
namespace Virad {
/// \addtogroup threads
/// @{

/// The process-wide registry of running threads, described above.
class DOZUV2_API CThreadManager {
public:
    /// One running thread.
    struct ThreadInfo {
        char name[32];         ///< at most 31 characters, terminated
        int id;                ///< system thread id
        int stackSize;         ///< as given to the CThread constructor
        unsigned priority : 7; ///< CThread priority, low 7 bits
        unsigned policy : 1;   ///< bit 0 of the CThread policy
        unsigned timeout : 1;  ///< a deadline is set and has passed
        /// Unused bits.
        ///@{
        unsigned : 23;
        unsigned char reserved[20]; ///< zero
        ///@}
    };

    /// The manager, created on first call.
    static CThreadManager* instance();

    /// Remembers the calling thread as the process's main thread.
    void registerMainThread();
    /// True if a running body has that id.
    bool hasThread(int threadId);
    /// Copies that thread's name; false (name untouched) if no running body has the id.
    bool getThreadNameByID(int threadId, flex_string& name);
    /// Appends one record per running body, newest first; false if none runs.
    bool getThreadsInfo(std::list<ThreadInfo>& infos);
    /// Clears the text, then appends "name(id)" for every timed-out thread,
    /// newest first, without separator; true if there was at least one.
    bool getTimeOutThreads(flex_string& text);
    /// Prints the table of the main thread and every running body at level 4.
    void dumpThreads();

private:
    CThreadManager();
    ~CThreadManager();
    CThreadManager(const CThreadManager&) = delete;
    CThreadManager& operator=(const CThreadManager&) = delete;

    struct ThreadManagerInternal* m_internal;
};

static_assert(sizeof(CThreadManager::ThreadInfo) == 64, "name, id, stack size, one bit-field word, 20 bytes");
/// @}

} // namespace Virad
} // namespace Orvane

#endif
