// Ready samples of every wave kind, and the sample browser's preparation of each kind of file.
#include "voice/audition.h"
#include "voice/noise_generator.h"
#include "voice/ready_samples.h"
#include "voice/render.h"
#include "voice/voice_file.h"
#include "voice/wav_writer.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

void make_coordinate(qv::VoiceUnit& unit, int32_t pan) {
    unit.basic_key = 17664;
    unit.volume = 128;
    unit.pan = pan;
    unit.tuning = 1.0f;
    unit.voice_flags = 3;
    unit.data_flags = 3;
    unit.wave.kind = qv::WAVE_COORDINATE;
    unit.wave.resolution = 200;
    unit.wave.point_count = 3;
    unit.wave.points = {{0, 0}, {50, 100}, {150, -100}};
    unit.envelope.fps = 100;
    unit.envelope.head_count = 1;
    unit.envelope.tail_count = 1;
    unit.envelope.points = {{10, 128}, {20, 0}};
}

void make_noise(qv::VoiceUnit& unit, int32_t length) {
    qv::init_imported_unit(unit, qv::WAVE_NOISE);
    unit.wave.noise.length_44k = length;
    unit.wave.noise.unit_count = 1;
    unit.wave.noise.units.resize(1);
    qv::NoiseUnit& layer = unit.wave.noise.units[0];
    layer.enabled = 1;
    layer.envelope_count = 1;
    layer.envelope = {{0, 100}};
    layer.main = {qv::NOISE_RANDOM, 800.0f, 100.0f, 0.0f, 0};
}

void make_sampled(qv::VoiceUnit& unit, int32_t frames) {
    qv::init_imported_unit(unit, qv::WAVE_SAMPLED);
    unit.wave.sample = {1, 22050, 8, 0, frames, 0, {}};
    for (int32_t i = 0; i < frames; ++i)
        unit.wave.sample.data.push_back(static_cast<uint8_t>(i * 7));
}

TEST(ReadySamples, EveryKindInOneVoice) {
    qv::Voice voice;
    ASSERT_TRUE(qv::allocate_units(voice, 5));
    make_coordinate(voice.units[0], 64);
    make_coordinate(voice.units[1], 0);
    voice.units[1].wave.kind = qv::WAVE_OVERTONE;
    voice.units[1].wave.point_count = 1;
    voice.units[1].wave.points = {{1, 128}};
    make_sampled(voice.units[2], 1000);
    make_noise(voice.units[3], 1234);
    voice.units[4].wave.kind = 7;
    voice.ready[4].pcm = {1, 2, 3, 4}; // stale data of a unit that no longer renders
    voice.ready[4].body = 2;
    voice.ready[0].envelope_length = 3; // envelope fields are not this builder's
    ASSERT_TRUE(qv::build_ready_samples(voice)) << qv::ready_samples_error();

    for (int u : {0, 1}) {
        const qv::ReadySample& r = voice.ready[static_cast<std::size_t>(u)];
        EXPECT_EQ(r.head, 0);
        EXPECT_EQ(r.body, 400);
        EXPECT_EQ(r.tail, 0);
        std::vector<int16_t> expected;
        ASSERT_TRUE(qv::render_unit_wave_table(voice.units[static_cast<std::size_t>(u)], expected));
        EXPECT_EQ(r.pcm, expected) << "unit " << u;
    }
    EXPECT_EQ(voice.ready[0].envelope_length, 3);

    // 22050 Hz mono 8-bit: every frame twice, both channels, (u - 128) * 256.
    const qv::ReadySample& s = voice.ready[2];
    ASSERT_EQ(s.body, 2000);
    ASSERT_EQ(s.pcm.size(), 4000u);
    for (int i = 0; i < 2000; ++i) {
        const int16_t v = static_cast<int16_t>((static_cast<uint8_t>(i / 2 * 7) - 128) * 256);
        ASSERT_EQ(s.pcm[static_cast<std::size_t>(2 * i)], v) << i;
        ASSERT_EQ(s.pcm[static_cast<std::size_t>(2 * i + 1)], v) << i;
    }

    const qv::ReadySample& n = voice.ready[3];
    EXPECT_EQ(n.body, 1234);
    qv::NoiseDesign design = voice.units[3].wave.noise;
    std::vector<int16_t> noise;
    ASSERT_TRUE(qv::render_noise(noise, design, 2, 44100));
    EXPECT_EQ(n.pcm, noise);

    EXPECT_TRUE(voice.ready[4].pcm.empty());
    EXPECT_EQ(voice.ready[4].body, 0);
}

