#include "common/process_events.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>

namespace yunque {
namespace {

using namespace std::chrono_literals;

// Installs a throttled hook that counts its looks, for one test.
class ThrottledHookTest : public testing::Test {
protected:
    void install(std::chrono::microseconds interval, unsigned callsPerLook)
    {
        ProcessEventsHook replaced = setProcessEventsHook(throttledHook([this] { ++looks; }, interval, callsPerLook));
        if (!m_installed)
            m_previous = std::move(replaced);
        m_installed = true;
    }
    void TearDown() override { setProcessEventsHook(m_previous); }

    static void call(int times)
    {
        for (int i = 0; i < times; ++i)
            processEvents();
    }

    int looks = 0;

private:
    ProcessEventsHook m_previous;
    bool m_installed = false;
};

// Whether a click during a short export is handled inside it must not
// depend on how many calls earlier exports made.
TEST_F(ThrottledHookTest, EveryOperationLooksOnItsFirstCall)
{
    install(1h, 32);
    for (const int calls : {5, 31, 1, 40}) {
        SCOPED_TRACE(calls);
        looks = 0;
        beginLongOperation();
        call(calls);
        EXPECT_EQ(looks, 1);
    }
}

TEST_F(ThrottledHookTest, WithinAnOperationLooksEveryFewCallsOnceTheIntervalHasPassed)
{
    install(0us, 4);
    beginLongOperation();
    call(10);
    EXPECT_EQ(looks, 3) << "calls 1, 5 and 9";

    install(1h, 4);
    looks = 0;
    beginLongOperation();
    call(100);
    EXPECT_EQ(looks, 1) << "the interval has not passed again";
}

} // namespace
} // namespace yunque
