#include "MultiThread.h"

#include <array>
#include <stdexcept>

bool MultiThread::StopToken::stopRequested() const
{
    std::lock_guard<std::mutex> lock(m_owner->m_mutex);
    return m_owner->m_stop;
}

bool MultiThread::StopToken::waitFor(int ms) const
{
    std::unique_lock<std::mutex> lock(m_owner->m_mutex);
    const bool stopped =
        m_owner->m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_owner->m_stop; });
    return !stopped;
}

MultiThread::~MultiThread()
{
    Terminal();
    // Only reachable when the last owner reference is dropped on the worker itself.
    if (m_thread.joinable())
        m_thread.detach();
}

bool MultiThread::Terminal()
{
    std::thread::id worker;
    {
        // Under the lock: a worker that asks to stop itself at once may run before Start() has
        // stored its handle.
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_thread.joinable())
            return false;
        m_stop = true;
        worker = m_thread.get_id();
    }
    m_wake.notify_all();
    // A worker that asks to stop itself must not wait for its own end.
    if (worker == std::this_thread::get_id())
        return false;
    m_thread.join();
    return false;
}

bool MultiThread::Add(Procedure funcAddr, long param)
{
    if (!funcAddr)
        return false;
    m_proc = std::move(funcAddr);
    m_param = param;
    return true;
}

bool MultiThread::Start()
{
    if (!m_proc)
        return false;
    // One handle per object: a thread still at work keeps it; one that has ended is reaped.
    if (m_running.load())
        return false;
    if (m_thread.joinable()) {
        if (m_thread.get_id() == std::this_thread::get_id())
            return false;
        m_thread.join();
    }
    // Held until the handle is stored, for a worker that stops itself at once (see Terminal()).
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stop = false;
    m_running.store(true);
    Procedure proc = m_proc;
    try {
        m_thread = std::thread([this, proc] {
            const StopToken token(this);
            try {
                proc(token);
            } catch (...) {
                // A worker reports through shared state; an escaped failure must not end the process.
            }
            m_running.store(false);
        });
    } catch (const std::system_error&) {
        m_running.store(false);
        return false;
    }
    return true;
}

bool MultiThread::isRunning() const
{
    return m_running.load();
}

namespace {
std::array<MultiThread, 4>& threads()
{
    static std::array<MultiThread, 4> all;
    return all;
}
} // namespace

MultiThread& g_Threads(int index)
{
    if (index < 0 || index >= static_cast<int>(threads().size()))
        throw std::out_of_range("g_Threads index out of range");
    return threads()[static_cast<size_t>(index)];
}

void TerminateAllThreads()
{
    for (MultiThread& thread : threads())
        thread.Terminal();
}