TEST(ReadySamples, OneFailureClearsEveryUnit) {
    qv::Voice voice;
    ASSERT_TRUE(qv::allocate_units(voice, 3));
    make_coordinate(voice.units[0], 64);
    make_sampled(voice.units[2], 10);
    ASSERT_TRUE(qv::build_ready_samples(voice));
    ASSERT_FALSE(voice.ready[0].pcm.empty());

    const auto expect_cleared = [&voice](const char* what) {
        for (const qv::ReadySample& r : voice.ready) {
            EXPECT_TRUE(r.pcm.empty()) << what;
            EXPECT_EQ(r.head + r.body + r.tail, 0) << what;
        }
    };
    voice.units[1].wave.kind = qv::WAVE_OGG; // no decoder
    EXPECT_FALSE(qv::build_ready_samples(voice));
    expect_cleared("ogg");

    voice.units[1].wave.kind = 7;
    voice.units[2].wave.sample.samples_per_second = 0; // a hand-made sample nobody can convert
    EXPECT_FALSE(qv::build_ready_samples(voice));
    expect_cleared("rate 0");
}

TEST(ReadySamples, NoUnitsSucceeds) {
    qv::Voice voice;
    EXPECT_TRUE(qv::build_ready_samples(voice));
    EXPECT_EQ(voice.unit_count, 0);
}

// --- the sample browser's preparation ----------------------------------------------------------

class Audition : public testing::Test {
  protected:
    std::string path(const std::string& name) { return testing::TempDir() + "/" + name; }

    std::string write_wav(const std::string& name, int32_t channels, int32_t rate, int32_t frames) {
        const std::vector<uint8_t> data(static_cast<std::size_t>(frames * channels * 2), 0x11);
        EXPECT_TRUE(qv::write_wav_file(path(name), channels, rate, 16, data));
        return path(name);
    }

