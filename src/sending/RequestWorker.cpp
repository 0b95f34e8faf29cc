#include "RequestWorker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMetaObject>

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

void RequestWorker::loop()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_quit || m_job; });
        if (!m_job)
            return;
        const std::function<bool()>* job = m_job;
        lock.unlock();
        const bool result = (*job)();
        lock.lock();
        m_job = nullptr;
        m_result = result;
        m_done = true;
        // Wakes the waiting thread's event loop; the flag above is what it checks.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    }
}

bool RequestWorker::run(const std::function<bool()>& send, const std::function<bool()>& holdInput)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_done = false;
        m_job = &send;
    }
    m_wake.notify_all();
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (m_done)
                return m_result;
        }
        QEventLoop::ProcessEventsFlags flags = QEventLoop::WaitForMoreEvents;
        if (holdInput && holdInput())
            flags |= QEventLoop::ExcludeUserInputEvents;
        QCoreApplication::processEvents(flags);
    }
}

bool RunPacing::request(const std::function<bool()>& send, const std::function<bool()>& holdInput)
{
    const bool ok = m_worker.run(send, holdInput);
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
