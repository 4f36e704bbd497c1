// The pitch table's values and the key lookup, including keys whose 32-bit arithmetic wraps.
#include "voice/pitch_table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

class PitchTable : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { qv::build_pitch_table(); }
};

TEST_F(PitchTable, StepRatioFromTheDigitSearch) {
    EXPECT_EQ(qv::pitch_step_ratio(), 1.0036166659754628);
}

TEST_F(PitchTable, EntriesAndOctaves) {
    const std::span<const float> table = qv::pitch_table();
    ASSERT_EQ(table.size(), static_cast<std::size_t>(qv::PITCH_TABLE_SIZE));
    EXPECT_EQ(table[0], 0.00390625f);
    EXPECT_FLOAT_EQ(table[1535], 0.99639636f);
    EXPECT_EQ(table[1536], 1.0f);
    EXPECT_FLOAT_EQ(table[1537], 1.0036167f);
    EXPECT_FLOAT_EQ(table[1552], 1.0594631f);
    EXPECT_EQ(table[1728], 2.0f);
    EXPECT_FLOAT_EQ(table[3071], 255.07747f);
    for (std::size_t i = 0; i + 192 < table.size(); ++i) {
        ASSERT_EQ(table[i + 192], 2.0f * table[i]) << i; // every octave doubles exactly
        ASSERT_LT(table[i], table[i + 1]) << i;
    }
}

TEST_F(PitchTable, KeyLookup) {
    const std::span<const float> table = qv::pitch_table();
    constexpr int32_t max = std::numeric_limits<int32_t>::max();
    constexpr int32_t min = std::numeric_limits<int32_t>::min();
    struct Case {
        int32_t key;
        std::size_t entry;
    };
    const Case cases[] = {
        {0, 1536},    {15, 1536},    {16, 1537},     {256, 1552},  {3072, 1728},
        {-3072, 1344}, {6144, 1920}, {-1, 1535},     {-15, 1535},  {-16, 1535},
        {-17, 1534},  {-24576, 0},   {-24577, 0},    {-100000, 0}, {24575, 3071},
        {24576, 3071}, {1000000, 3071},
        // (key + 24576) * 16 wraps in 32 bits before the clamp.
        {max, 1535},  {min, 1536},
    };
    for (const Case& c : cases)
        EXPECT_EQ(qv::key_to_frequency(c.key), table[c.entry]) << c.key;
    EXPECT_EQ(qv::key_to_frequency(0), 1.0f);
    EXPECT_EQ(qv::key_to_frequency(3072), 2.0f);
    EXPECT_EQ(qv::key_to_frequency(-3072), 0.5f);
    EXPECT_EQ(qv::key_to_frequency(6144), 4.0f);
}

TEST(WrapArithmetic, WrapsInsteadOfOverflowing) {
    constexpr int32_t max = std::numeric_limits<int32_t>::max();
    constexpr int32_t min = std::numeric_limits<int32_t>::min();
    EXPECT_EQ(qv::wrap_add_i32(max, 1), min);
    EXPECT_EQ(qv::wrap_add_i32(min, -1), max);
    EXPECT_EQ(qv::wrap_mul_i32(0x10000, 0x10000), 0);
    EXPECT_EQ(qv::wrap_mul_i32(-3, 7), -21);
}

} // namespace
