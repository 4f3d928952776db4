#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "core/base/Handoff.h"

using namespace melodrix;
using namespace std::chrono_literals;

TEST(Handoff, ATakerThatGivesUpWaitingKeepsItsPlaceInTheOrder) {
    THandoff<std::string> handoff(2);
    std::string into = "old";
    EXPECT_EQ(handoff.TakeWithin(into, 1ms), std::nullopt);
    EXPECT_TRUE(into.empty());

    std::thread giver([&] {
        std::this_thread::sleep_for(20ms);
        for (const char* text : {"one", "two", "three"}) {
            std::string piece = text;
            ASSERT_TRUE(handoff.Give(piece));
        }
        handoff.Close();
    });
    std::string taken;
    for (int waits = 0; taken.size() < 11 && waits < 10000; ++waits) {
        if (const std::optional<bool> got = handoff.TakeWithin(into, 1ms)) {
            ASSERT_TRUE(*got);
            taken += into;
        }
    }
    giver.join();
    EXPECT_EQ(taken, "onetwothree");
    EXPECT_EQ(handoff.TakeWithin(into, 1ms), std::optional<bool>(false));
}
