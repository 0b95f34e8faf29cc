#pragma once

#include <QVector>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// One worker thread. The procedure gets a stop token that it polls between units of work
// and passes to waitFor(), so that Terminal() ends a pause at once.
class MultiThread
{
public:
    class StopToken
    {
    public:
        bool stopRequested() const;
        // Sleeps up to ms milliseconds; returns false when woken by a stop request.
        bool waitFor(int ms) const;

    private:
        friend class MultiThread;
        explicit StopToken(MultiThread* owner) : m_owner(owner) {}
        MultiThread* m_owner;
    };
    using Procedure = std::function<void(const StopToken&)>;

    MultiThread() = default;
    ~MultiThread(); // Terminal()
    MultiThread(const MultiThread&) = delete;
    MultiThread& operator=(const MultiThread&) = delete;

    // Asks the thread to stop and waits until it has ended; always false. Does nothing for
    // a thread that has ended or never started.
    bool Terminal();
    // Stores the procedure (Param is kept and never passed on); false without a procedure.
    bool Add(Procedure funcAddr, long param = 0);
    // Starts a new thread running the stored procedure; false when none is stored.
    bool Start();
    bool isRunning() const;

private:
    Procedure m_proc;
    long m_param = 0;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_wake;
    bool m_stop = false;
};

// g_Threads[1] update check, [2] white-list upload, [3] sensitive-word download; [0] unused.
MultiThread& g_Threads(int index);
// Stops every worker thread (at exit).
void TerminateAllThreads();
