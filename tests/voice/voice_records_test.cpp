// Allocation, release, deep copy and import defaults of the voice records.
#include "voice/voice.h"

#include <gtest/gtest.h>

namespace {

qv::Voice make_rich_voice() {
    qv::Voice voice;
    EXPECT_TRUE(qv::allocate_units(voice, 2));
    qv::VoiceUnit& a = voice.units[0];
    a.basic_key = 11520;
    a.volume = 64;
    a.pan = 30;
    a.tuning = 1.5f;
    a.voice_flags = 3;
    a.data_flags = 3;
    a.wave.kind = qv::WAVE_COORDINATE;
    a.wave.resolution = 200;
    a.wave.point_count = 2;
    a.wave.points = {{0, 0}, {50, 64}};
    a.envelope.fps = 100;
    a.envelope.head_count = 1;
    a.envelope.tail_count = 1;
    a.envelope.points = {{10, 128}, {20, 0}};
    a.wave.ogg_handle = 9;
    a.wave.noise.length_44k = 100;
    a.wave.noise.unit_count = 1;
    a.wave.noise.units.resize(1);
    a.wave.noise.units[0].envelope_count = 1;
    a.wave.noise.units[0].envelope = {{5, 50}};
    qv::VoiceUnit& b = voice.units[1];
    b.wave.kind = 7; // an unknown kind is carried
    b.basic_key = -3;
    b.wave.sample = {1, 22050, 8, 0, 4, 0, {128, 129, 130, 131}};
    voice.ready[0].pcm = {1, 2};
    return voice;
}

TEST(VoiceRecords, AllocateZeroUnitsAndReleaseTwice) {
    qv::Voice voice;
    qv::release(voice); // never allocated
    ASSERT_TRUE(qv::allocate_units(voice, 0));
    EXPECT_EQ(voice.unit_count, 0);
    EXPECT_TRUE(voice.units.empty());
    ASSERT_TRUE(qv::allocate_units(voice, 3));
    EXPECT_EQ(voice.units.size(), 3u);
    EXPECT_EQ(voice.ready.size(), 3u);
    EXPECT_EQ(voice.units[2].basic_key, 0);
    qv::release(voice);
    qv::release(voice);
    EXPECT_EQ(voice.unit_count, 0);
    EXPECT_FALSE(qv::allocate_units(voice, -1));
    EXPECT_EQ(voice.unit_count, 0);
}

TEST(VoiceRecords, DeepCopyIsIndependentAndSkipsDerivedData) {
    qv::Voice source = make_rich_voice();
    qv::Voice copy;
    ASSERT_TRUE(qv::copy(source, copy));
    ASSERT_EQ(copy.unit_count, 2);
    const qv::VoiceUnit& a = copy.units[0];
    EXPECT_EQ(a.basic_key, 11520);
    EXPECT_EQ(a.pan, 30);
    EXPECT_EQ(a.tuning, 1.5f);
    EXPECT_EQ(a.wave.point_count, 2);
    EXPECT_EQ(a.wave.points[1].y, 64);
    EXPECT_EQ(a.envelope.points[0].y, 128);
    EXPECT_EQ(a.wave.ogg_handle, 0u);
    EXPECT_EQ(a.wave.noise.units[0].envelope[0].y, 50);
    EXPECT_TRUE(copy.ready[0].pcm.empty());
    EXPECT_EQ(copy.units[1].wave.kind, 7);
    EXPECT_EQ(copy.units[1].basic_key, -3);
    EXPECT_EQ(copy.units[1].wave.sample.data.size(), 4u);

    copy.units[0].wave.points[1].y = -5;
    copy.units[0].envelope.points[0].x = 99;
    copy.units[0].wave.noise.units[0].envelope[0].y = 1;
    copy.units[1].wave.sample.data[0] = 0;
    EXPECT_EQ(source.units[0].wave.points[1].y, 64);
    EXPECT_EQ(source.units[0].envelope.points[0].x, 10);
    EXPECT_EQ(source.units[0].wave.noise.units[0].envelope[0].y, 50);
    EXPECT_EQ(source.units[1].wave.sample.data[0], 128);
}

TEST(VoiceRecords, CopyOfEmptyPartsAndImportDefaults) {
    qv::Voice source;
    ASSERT_TRUE(qv::allocate_units(source, 1));
    qv::init_imported_unit(source.units[0], qv::WAVE_NOISE);
    qv::Voice copy;
    ASSERT_TRUE(qv::copy(source, copy));
    const qv::VoiceUnit& u = copy.units[0];
    EXPECT_EQ(u.basic_key, 17664);
    EXPECT_EQ(u.volume, 128);
    EXPECT_EQ(u.pan, 64);
    EXPECT_EQ(u.tuning, 1.0f);
    EXPECT_EQ(u.voice_flags, qv::VOICE_FLAG_SMOOTH);
    EXPECT_EQ(u.data_flags, qv::DATA_FLAG_WAVE);
    EXPECT_EQ(u.wave.kind, qv::WAVE_NOISE);
    EXPECT_EQ(u.envelope.head_count + u.envelope.tail_count, 0);
    EXPECT_TRUE(u.wave.noise.units.empty());
}

} // namespace
