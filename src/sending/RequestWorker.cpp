#include "RequestWorker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>
#include <chrono>
#include <exception>
#include <thread>

RequestWorker::RequestWorker() : m_thread([this] { loop(); }) {}

RequestWorker::~RequestWorker()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

namespace {

// Looks at `ready` for up to `micros` before the caller goes to sleep: on a platform next door
// the other side answers within that time, and a sleep with its wake-up costs more than the
// request's own work.
template<typename Ready>
void spinBriefly(Ready ready, int micros)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(micros);
    while (!ready() && std::chrono::steady_clock::now() < until)
        std::this_thread::yield();
}

} // namespace

void RequestWorker::loop()
{
    for (;;) {
        spinBriefly([this] { return m_job.load(std::memory_order_acquire) != nullptr; }, kSpinMicros);
        std::unique_lock<std::mutex> lock(m_mutex);
        m_wake.wait(lock, [this] { return m_quit || m_job; });
        const std::function<bool()>* job = m_job;
        if (!job)
            return;
        lock.unlock();
        const bool result = (*job)();
        lock.lock();
        m_job = nullptr;
        m_result = result;
        m_done.store(true, std::memory_order_release);
        m_repliedCv.notify_all();
        // Wakes the waiting thread's event loop; the flag above is what it checks.
        if (m_inEventLoop)
            QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    }
}

bool RequestWorker::run(const std::function<bool()>& send, const std::function<void()>& meanwhile)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = false;
        m_inEventLoop = false;
        m_job.store(&send, std::memory_order_release);
    }
    m_wake.notify_all();
    std::exception_ptr failure;
    if (meanwhile) {
        try {
            meanwhile();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    const bool result = await();
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

bool RequestWorker::await()
{
    spinBriefly([this] { return m_done.load(std::memory_order_acquire); }, kSpinMicros);
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_repliedCv.wait_for(lock, std::chrono::milliseconds(kDirectWaitMs), [this] { return m_done.load(); }))
            return m_result;
        m_inEventLoop = true;
    }
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_done)
                return m_result;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}

bool RunPacing::request(const std::function<bool()>& send, const std::function<void()>& meanwhile)
{
    const bool ok = m_worker.run(send, meanwhile);
    m_lastYield.invalidate();
    return ok;
}

void RunPacing::yield()
{
    if (m_lastYield.isValid() && m_lastYield.elapsed() < kIntervalMs)
        return;
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    m_lastYield.start();
}
