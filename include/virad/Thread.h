/// \file
/// Thread objects: a named system thread with a priority, a scheduling policy
/// and a stack size, started and stopped through the object.
///
/// A subclass supplies the work by overriding threadProc(), which runs once per
/// start on the new thread and should loop while looping() is true, waiting in
/// short steps so that a stop request is seen. CThreadLite runs a delegate
/// instead. While its body runs, a thread is registered with the thread manager
/// (CThreadManager), which knows its name, id, priority and time-out.
///
/// States: idle -> running (createThread) -> stopping (cancelThread or
/// destroyThread while the body runs) -> over (the body returned); an object
/// that is over can be started again and gets a new system thread.
///
/// Lifetime: the destructor asks the body to stop and waits until it has left
/// threadProc(); a threadProc() that ignores looping() blocks its owner's
/// destruction. By the time CThread's destructor runs, a subclass's own part
/// is already gone, so a subclass whose threadProc() uses its own members
/// calls destroyThread() in its own destructor. Any thread may call any method; nothing throws; failures are
/// reported through the print path and return false.
///
/// Priorities run from 1 (highest) to 127 (lowest), 64 being normal; policy 1
/// is real-time. They are mapped onto the Windows scale (15 time critical ..
/// -15 idle) and handed to the platform, which applies what the host allows.
#ifndef DOZUV2_VIRAD_THREAD_H
#define DOZUV2_VIRAD_THREAD_H

#include "virad/Export.h"
#include "virad/Function.h"

namespace Orvane {
namespace Virad {
/// \addtogroup threads
/// @{

/// A named system thread whose body is threadProc, described above.
class DOZUV2_API CThread {
public:
    /// name (null: "Nonamed"; cut to 31 characters), priority, policy, stack size
    /// in bytes (0: the platform's default). Starts nothing.
    explicit CThread(const char* name = nullptr, int priority = 64, int policy = 0, int stackSize = 0);
    /// Stops the body and waits for it to end.
    virtual ~CThread();
    CThread(const CThread&) = delete;
    CThread& operator=(const CThread&) = delete;

    /// Starts a new run; false if one is still running or no thread could be made.
    bool createThread();
    /// Asks the run to stop and waits for it to end (at once when called from
    /// the thread itself); false if there is nothing to stop.
    bool destroyThread();
    /// Asks the run to stop without waiting; false if it is not running.
    bool cancelThread();
    /// destroyThread(), then forcibly ends the system thread. Dangerous: on this
    /// host the thread is cancelled at its next cancellation point (a wait, a
    /// sleep, most I/O), wherever that is in its work; locks it holds are
    /// never released and the state it was changing is left half done. Use it
    /// only for a thread that cannot be stopped any other way.
    bool terminateThread();
    /// True when the body is not running and the thread is not asked to run.
    bool isThreadOver();
    /// Whether the body should keep working.
    bool looping() const;
    /// The running body's system id, -1 until the body stored it.
    int getThreadID();
    /// The thread's name as last set.
    const char* getThreadName();
    /// null: "Nonamed"; cut to 31 characters.
    void setThreadName(const char* name);
    /// Deadline = now + milliseconds (of CTime::getCurrentMilliSecond); 0 clears it.
    void setTimeout(int milliseconds);
    /// Deadline = now + milliseconds with "now" given by the caller; 0 clears it.
    void setTimeout(int milliseconds, unsigned long long now);
    /// True if a deadline is set and has passed.
    bool isTimeout();
    /// Asks for the stack size given at construction (which is used anyway).
    void enableStackSize();
    /// Returns its argument.
    int shareSocket(int socket);

    /// The calling thread's system id.
    static int getCurrentThreadID();
    /// Sets the calling thread's deadline (0 clears it); false when the caller
    /// is not the body of a running CThread.
    ///@{
    static bool setCurrentTimeout(int milliseconds);
    static void sleep(int milliseconds);
    ///@}
    /// A load percentage hint for the calling thread (1..100); others are reported.
    static void load(int percent);

protected:
    /// The thread's work; runs once per start.
    virtual void threadProc() = 0;

private:
    friend struct ThreadInternal;
    struct ThreadInternal* m_internal;
};

/// A thread that runs a delegate given the thread object itself.
class DOZUV2_API CThreadLite : public CThread {
public:
    /// The body: called with the thread object itself.
    using Procedure = TFunction1<void, CThreadLite&>;

    /// A thread whose body is the procedure; the other arguments as for CThread.
    explicit CThreadLite(Procedure procedure, const char* name = nullptr, int priority = 64, int policy = 0,
                         int stackSize = 0);
    ~CThreadLite() override;

private:
    void threadProc() override;

    struct ThreadLiteInternal;
    ThreadLiteInternal* m_liteInternal;
};
/// @}

} // namespace Virad
} // namespace Orvane

#endif
