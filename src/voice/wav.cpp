// WAV reading and PCM conversion. The reader walks RIFF chunks with every size checked against
// the bytes that remain, so a hostile size fails before anything is allocated.
#include "voice/wav.h"

#include "voice/allocation.h"
#include "voice/byte_stream.h"

#include <cstdio>
#include <cstring>

namespace qv {

namespace {

std::string last_error;

bool fail(const char* reason) {
    last_error = reason;
    return false;
}

constexpr uint16_t WAV_FORMAT_PCM = 1;
constexpr uint64_t RIFF_CHUNKS_OFFSET = 12; // after "RIFF", its size and "WAVE"
constexpr std::size_t FORMAT_FIELDS_SIZE = 18;

// Bytes of a WAV file, from disk or memory, with a bounded cursor.
class WavSource {
  public:
    explicit WavSource(std::span<const uint8_t> bytes) : memory_(bytes), size_(bytes.size()) {}
    explicit WavSource(std::FILE* file, uint64_t size) : file_(file), size_(size) {}

    uint64_t left() const { return position_ < size_ ? size_ - position_ : 0; }

    bool read(void* out, uint64_t count) {
        if (count > left())
            return false;
        if (file_ != nullptr) {
            if (std::fread(out, 1, static_cast<std::size_t>(count), file_) != count)
                return false;
        } else if (count != 0) {
            std::memcpy(out, memory_.data() + position_, static_cast<std::size_t>(count));
        }
        position_ += count;
        return true;
    }

    bool seek(uint64_t position) {
        if (position > size_)
            return false;
        if (file_ != nullptr && fseeko(file_, static_cast<off_t>(position), SEEK_SET) != 0)
            return false;
        position_ = position;
        return true;
    }

    bool skip(uint64_t count) { return count <= left() && seek(position_ + count); }

  private:
    std::span<const uint8_t> memory_;
    std::FILE* file_ = nullptr;
    uint64_t size_ = 0;
    uint64_t position_ = 0;
};

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

bool read_format(WavSource& in, PcmSample& out) {
    uint8_t header[16];
    if (!in.read(header, sizeof header) || std::memcmp(header, "RIFF", 4) != 0 ||
        std::memcmp(header + 8, "WAVE", 4) != 0)
        return fail("not a RIFF WAVE file");
    if (std::memcmp(header + 12, "fmt ", 4) != 0)
        return fail("the first chunk is not \"fmt \"");
    // The fields are read whatever the chunk size says; the chunk walk below skips the chunk.
    uint8_t fields[4 + FORMAT_FIELDS_SIZE];
    if (!in.read(fields, sizeof fields))
        return fail("truncated format chunk");
    const uint8_t* f = fields + 4;
    if (le16(f) != WAV_FORMAT_PCM)
        return fail("not PCM");
    out.channels = le16(f + 2);
    out.samples_per_second = static_cast<int32_t>(le32(f + 4));
    out.bits_per_sample = le16(f + 14);
    if (out.channels != 1 && out.channels != 2)
        return fail("channels must be 1 or 2");
    if (out.bits_per_sample != 8 && out.bits_per_sample != 16)
        return fail("bits per sample must be 8 or 16");
    // A rate of 0 would divide every later rate conversion by zero.
    if (out.samples_per_second <= 0)
        return fail("sample rate is not positive");
    return true;
}

bool read_data_chunk(WavSource& in, uint32_t size, PcmSample& out) {
    if (size > in.left())
        return fail("data chunk larger than the file");
    const uint64_t frames = uint64_t{size} * 8 / static_cast<uint64_t>(out.bits_per_sample) /
                            static_cast<uint64_t>(out.channels);
    if (frames > INT32_MAX)
        return fail("data chunk too long");
    out.head = 0;
    out.body = static_cast<int32_t>(frames);
    out.tail = 0;
    if (!allocate_zeroed(out.data, size))
        return fail("out of memory");
    if (!in.read(out.data.data(), size))
        return fail("truncated data chunk");
    return true;
}

bool parse_wav(WavSource& in, PcmSample& out) {
    if (!read_format(in, out))
        return false;
    if (!in.seek(RIFF_CHUNKS_OFFSET))
        return fail("cannot seek");
    for (;;) {
        uint8_t chunk[8];
        if (!in.read(chunk, sizeof chunk))
            return fail("no data chunk");
        const uint32_t size = le32(chunk + 4);
        if (std::memcmp(chunk, "data", 4) == 0)
            return read_data_chunk(in, size, out);
        // Odd-sized chunks carry a pad byte. Every turn consumes at least the 8-byte header,
        // so the walk ends at the end of the file.
        if (!in.skip(uint64_t{size} + (size & 1u)))
            return fail("no data chunk");
    }
}

bool read_from(WavSource& in, PcmSample& sample) {
    last_error.clear();
    release_pcm(sample);
    PcmSample parsed;
    if (!parse_wav(in, parsed))
        return false;
    sample = std::move(parsed);
    return true;
}

} // namespace

bool read_wav(const std::string& path, PcmSample& sample) {
    uint64_t size = 0;
    std::FILE* file = open_regular_file(path, size);
    if (file == nullptr) {
        release_pcm(sample);
        return fail("cannot open the file (or it is not a regular file)");
    }
    WavSource in(file, size);
    const bool ok = read_from(in, sample);
    std::fclose(file);
    return ok;
}

bool read_wav(std::span<const uint8_t> bytes, PcmSample& sample) {
    WavSource in(bytes);
    return read_from(in, sample);
}

const std::string& wav_error() {
    return last_error;
}

void release_pcm(PcmSample& sample) {
    std::vector<uint8_t>().swap(sample.data);
}

} // namespace qv
