// The edited two-unit voice: defaults, selection, velocity, presets, copying and the voice file
// round trip. Rendering and notes are in voice_document_render.cpp.
#include "voice/voice_document.h"

#include <algorithm>
#include <cmath>

#include "voice/allocation.h"
#include "voice/atomic_file.h"
#include "voice/byte_stream.h"
#include "voice/presets.h"
#include "voice/voice_file.h"

namespace qv::VoiceDocument {

namespace {

Voice document;
int32_t selected = 0;
int32_t note_velocity = DEFAULT_VELOCITY;
std::string error_text;

constexpr int32_t DEFAULT_BASIC_KEY = 45 * 256;
constexpr int32_t DEFAULT_RESOLUTION = 200;
constexpr int32_t CENTRE_PAN = 64;
constexpr int32_t FULL_LEVEL = 128;
// Longest head or release a loaded envelope may hold, in steps of 1/100 s. The editor's
// panels reach a few seconds; a minute keeps every table to a few megabytes.
constexpr int64_t MAX_LOADED_ENVELOPE_STEPS = 60 * ENVELOPE_FPS;

bool fail(const char* reason) {
    error_text = reason;
    return false;
}

bool is_zero(const VoicePoint& p) { return p.x == 0 && p.y == 0; }

// Moves every harmonic with a nonzero amplitude to the front, keeping their order.
void drop_silent_harmonics(VoiceWave& wave) {
    const std::size_t count =
        std::min(static_cast<std::size_t>(std::max(wave.point_count, 0)), wave.points.size());
    for (std::size_t j = 0; j < count; ++j) {
        if (wave.points[j].y != 0)
            continue;
        for (std::size_t later = j + 1; later < count; ++later)
            if (wave.points[later].y != 0) {
                wave.points[j] = wave.points[later];
                wave.points[later] = {};
                break;
            }
    }
    int32_t used = 0;
    for (std::size_t j = 0; j < count; ++j)
        used += wave.points[j].y != 0 ? 1 : 0;
    wave.point_count = used;
    wave.points.resize(static_cast<std::size_t>(used));
}

// Closes the gaps between used head slots and puts the tail right after them. Returns the new
// head count; point 0 always stays.
int32_t close_envelope_gaps(VoiceEnvelope& envelope) {
    std::vector<VoicePoint>& points = envelope.points;
    const std::size_t head = static_cast<std::size_t>(envelope.head_count);
    const std::size_t tail_index = head + static_cast<std::size_t>(envelope.body_count);
    if (head == 0 || tail_index >= points.size())
        return envelope.head_count;
    for (std::size_t j = 1; j < head; ++j) {
        if (!is_zero(points[j]))
            continue;
        for (std::size_t later = j + 1; later < head; ++later)
            if (!is_zero(points[later])) {
                points[j] = points[later];
                points[later] = {};
                break;
            }
    }
    std::size_t k = 1;
    for (std::size_t j = 1; j < head; ++j)
        k += is_zero(points[j]) ? 0 : 1;
    points[k] = points[tail_index];
    points.resize(k + 1);
    envelope.head_count = static_cast<int32_t>(k);
    return envelope.head_count;
}

// Shapes a copy of a document unit the way the file stores it.
void prepare_unit_for_file(VoiceUnit& unit) {
    if (unit.wave.kind == WAVE_OVERTONE)
        drop_silent_harmonics(unit.wave);
    if (unit.envelope.tail_count < 1)
        return;
    const int32_t k = close_envelope_gaps(unit.envelope);
    const std::vector<VoicePoint>& points = unit.envelope.points;
    if (k == 1 && points[0].x == 0 && points[0].y == FULL_LEVEL && points[1].x == 1 &&
        points[1].y == 0)
        unit.data_flags &= ~DATA_FLAG_ENVELOPE;
}

bool valid_index(int32_t index) { return index >= 0 && index < UNIT_COUNT; }

bool load_overtones(VoiceUnit& target, const VoiceWave& wave, int32_t index) {
    if (wave.point_count < 0 || wave.point_count > DOCUMENT_WAVE_POINTS ||
        wave.points.size() < static_cast<std::size_t>(wave.point_count))
        return fail("too many harmonics");
    reset_overtone_wave(target.wave, index);
    for (int32_t j = 0; j < wave.point_count; ++j) {
        const VoicePoint& p = wave.points[static_cast<std::size_t>(j)];
        if (p.x < 1 || p.x > DOCUMENT_WAVE_POINTS)
            return fail("a harmonic number outside 1 .. 31");
        target.wave.points[static_cast<std::size_t>(p.x - 1)].y = p.y;
    }
    return true;
}

bool load_coordinates(VoiceUnit& target, const VoiceWave& wave) {
    if (wave.point_count < 0 || wave.point_count > DOCUMENT_WAVE_POINTS ||
        wave.points.size() < static_cast<std::size_t>(wave.point_count))
        return fail("too many wave points");
    for (int32_t j = 0; j < wave.point_count; ++j) {
        const VoicePoint& p = wave.points[static_cast<std::size_t>(j)];
        if (p.x < 0 || p.x >= wave.resolution)
            return fail("a wave point outside its cycle");
        target.wave.points[static_cast<std::size_t>(j)] = p;
    }
    target.wave.point_count = wave.point_count;
    target.wave.resolution = wave.resolution;
    return true;
}

bool load_envelope(VoiceUnit& target, const VoiceEnvelope& envelope) {
    if (envelope.fps != ENVELOPE_FPS || envelope.head_count < 0 ||
        envelope.head_count > ENVELOPE_TAIL_SLOT || envelope.body_count != 0 ||
        envelope.tail_count != 1 ||
        envelope.points.size() < static_cast<std::size_t>(envelope.head_count) + 1)
        return fail("an envelope the editor cannot hold");
    // Times size the envelope tables: negative or enormous ones are refused, not rendered.
    int64_t head_steps = 0;
    for (int32_t j = 0; j <= envelope.head_count; ++j)
        if (envelope.points[static_cast<std::size_t>(j)].x < 0)
            return fail("a negative envelope time");
    for (int32_t j = 0; j < envelope.head_count; ++j)
        head_steps += envelope.points[static_cast<std::size_t>(j)].x;
    const int64_t release_steps = envelope.points[static_cast<std::size_t>(envelope.head_count)].x;
    if (head_steps > MAX_LOADED_ENVELOPE_STEPS || release_steps > MAX_LOADED_ENVELOPE_STEPS)
        return fail("an envelope longer than a minute");
    std::vector<VoicePoint>& slots = target.envelope.points;
    for (int32_t j = 0; j < envelope.head_count; ++j)
        slots[static_cast<std::size_t>(j)] = envelope.points[static_cast<std::size_t>(j)];
    slots[ENVELOPE_TAIL_SLOT] = envelope.points[static_cast<std::size_t>(envelope.head_count)];
    return true;
}

bool load_unit(VoiceUnit& target, const VoiceUnit& source, int32_t index) {
    if (source.wave.kind == WAVE_OVERTONE) {
        if (!load_overtones(target, source.wave, index))
            return false;
    } else if (source.wave.kind == WAVE_COORDINATE) {
        if (!load_coordinates(target, source.wave))
            return false;
    } else {
        return fail("a wave the editor cannot edit");
    }
    // A tuning that is no number, or runs backwards, cannot be played.
    if (!std::isfinite(source.tuning) || source.tuning < 0.0f)
        return fail("a tuning that cannot be played");
    target.tuning = source.tuning;
    target.voice_flags = source.voice_flags;
    target.basic_key = source.basic_key;
    target.pan = source.pan;
    target.wave.kind = source.wave.kind;
    target.volume = source.volume;
    if (source.data_flags & DATA_FLAG_ENVELOPE)
        return load_envelope(target, source.envelope);
    return true;
}

bool read_into_document(const std::string& path) {
    ByteStream stream;
    if (!open_file(stream, path))
        return fail("cannot open the file");
    Voice file_voice;
    const bool read_ok = read_voice(stream, file_voice);
    close(stream);
    if (!read_ok)
        return fail("not a readable voice file");
    if (file_voice.unit_count > UNIT_COUNT)
        return fail("more than two units");
    for (int32_t i = 0; i < file_voice.unit_count; ++i)
        if (!load_unit(unit(i), file_voice.units[static_cast<std::size_t>(i)], i))
            return false;
    return true;
}

} // namespace

bool create() {
    release();
    bool ok = allocate_units(document, UNIT_COUNT);
    for (int32_t i = 0; ok && i < UNIT_COUNT; ++i) {
        VoiceUnit& u = document.units[static_cast<std::size_t>(i)];
        ok = allocate_zeroed(u.wave.points, DOCUMENT_WAVE_POINTS) &&
             allocate_zeroed(u.envelope.points, ENVELOPE_SLOTS);
        if (ok)
            initialize_unit(u, i);
    }
    if (!ok) {
        release();
        return false;
    }
    selected = 0;
    note_velocity = DEFAULT_VELOCITY;
    return true;
}

void release() { qv::release(document); }

Voice& voice() { return document; }

VoiceUnit& unit(int32_t index) {
    return document.units[static_cast<std::size_t>(std::clamp(index, 0, UNIT_COUNT - 1))];
}

void select_unit(int32_t index) { selected = std::clamp(index, 0, UNIT_COUNT - 1); }

int32_t selected_unit() { return selected; }

int32_t toggle_selected_unit() {
    selected = selected == 0 ? 1 : 0;
    return selected;
}

void reset_velocity() { note_velocity = DEFAULT_VELOCITY; }

int32_t velocity() { return note_velocity; }

int32_t set_velocity(int32_t value) {
    note_velocity = std::clamp(value, 0, MAX_VELOCITY);
    return note_velocity;
}

void initialize_unit(VoiceUnit& u, int32_t index) {
    u.basic_key = DEFAULT_BASIC_KEY;
    if (index == 0)
        u.volume = 64;
    u.pan = CENTRE_PAN;
    u.tuning = 1.0f;
    u.wave.kind = WAVE_COORDINATE;
    u.voice_flags = VOICE_FLAG_LOOP | VOICE_FLAG_SMOOTH;
    u.data_flags = DATA_FLAG_WAVE | DATA_FLAG_ENVELOPE;
    reset_coordinate_wave(u.wave, index);
    VoiceEnvelope& e = u.envelope;
    e.fps = ENVELOPE_FPS;
    e.head_count = ENVELOPE_TAIL_SLOT;
    e.body_count = 0;
    e.tail_count = 1;
    std::fill(e.points.begin(), e.points.end(), VoicePoint{});
    if (e.points.size() == static_cast<std::size_t>(ENVELOPE_SLOTS)) {
        e.points[0] = {0, FULL_LEVEL}; // full level from the start,
        e.points[ENVELOPE_TAIL_SLOT] = {1, 0}; // released in 1/100 s
    }
}

void reset_coordinate_wave(VoiceWave& wave, int32_t index) {
    wave.point_count = 1;
    wave.resolution = DEFAULT_RESOLUTION;
    std::fill(wave.points.begin(), wave.points.end(), VoicePoint{});
    if (index == 0 && wave.points.size() >= 3) {
        wave.point_count = 3;
        wave.points[1] = {50, 64};
        wave.points[2] = {150, -64};
    }
}

void reset_overtone_wave(VoiceWave& wave, int32_t index) {
    wave.point_count = DOCUMENT_WAVE_POINTS;
    for (std::size_t j = 0; j < wave.points.size(); ++j)
        wave.points[j] = {static_cast<int32_t>(j) + 1, 0};
    if (index == 0 && !wave.points.empty())
        wave.points[0].y = FULL_LEVEL;
}

void apply_preset(int32_t preset) {
    VoiceUnit& u = unit(selected);
    if (u.wave.kind == WAVE_COORDINATE)
        apply_coordinate_preset(u, preset);
    else if (u.wave.kind == WAVE_OVERTONE)
        apply_overtone_preset(u, preset);
}

bool initialize_all() {
    for (int32_t i = 0; i < UNIT_COUNT; ++i)
        initialize_unit(unit(i), i);
    update_waves();
    return update_envelopes();
}

bool copy_unit(int32_t from, int32_t to) {
    if (!valid_index(from) || !valid_index(to) || document.unit_count != UNIT_COUNT)
        return false;
    if (from == to)
        return true;
    const VoiceUnit& s = unit(from);
    VoiceUnit& d = unit(to);
    d.tuning = s.tuning;
    d.wave.kind = s.wave.kind;
    d.voice_flags = s.voice_flags;
    d.data_flags = s.data_flags;
    d.basic_key = s.basic_key;
    d.pan = s.pan;
    d.volume = s.volume;
    d.envelope.fps = s.envelope.fps;
    d.envelope.head_count = s.envelope.head_count;
    d.envelope.body_count = s.envelope.body_count;
    d.envelope.tail_count = s.envelope.tail_count;
    d.wave.point_count = s.wave.point_count;
    d.wave.resolution = s.wave.resolution;
    d.envelope.points = s.envelope.points; // same fixed sizes: no allocation
    d.wave.points = s.wave.points;
    update_waves();
    return update_envelopes();
}

bool save(const std::string& path) {
    Voice file_voice;
    if (document.unit_count != UNIT_COUNT || !copy(document, file_voice))
        return fail("out of memory");
    if (file_voice.units[1].volume == 0) {
        file_voice.units.resize(1);
        file_voice.ready.resize(1);
        file_voice.unit_count = 1;
    }
    for (VoiceUnit& u : file_voice.units)
        prepare_unit_for_file(u);
    std::string reason;
    const bool ok = write_file_atomically(
        path, [&](std::FILE* file) { return write_voice(file, file_voice); }, &reason);
    if (!ok)
        error_text = reason;
    return ok;
}

bool load(const std::string& path) {
    if (document.unit_count != UNIT_COUNT)
        return fail("no document");
    // Initialising keeps unit B's volume; a failed load must not leave the file's there.
    const int32_t volume_b = unit(1).volume;
    for (int32_t i = 0; i < UNIT_COUNT; ++i)
        initialize_unit(unit(i), i);
    if (read_into_document(path))
        return true;
    for (int32_t i = 0; i < UNIT_COUNT; ++i)
        initialize_unit(unit(i), i);
    unit(1).volume = volume_b;
    return false;
}

const std::string& last_error() { return error_text; }

} // namespace qv::VoiceDocument
