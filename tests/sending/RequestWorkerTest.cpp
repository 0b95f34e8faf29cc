#include "RequestWorker.h"
#include "db/DbError.h"

#include <QApplication>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace std::chrono_literals;

// The work done meanwhile happens while the request is out: here the request answers only
// once it has seen that work begin, which a request made before or after it would never see.
TEST(RequestWorker, RunsTheWorkMeanwhileWhileTheRequestIsOut)
{
    RunPacing pacing;
    std::atomic<bool> meanwhileStarted{false};
    bool sawIt = false;
    const bool ok = pacing.request(
        [&] {
            const auto until = std::chrono::steady_clock::now() + 5s;
            while (!meanwhileStarted && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(1ms);
            sawIt = meanwhileStarted;
            return true;
        },
        [&] { meanwhileStarted = true; });
    EXPECT_TRUE(ok);
    EXPECT_TRUE(sawIt);
}

// A failure of the work done meanwhile comes out only once the request has returned, so the
// caller never leaves a request running behind it.
TEST(RequestWorker, AFailureMeanwhileComesOutAfterTheReply)
{
    RunPacing pacing;
    std::atomic<bool> replied{false};
    bool repliedWhenCaught = false;
    try {
        pacing.request(
            [&] {
                std::this_thread::sleep_for(50ms);
                replied = true;
                return false;
            },
            [] { throw db::DbError(db::ErrDiskFull, QStringLiteral("磁盘已满")); });
    } catch (const db::DbError&) {
        repliedWhenCaught = replied;
    }
    EXPECT_TRUE(repliedWhenCaught);
}

// A quick reply is waited for directly; a slow one keeps the window's events flowing, and the
// request's result comes back either way.
class RequestWorkerWait : public ::testing::TestWithParam<int>
{
};

TEST_P(RequestWorkerWait, ReturnsTheResultAndServesEventsWhileSlow)
{
    const int delayMs = GetParam();
    RunPacing pacing;
    bool timerFired = false;
    QTimer::singleShot(0, [&] { timerFired = true; });
    const bool ok = pacing.request(
        [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            return true;
        },
        {});
    EXPECT_TRUE(ok);
    if (delayMs > 10 * RequestWorker::kDirectWaitMs) {
        EXPECT_TRUE(timerFired) << "a slow request must not hold the window's events";
    }
}

INSTANTIATE_TEST_SUITE_P(QuickAndSlow, RequestWorkerWait, ::testing::Values(0, 100),
                         [](const auto& info) { return "Delay" + std::to_string(info.param) + "ms"; });

} // namespace
