// Voice file reader and writer. Every count read from a file is checked against the bytes that
// remain before anything is allocated, so a small file cannot ask for a large buffer.
#include "voice/voice_file.h"

#include "voice/allocation.h"

#include <bit>
#include <cstring>
#include <sys/types.h>

namespace qv {

namespace {

// The smallest encodings, used to bound counts by the bytes left: a unit record is at least six
// one-byte varints; a coordinate point is two bytes, an overtone or envelope point two varints.
constexpr uint64_t MIN_UNIT_BYTES = 6;
constexpr uint64_t MIN_POINT_BYTES = 2;

thread_local const char* last_error = "";

bool fail(const char* reason) {
    last_error = reason;
    return false;
}

// --- writing ---

struct Writer {
    std::FILE* file;
    uint64_t count = 0; // bytes after the body-size field

    bool varint(uint32_t value) {
        if (!write_varint(value, file))
            return fail("write failed");
        count += static_cast<uint64_t>(varint_length(value));
        return true;
    }
    bool varint(int32_t value) { return varint(static_cast<uint32_t>(value)); }
    bool bytes(const void* data, std::size_t size) {
        if (size != 0 && std::fwrite(data, 1, size, file) != size)
            return fail("write failed");
        count += size;
        return true;
    }
};

bool write_points(Writer& w, const std::vector<VoicePoint>& points, int32_t count) {
    for (int32_t k = 0; k < count; ++k) {
        const VoicePoint& p = points[static_cast<std::size_t>(k)];
        if (!w.varint(p.x) || !w.varint(p.y))
            return false;
    }
    return true;
}

bool write_sample(Writer& w, const PcmSample& s) {
    const int64_t frames = int64_t{s.head} + s.body + s.tail;
    const int64_t size = frames * s.channels * s.bits_per_sample / 8;
    if (s.head < 0 || s.body < 0 || s.tail < 0 || s.channels < 0 || s.bits_per_sample < 0 ||
        static_cast<uint64_t>(size) > s.data.size())
        return fail("sample data does not match its format");
    return w.varint(s.channels) && w.varint(s.bits_per_sample) && w.varint(s.samples_per_second) &&
           w.varint(s.head) && w.varint(s.body) && w.varint(s.tail) &&
           w.bytes(s.data.data(), static_cast<std::size_t>(size));
}

bool write_wave(Writer& w, const VoiceWave& wave) {
    if (!w.varint(wave.kind))
        return false;
    const bool has_points = wave.kind == WAVE_COORDINATE || wave.kind == WAVE_OVERTONE;
    if (has_points && (wave.point_count < 0 ||
                       static_cast<std::size_t>(wave.point_count) > wave.points.size()))
        return fail("wave point count does not match its points");
    if (wave.kind == WAVE_COORDINATE) {
        if (!w.varint(wave.point_count) || !w.varint(wave.resolution))
            return false;
        for (int32_t k = 0; k < wave.point_count; ++k) {
            const VoicePoint& p = wave.points[static_cast<std::size_t>(k)];
            // Only the low 8 bits of each coordinate are stored.
            const uint8_t pair[2] = {static_cast<uint8_t>(p.x), static_cast<uint8_t>(p.y)};
            if (!w.bytes(pair, 2))
                return false;
        }
        return true;
    }
    if (wave.kind == WAVE_OVERTONE)
        return w.varint(wave.point_count) && write_points(w, wave.points, wave.point_count);
    if (wave.kind == WAVE_SAMPLED)
        return write_sample(w, wave.sample);
    return true; // noise, Ogg and unknown kinds are stored as their code alone
}

bool write_envelope(Writer& w, const VoiceEnvelope& e) {
    const int64_t total = int64_t{e.head_count} + e.body_count + e.tail_count;
    if (e.head_count < 0 || e.body_count < 0 || e.tail_count < 0 ||
        static_cast<uint64_t>(total) > e.points.size())
        return fail("envelope counts do not match its points");
    return w.varint(e.fps) && w.varint(e.head_count) && w.varint(e.body_count) &&
           w.varint(e.tail_count) && write_points(w, e.points, static_cast<int32_t>(total));
}

bool write_unit(Writer& w, const VoiceUnit& u) {
    if (!w.varint(u.basic_key) || !w.varint(u.volume) || !w.varint(u.pan) ||
        !w.varint(std::bit_cast<uint32_t>(u.tuning)) || !w.varint(u.voice_flags) ||
        !w.varint(u.data_flags))
        return false;
    if ((u.data_flags & DATA_FLAG_WAVE) != 0 && !write_wave(w, u.wave))
        return false;
    if ((u.data_flags & DATA_FLAG_ENVELOPE) != 0 && !write_envelope(w, u.envelope))
        return false;
    return true;
}

// --- reading ---

struct Reader {
    ByteStream& stream;

