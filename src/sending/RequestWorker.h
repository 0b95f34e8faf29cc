#pragma once

#include <QElapsedTimer>
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

    // Runs `send` on the worker and processes this thread's events until it has returned.
    // While `holdInput` answers true, user input waits.
    bool run(const std::function<bool()>& send, const std::function<bool()>& holdInput);

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    const std::function<bool()>* m_job = nullptr;
    bool m_done = false;
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
    bool request(const std::function<bool()>& send, const std::function<bool()>& holdInput);
    void yield();

private:
    RequestWorker m_worker;
    QElapsedTimer m_lastYield;
};