    std::string write_bytes(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::ofstream out(path(name), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        return path(name);
    }

    qv::Voice voice;
};

TEST_F(Audition, WavDescriptionAndLoopChoice) {
    const std::string two_seconds = write_wav("two.wav", 1, 22050, 44100);
    qv::AuditionResult r = qv::prepare_audition(two_seconds, false, voice);
    EXPECT_TRUE(r.recognised);
    ASSERT_TRUE(r.described);
    EXPECT_EQ(r.description, "two.wav\r\n Mono\r\n 22050 Hz\r\n 16 bps\r\n 2.00 sec");
    EXPECT_TRUE(r.start_note) << r.error;
    EXPECT_EQ(r.mode, 0);
    EXPECT_FALSE(r.looping);
    ASSERT_EQ(voice.unit_count, 1);
    EXPECT_EQ(voice.units[0].wave.kind, qv::WAVE_SAMPLED);
    EXPECT_EQ(voice.units[0].basic_key, 17664);
    EXPECT_EQ(voice.ready[0].body, 88200);
    EXPECT_EQ(qv::prepare_audition(two_seconds, true, voice).mode, 1);

    // 100 samples at 44100 Hz (2.3 ms) repeat even when no loop was asked for.
    const std::string click = write_wav("CLICK.WAV", 2, 44100, 100);
    r = qv::prepare_audition(click, false, voice);
    EXPECT_EQ(r.description, "CLICK.WAV\r\n Stereo\r\n 44100 Hz\r\n 16 bps\r\n 0.00 sec");
    EXPECT_TRUE(r.start_note);
    EXPECT_EQ(r.mode, 1);
    EXPECT_TRUE(r.looping);
    // 0.005 s exactly follows the request.
    r = qv::prepare_audition(write_wav("edge.Wav", 1, 8000, 40), false, voice);
    EXPECT_EQ(r.mode, 0);
    EXPECT_FALSE(r.looping);
}

TEST_F(Audition, VoiceFileAlwaysRepeats) {
    qv::Voice source;
    ASSERT_TRUE(qv::allocate_units(source, 2));
    make_coordinate(source.units[0], 64);
    make_coordinate(source.units[1], 10);
    const std::string file = path("pair.qvvoice");
    std::FILE* out = std::fopen(file.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    ASSERT_TRUE(qv::write_voice(out, source)) << qv::voice_file_error();
    std::fclose(out);

    const qv::AuditionResult r = qv::prepare_audition(file, false, voice);
    EXPECT_TRUE(r.recognised);
    EXPECT_EQ(r.description, "pair.qvvoice\r\n2 voice");
    EXPECT_TRUE(r.start_note) << r.error;
    EXPECT_EQ(r.mode, 1);
    EXPECT_TRUE(r.looping);
    ASSERT_EQ(voice.unit_count, 2);
    EXPECT_EQ(voice.ready[1].body, 400);
    EXPECT_GT(voice.ready[0].envelope_length, 0);
}

TEST_F(Audition, NoiseFile) {
    // One layer of a 1 kHz sine, one second long.
    const std::vector<uint8_t> file = {'Q',  'V',  'N',  'O',  'I',  'S',  'E',
                                       '-',  0x54, 0xF3, 0x31, 0x01, // 20051028
                                       0xC4, 0xD8, 0x02,             // 44100
                                       1,    0x14,                   // one layer: envelope and main
                                       0,                            // no corners
                                       1,    0,    0x90, 0x4E, 0xE8, 0x07, 0};
    const std::string noise = write_bytes("hiss.QvNoise", file);
    const qv::AuditionResult r = qv::prepare_audition(noise, false, voice);
    EXPECT_TRUE(r.recognised);
    EXPECT_EQ(r.description, "hiss.QvNoise\r\n1.00 sec");
    EXPECT_TRUE(r.start_note) << r.error;
    EXPECT_EQ(r.mode, 0);
    ASSERT_EQ(voice.unit_count, 1);
    EXPECT_EQ(voice.units[0].wave.kind, qv::WAVE_NOISE);
    EXPECT_EQ(voice.units[0].wave.noise.units[0].main.frequency, 1000.0f);
    EXPECT_EQ(voice.ready[0].body, 44100);
}

TEST_F(Audition, OggUnknownAndUnreadableFiles) {
    ASSERT_TRUE(qv::prepare_audition(write_wav("a.wav", 1, 8000, 800), false, voice).start_note);

    qv::AuditionResult r =
        qv::prepare_audition(write_bytes("song.OGG", {'O', 'g', 'g', 'S'}), true, voice);
    EXPECT_TRUE(r.recognised);
    EXPECT_FALSE(r.described);
    EXPECT_FALSE(r.start_note);
    EXPECT_EQ(voice.unit_count, 0);

    r = qv::prepare_audition(write_bytes("notes.txt", {'x'}), false, voice);
    EXPECT_FALSE(r.recognised);
    EXPECT_FALSE(r.start_note);
    r = qv::prepare_audition(path("noextension"), false, voice);
    EXPECT_FALSE(r.recognised);
    r = qv::prepare_audition(path("dir.wav") + "/plain", false, voice);
    EXPECT_FALSE(r.recognised); // the dot belongs to a folder, not the file name

    for (const char* name : {"broken.wav", "broken.qvvoice", "broken.qvnoise", "missing.wav"}) {
        const std::string file = std::string(name) == "missing.wav"
                                     ? path(name)
                                     : write_bytes(name, {'R', 'I', 'F', 'F', 1, 2});
        r = qv::prepare_audition(file, false, voice);
        EXPECT_TRUE(r.recognised) << name;
        EXPECT_FALSE(r.described) << name;
        EXPECT_FALSE(r.start_note) << name;
        EXPECT_FALSE(r.error.empty()) << name;
    }
}

// The browser lists whatever has a known extension; a named pipe among them must be refused at
// once, not hang the preview until some other program writes to it.
TEST_F(Audition, NamedPipesAreRefusedWithoutWaiting) {
    for (const char* name : {"pipe.wav", "pipe.qvvoice", "pipe.qvnoise"}) {
        const std::string fifo = path(name);
        std::remove(fifo.c_str());
        ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0) << name;
        std::atomic<bool> done{false};
        qv::AuditionResult r;
        std::thread preview([&] {
            qv::Voice pipe_voice;
            r = qv::prepare_audition(fifo, false, pipe_voice);
            done = true;
        });
        for (int waited = 0; waited < 200 && !done; ++waited)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_TRUE(done) << name << " waited for a writer";
        if (!done) { // let the stuck open return: a writer arriving and leaving
            const int fd = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
        preview.join();
        EXPECT_TRUE(r.recognised) << name;
        EXPECT_FALSE(r.start_note) << name;
        std::remove(fifo.c_str());
    }
}

} // namespace
