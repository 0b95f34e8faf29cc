#pragma once

#include <QElapsedTimer>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Makes a send run's platform requests on one thread of its own, one at a time, while the
// calling (window) thread goes on processing its events. The thread lives as long as the
// worker, so a run of ten thousand requests does not start ten thousand threads.
class RequestWorker
{
public:
    RequestWorker();
    ~RequestWorker(); // waits for a request still out, then ends the thread
    RequestWorker(const RequestWorker&) = delete;
    RequestWorker& operator=(const RequestWorker&) = delete;

    // A reply this quick is waited for without the event loop: the window does not notice a
    // pause this short, and the round through the event loop would cost more than the request.
    static constexpr int kDirectWaitMs = 2;
    // Either side looks this long for the other before it sleeps.
    static constexpr int kSpinMicros = 300;

    // Runs `send` on the worker; meanwhile runs `meanwhile` here, then processes this thread's
    // events until `send` has returned. What `meanwhile` throws is thrown once `send` has
    // returned.
    bool run(const std::function<bool()>& send, const std::function<void()>& meanwhile);

private:
    void loop();
    bool await();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_repliedCv;
    // Written under the mutex; atomic so that either side can look for the other unlocked.
    std::atomic<const std::function<bool()>*> m_job{nullptr}; // the request waiting or out
    std::atomic<bool> m_done{false};                          // its reply is in
    bool m_inEventLoop = false; // the caller waits in its event loop, to be woken by an event
    bool m_result = false;
    bool m_quit = false;
    std::thread m_thread;
};

// How a run shown in a window spends its waits: requests go to the worker, and between the
// items waiting window events are processed, but not more often than every few milliseconds
// (a list of 100,000 numbers would otherwise spend a quarter of its time asking an idle event
// queue). Right after a reply they always are, so a click made meanwhile stops the run before
// its next item.
class RunPacing
{
public:
    static constexpr int kIntervalMs = 10;
    bool request(const std::function<bool()>& send, const std::function<void()>& meanwhile);
    void yield();

private:
    RequestWorker m_worker;
    QElapsedTimer m_lastYield;
};
