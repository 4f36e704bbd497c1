// Start-up may build the pitch table while another thread already looks keys up; the build
// happens once and every lookup sees the finished table (ThreadSanitizer checks the ordering).
#include "voice/pitch_table.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace {

TEST(PitchTableThreads, ConcurrentBuildsAndLookups) {
    std::vector<float> seen(4, 0.0f);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < seen.size(); ++t)
        threads.emplace_back([&seen, t] {
            qv::build_pitch_table();
            float sum = 0.0f;
            for (int32_t key = -24576; key < 24576; key += 16)
                sum += qv::key_to_frequency(key);
            seen[t] = sum;
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_GT(seen[0], 0.0f);
    for (float sum : seen)
        EXPECT_EQ(sum, seen[0]);
    EXPECT_EQ(qv::key_to_frequency(3072), 2.0f);
}

} // namespace