    bool varint(int32_t& value) {
        return read_varint(stream, value) || fail("the file ends inside a record");
    }
    bool varint(uint32_t& value) {
        int32_t v = 0;
        if (!varint(v))
            return false;
        value = static_cast<uint32_t>(v);
        return true;
    }
    bool u32(uint32_t& value) {
        uint8_t b[4];
        if (!read(stream, b, 1, 4))
            return fail("the file ends inside its header");
        value = b[0] | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
        return true;
    }
    // A count of items of at least `min_bytes` each that the rest of the file can hold.
    bool fits(int64_t count, uint64_t min_bytes) const {
        return count >= 0 && static_cast<uint64_t>(count) <= bytes_left(stream) / min_bytes;
    }
};

bool read_points(Reader& r, std::vector<VoicePoint>& points) {
    for (VoicePoint& p : points)
        if (!r.varint(p.x) || !r.varint(p.y))
            return false;
    return true;
}

bool read_wave(Reader& r, VoiceWave& wave) {
    if (!r.varint(wave.kind))
        return false;
    if (wave.kind != WAVE_COORDINATE && wave.kind != WAVE_OVERTONE)
        return fail("the wave kind cannot be read");
    if (!r.varint(wave.point_count))
        return false;
    if (wave.kind == WAVE_COORDINATE && !r.varint(wave.resolution))
        return false;
    if (!r.fits(wave.point_count, MIN_POINT_BYTES))
        return fail("the wave point count is negative or exceeds the file");
    if (!allocate_zeroed(wave.points, static_cast<std::size_t>(wave.point_count)))
        return fail("out of memory");
    if (wave.kind == WAVE_OVERTONE)
        return read_points(r, wave.points);
    for (VoicePoint& p : wave.points) {
        uint8_t pair[2];
        if (!read(r.stream, pair, 1, 2))
            return fail("the file ends inside a record");
        p.x = pair[0];
        p.y = static_cast<int8_t>(pair[1]);
    }
    return true;
}

bool read_envelope(Reader& r, VoiceEnvelope& e) {
    if (!r.varint(e.fps) || !r.varint(e.head_count) || !r.varint(e.body_count) ||
        !r.varint(e.tail_count))
        return false;
    if (e.body_count != 0 || e.tail_count != 1)
        return fail("the envelope has an unsupported shape");
    const int64_t total = int64_t{e.head_count} + 1;
    if (e.head_count < 0 || !r.fits(total, MIN_POINT_BYTES))
        return fail("the envelope point count is negative or exceeds the file");
    if (!allocate_zeroed(e.points, static_cast<std::size_t>(total)))
        return fail("out of memory");
    return read_points(r, e.points);
}

bool read_unit(Reader& r, VoiceUnit& u) {
    uint32_t tuning_bits = 0;
    if (!r.varint(u.basic_key) || !r.varint(u.volume) || !r.varint(u.pan) ||
        !r.varint(tuning_bits) || !r.varint(u.voice_flags) || !r.varint(u.data_flags))
        return false;
    u.tuning = std::bit_cast<float>(tuning_bits);
    if (u.voice_flags > VOICE_FLAGS_VALID)
        return fail("the voice flags are invalid");
    if (u.data_flags > DATA_FLAGS_VALID)
        return fail("the data flags are invalid");
    if ((u.data_flags & DATA_FLAG_WAVE) != 0 && !read_wave(r, u.wave))
        return false;
    if ((u.data_flags & DATA_FLAG_ENVELOPE) != 0 && !read_envelope(r, u.envelope))
        return false;
    return true;
}

bool read_header(Reader& r, int32_t& unit_count) {
    char magic[8];
    uint32_t version = 0;
    uint32_t body_size = 0;
    if (!read(r.stream, magic, 1, sizeof magic))
        return fail("the file ends inside its header");
    if (!r.u32(version))
        return false;
    if (std::memcmp(magic, VOICE_FILE_MAGIC.data(), sizeof magic) != 0)
        return fail("not a voice file");
    if (!r.u32(body_size)) // not checked: the records say where the file ends
        return false;
    // Compared as signed: a version with the top bit set counts as old and is read.
    if (static_cast<int32_t>(version) > static_cast<int32_t>(VOICE_FILE_VERSION))
        return fail("the file was made by a newer version");
    int32_t reserved[3] = {};
    for (int32_t& field : reserved)
        if (!r.varint(field))
            return false;
    if (reserved[1] != 0 || reserved[2] != 0)
        return fail("a reserved header field is not zero");
    if (!r.varint(unit_count))
        return false;
    if (!r.fits(unit_count, MIN_UNIT_BYTES))
        return fail("the unit count is negative or exceeds the file");
    return true;
}

} // namespace

bool write_voice(std::FILE* file, const Voice& voice) {
    if (file == nullptr)
        return fail("no file");
    if (voice.unit_count < 0 || static_cast<std::size_t>(voice.unit_count) > voice.units.size())
        return fail("the unit count does not match the units");
    Writer w{file};
    if (!w.bytes(VOICE_FILE_MAGIC.data(), VOICE_FILE_MAGIC.size()) ||
        !write_u32_le(VOICE_FILE_VERSION, file) || !write_u32_le(0, file))
        return fail("write failed");
    w.count = 0; // the body size counts what follows it
    if (!w.varint(0u) || !w.varint(0u) || !w.varint(0u) || !w.varint(voice.unit_count))
        return false;
    for (int32_t i = 0; i < voice.unit_count; ++i)
        if (!write_unit(w, voice.units[static_cast<std::size_t>(i)]))
            return false;
    if (w.count > UINT32_MAX)
        return fail("the voice is too large for its file");
    const off_t count = static_cast<off_t>(w.count);
    if (fseeko(file, -(count + 4), SEEK_CUR) != 0)
        return fail("seek failed");
    if (!write_u32_le(static_cast<uint32_t>(w.count), file))
        return fail("write failed");
    if (fseeko(file, count, SEEK_CUR) != 0)
        return fail("seek failed");
    if (std::fflush(file) != 0)
        return fail("write failed");
    return true;
}

bool read_voice(ByteStream& stream, Voice& voice) {
    release(voice);
    Reader r{stream};
    Voice parsed;
    int32_t unit_count = 0;
    if (!read_header(r, unit_count))
        return false;
    if (!allocate_units(parsed, unit_count))
        return fail("out of memory");
    for (VoiceUnit& unit : parsed.units)
        if (!read_unit(r, unit))
            return false;
    voice = std::move(parsed);
    return true;
}

const char* voice_file_error() { return last_error; }

} // namespace qv
