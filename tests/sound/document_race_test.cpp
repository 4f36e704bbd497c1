// The edited voice changes under sounding notes: one thread edits waves and envelopes,
// reloads the document and rebuilds its ready samples while the stream's refill thread mixes
// eight notes of it. Run under ThreadSanitizer this proves the hand-over race-free; under
// AddressSanitizer that no note reads a freed or resized buffer.
#include "sound/stream.h"
#include "sound/tone_player.h"
#include "voice/pitch_table.h"
#include "voice/presets.h"
#include "voice/render_format.h"
#include "voice/voice_document.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

namespace doc = qv::VoiceDocument;
using Clock = std::chrono::steady_clock;

struct Listener {
    std::atomic<bool> stop{false};
    std::atomic<long> regions{0};
    std::atomic<long> out_of_range{0};
    std::atomic<long> sounding_regions{0};
    std::atomic<bool> failed{false};

    void run() {
        std::vector<uint8_t> region(static_cast<std::size_t>(qv::SoundStream::region_bytes()));
        while (!stop.load()) {
            if (!qv::SoundStream::capture_next(region)) {
                failed = true;
                return;
            }
            bool sounding = false;
            for (std::size_t i = 0; i + 1 < region.size(); i += 2) {
                int16_t s;
                std::memcpy(&s, &region[i], 2);
                out_of_range += s < -32766 || s > 32766 ? 1 : 0;
                sounding = sounding || s != 0;
            }
            sounding_regions += sounding ? 1 : 0;
            ++regions;
        }
    }
};

// One edit of the kind a panel makes, chosen by the round number.
void edit(int round, const std::string& path) {
    doc::select_unit(round % 2);
    qv::VoiceUnit& u = doc::unit(round % 2);
    switch (round % 6) {
    case 0:
        doc::apply_preset(round % qv::PRESET_COUNT);
        doc::update_waves();
        break;
    case 1: // a longer attack, so envelope tables change size under the notes
        u.envelope.points[1] = {1 + round % 150, 40 + round % 80};
        u.envelope.points[qv::VoiceDocument::ENVELOPE_TAIL_SLOT].x = 1 + round % 40;
        doc::update_envelopes();
        break;
    case 2:
        u.wave.kind = u.wave.kind == qv::WAVE_COORDINATE ? qv::WAVE_OVERTONE : qv::WAVE_COORDINATE;
        if (u.wave.kind == qv::WAVE_OVERTONE)
            doc::reset_overtone_wave(u.wave, round % 2);
        else
            doc::reset_coordinate_wave(u.wave, round % 2);
        doc::update_waves();
        break;
    case 3:
        ASSERT_TRUE(doc::save(path));
        ASSERT_TRUE(doc::load(path));
        doc::update_waves_and_envelopes();
        break;
    case 4:
        ASSERT_TRUE(doc::build_ready_samples());
        doc::update_waves_and_envelopes();
        break;
    default:
        ASSERT_TRUE(doc::copy_unit(round % 2, 1 - round % 2));
        doc::unit(1).volume = 64;
        doc::update_waves();
        break;
    }
}

TEST(DocumentRace, EditsAndReloadsWhileEightNotesSound) {
    qv::build_pitch_table();
    qv::RenderFormat::set(2, 44100, 16);
    qv::StreamSettings settings;
    settings.device = qv::StreamDevice::Capture;
    settings.buffer_frames = 441;
    ASSERT_TRUE(qv::SoundStream::open(settings, qv::STREAM_TONE_SLOTS));
    ASSERT_TRUE(doc::create());
    doc::unit(1).volume = 64;
    ASSERT_TRUE(doc::build_ready_samples());
    ASSERT_TRUE(doc::update_waves_and_envelopes());

    std::vector<int32_t> notes;
    for (int n = 0; n < 8; ++n)
        notes.push_back(doc::note_on(qv::key_to_frequency(n * 700 - 2000)));
    for (int32_t id : notes)
        ASSERT_GE(id, 0);
    EXPECT_EQ(doc::note_on(1.0f), -1) << "a ninth note finds no slot";

    Listener listener;
    std::thread mixing([&] { listener.run(); });
    char folder[] = "/tmp/qv-race-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/voice.qvvoice";

    const auto end = Clock::now() + std::chrono::seconds(3);
    int round = 0;
    for (; Clock::now() < end && !listener.failed.load(); ++round) {
        edit(round, path);
        if (round % 25 == 24) { // keep eight notes going: one ends, another starts
            const std::size_t k = static_cast<std::size_t>(round / 25) % notes.size();
            doc::note_off(notes[k], round % 2 == 0);
            notes[k] = doc::note_on(qv::key_to_frequency(round % 3000));
        }
    }
    listener.stop = true;
    mixing.join();
    qv::SoundStream::close();
    doc::release();
    std::remove(path.c_str());
    ::rmdir(folder);

    EXPECT_FALSE(listener.failed.load());
    EXPECT_GT(round, 30);
    EXPECT_GT(listener.regions.load(), 10);
    EXPECT_EQ(listener.out_of_range.load(), 0);
    EXPECT_GT(listener.sounding_regions.load(), listener.regions.load() / 2);
}

} // namespace
