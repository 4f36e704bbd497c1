// Saving and loading the edited voice, and saves that fail on a real file system.
#include "voice/voice_document.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>
#include <vector>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include "voice/byte_stream.h"
#include "voice/voice_file.h"

namespace {

namespace doc = qv::VoiceDocument;
namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes file_bytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void put_bytes(const fs::path& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool write_voice_file(const fs::path& path, const qv::Voice& voice) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = qv::write_voice(file, voice);
    return std::fclose(file) == 0 && ok;
}

bool read_voice_file(const fs::path& path, qv::Voice& voice) {
    qv::ByteStream stream;
    if (!qv::open_file(stream, path.string()))
        return false;
    const bool ok = qv::read_voice(stream, voice);
    qv::close(stream);
    return ok;
}

std::set<std::string> folder_entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const fs::directory_entry& e : fs::directory_iterator(folder))
        names.insert(e.path().filename().string());
    return names;
}

bool same_points(const std::vector<qv::VoicePoint>& a, const std::vector<qv::VoicePoint>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](auto& l, auto& r) { return l.x == r.x && l.y == r.y; });
}

// Everything a unit carries besides its rendered form.
void expect_same_unit(const qv::VoiceUnit& a, const qv::VoiceUnit& b, const std::string& label) {
    EXPECT_EQ(a.basic_key, b.basic_key) << label;
    EXPECT_EQ(a.volume, b.volume) << label;
    EXPECT_EQ(a.pan, b.pan) << label;
    EXPECT_EQ(a.tuning, b.tuning) << label;
    EXPECT_EQ(a.voice_flags, b.voice_flags) << label;
    EXPECT_EQ(a.data_flags, b.data_flags) << label;
    EXPECT_EQ(a.wave.kind, b.wave.kind) << label;
    EXPECT_EQ(a.wave.point_count, b.wave.point_count) << label;
    EXPECT_EQ(a.wave.resolution, b.wave.resolution) << label;
    EXPECT_TRUE(same_points(a.wave.points, b.wave.points)) << label;
    EXPECT_EQ(a.envelope.head_count, b.envelope.head_count) << label;
    EXPECT_EQ(a.envelope.fps, b.envelope.fps) << label;
    EXPECT_TRUE(same_points(a.envelope.points, b.envelope.points)) << label;
}

class DocumentFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/qv-document-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        folder = pattern;
        ASSERT_TRUE(doc::create());
        defaults[0] = doc::unit(0);
        defaults[1] = doc::unit(1);
    }
    void TearDown() override {
        doc::release();
        std::error_code ignored;
        fs::remove_all(folder, ignored);
    }
    void expect_defaults(const std::string& label) {
        expect_same_unit(doc::unit(0), defaults[0], label + " unit A");
        expect_same_unit(doc::unit(1), defaults[1], label + " unit B");
    }
    fs::path folder;
    qv::VoiceUnit defaults[2];
};

TEST_F(DocumentFileTest, NewDocumentSavesAsOneUnitWithoutEnvelope) {
    const fs::path path = folder / "new.qvvoice";
    ASSERT_TRUE(doc::save(path.string()));
    const Bytes expected = {'Q', 'V', 'V', 'O', 'I', 'C', 'E', '-', 0xCF, 0x17, 0x32, 0x01,
                            0x19, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x80, 0x5A, 0x40,
                            0x40, 0x80, 0x80, 0x80, 0xFC, 0x03, 0x03, 0x01, 0x00, 0x03, 0xC8,
                            0x01, 0x00, 0x00, 0x32, 0x40, 0x96, 0xC0};
    EXPECT_EQ(file_bytes(path), expected);
    expect_defaults("saving changes nothing:");
    EXPECT_EQ(folder_entries(folder), (std::set<std::string>{"new.qvvoice"}));
}

TEST_F(DocumentFileTest, UnitBIsWrittenOnceItIsAudible) {
    doc::unit(1).volume = 1;
    const fs::path path = folder / "two.qvvoice";
    ASSERT_TRUE(doc::save(path.string()));
    qv::Voice read;
    ASSERT_TRUE(read_voice_file(path, read));
    ASSERT_EQ(read.unit_count, 2);
    EXPECT_EQ(read.units[1].volume, 1);
    EXPECT_EQ(read.units[1].data_flags, 1u);
}

TEST_F(DocumentFileTest, SilentHarmonicsAreDroppedAndComeBackAsResetValues) {
    qv::VoiceUnit& a = doc::unit(0);
    a.wave.kind = qv::WAVE_OVERTONE;
    doc::reset_overtone_wave(a.wave, 0);
    a.wave.points[0].y = 0;
    a.wave.points[2].y = 50;  // harmonic 3
    a.wave.points[4].y = -20; // harmonic 5
    const fs::path path = folder / "overtones.qvvoice";
    ASSERT_TRUE(doc::save(path.string()));
    EXPECT_EQ(a.wave.points[0].y, 0) << "the document is not changed by saving";

    qv::Voice read;
    ASSERT_TRUE(read_voice_file(path, read));
    ASSERT_EQ(read.units[0].wave.point_count, 2);
    EXPECT_EQ(read.units[0].wave.points[0].x, 3);
    EXPECT_EQ(read.units[0].wave.points[0].y, 50);
    EXPECT_EQ(read.units[0].wave.points[1].x, 5);
    EXPECT_EQ(read.units[0].wave.points[1].y, -20);

    ASSERT_TRUE(doc::create());
    ASSERT_TRUE(doc::load(path.string()));
    EXPECT_EQ(doc::unit(0).wave.kind, qv::WAVE_OVERTONE);
    for (int32_t h = 1; h <= 31; ++h) {
        const int32_t expected = h == 1 ? 128 : h == 3 ? 50 : h == 5 ? -20 : 0;
        EXPECT_EQ(doc::unit(0).wave.points[static_cast<std::size_t>(h - 1)].y, expected) << h;
    }
}

TEST_F(DocumentFileTest, EnvelopeGapsCloseOnSaveAndOpenOnLoad) {
    std::vector<qv::VoicePoint>& e = doc::unit(0).envelope.points;
    e[0] = {0, 128};
    e[1] = {0, 0};
    e[2] = {20, 64};
    e[31] = {30, 0};
    const fs::path path = folder / "envelope.qvvoice";
    ASSERT_TRUE(doc::save(path.string()));

    qv::Voice read;
    ASSERT_TRUE(read_voice_file(path, read));
    const qv::VoiceEnvelope& saved = read.units[0].envelope;
    EXPECT_EQ(read.units[0].data_flags, 3u);
    ASSERT_EQ(saved.head_count, 2);
    EXPECT_TRUE(same_points(saved.points, {{0, 128}, {20, 64}, {30, 0}}));

    ASSERT_TRUE(doc::create());
    ASSERT_TRUE(doc::load(path.string()));
    const std::vector<qv::VoicePoint>& loaded = doc::unit(0).envelope.points;
    std::vector<qv::VoicePoint> expected(32);
    expected[0] = {0, 128};
    expected[1] = {20, 64};
    expected[31] = {30, 0};
    EXPECT_TRUE(same_points(loaded, expected));
    EXPECT_EQ(doc::unit(0).envelope.head_count, 31);
}

TEST_F(DocumentFileTest, CoordinatePointsBeyondTheFileKeepTheirDefaults) {
    qv::Voice file;
    ASSERT_TRUE(qv::allocate_units(file, 1));
    qv::VoiceUnit& u = file.units[0];
    u = defaults[0];
    u.wave.resolution = 120;
    u.wave.point_count = 2;
    u.wave.points = {{0, 10}, {60, -10}};
    u.data_flags = qv::DATA_FLAG_WAVE;
    u.volume = 100;
    const fs::path path = folder / "coordinates.qvvoice";
    ASSERT_TRUE(write_voice_file(path, file));
    doc::unit(1).volume = 33;
    ASSERT_TRUE(doc::load(path.string()));
    const qv::VoiceWave& wave = doc::unit(0).wave;
    EXPECT_EQ(wave.resolution, 120);
    EXPECT_EQ(wave.point_count, 2);
    EXPECT_TRUE(same_points({wave.points.begin(), wave.points.begin() + 3},
                            {{0, 10}, {60, -10}, {150, -64}}));
    EXPECT_EQ(doc::unit(0).volume, 100);
    EXPECT_EQ(doc::unit(0).data_flags, 3u);
    EXPECT_EQ(doc::unit(1).volume, 33) << "unit B keeps its volume";
}

TEST_F(DocumentFileTest, LoadRefusesWhatTheEditorCannotHold) {
    struct Case {
        const char* name;
        void (*spoil)(qv::Voice&);
    };
    const Case cases[] = {
        {"three units", [](qv::Voice& v) { v.units.push_back(v.units[0]); v.ready.emplace_back(); v.unit_count = 3; }},
        {"harmonic 32", [](qv::Voice& v) {
             v.units[1].wave.kind = qv::WAVE_OVERTONE;
             v.units[1].wave.points = {{1, 10}, {32, 5}};
             v.units[1].wave.point_count = 2; }},
        {"harmonic 0", [](qv::Voice& v) {
             v.units[1].wave.kind = qv::WAVE_OVERTONE;
             v.units[1].wave.points = {{0, 10}};
             v.units[1].wave.point_count = 1; }},
        {"32 harmonics", [](qv::Voice& v) {
             v.units[1].wave.kind = qv::WAVE_OVERTONE;
             v.units[1].wave.points.assign(32, {1, 1});
             v.units[1].wave.point_count = 32; }},
        {"point at the resolution", [](qv::Voice& v) { v.units[1].wave.points[2] = {200, 0}; }},
        {"fps 50", [](qv::Voice& v) { v.units[1].envelope.fps = 50; }},
        {"32 head points", [](qv::Voice& v) {
             v.units[1].envelope.points.assign(33, {1, 64});
             v.units[1].envelope.head_count = 32; }},
        {"negative envelope time", [](qv::Voice& v) { v.units[1].envelope.points[1] = {-5, 64}; }},
        {"two-minute release", [](qv::Voice& v) { v.units[1].envelope.points.back() = {12000, 0}; }},
        {"tuning that is no number", [](qv::Voice& v) { v.units[1].tuning = std::nanf(""); }},
        {"noise wave", [](qv::Voice& v) { v.units[1].wave.kind = qv::WAVE_NOISE; }},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(doc::create());
        qv::Voice file;
        ASSERT_TRUE(qv::allocate_units(file, 2));
        for (int i = 0; i < 2; ++i) {
            file.units[static_cast<std::size_t>(i)] = doc::unit(0);
            qv::VoiceEnvelope& e = file.units[static_cast<std::size_t>(i)].envelope;
            e.head_count = 2;
            e.points = {{0, 128}, {10, 64}, {5, 0}};
        }
        c.spoil(file);
        const fs::path path = folder / "spoilt.qvvoice";
        ASSERT_TRUE(write_voice_file(path, file)) << c.name;
        doc::unit(0).volume = 11; // a changed document must come back as the default one
        doc::unit(0).wave.points[1] = {77, 77};
        EXPECT_FALSE(doc::load(path.string())) << c.name;
        EXPECT_FALSE(doc::last_error().empty()) << c.name;
        expect_defaults(c.name);
    }
}

TEST_F(DocumentFileTest, LoadOfAMissingOrTruncatedFileFails) {
    EXPECT_FALSE(doc::load((folder / "missing.qvvoice").string()));
    ASSERT_TRUE(doc::save((folder / "whole.qvvoice").string()));
    const Bytes whole = file_bytes(folder / "whole.qvvoice");
    for (std::size_t length = 0; length < whole.size(); ++length) {
        put_bytes(folder / "cut.qvvoice", Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
        EXPECT_FALSE(doc::load((folder / "cut.qvvoice").string())) << length;
    }
    expect_defaults("after truncated files");
}

TEST_F(DocumentFileTest, SaveReplacesTheFileBehindALinkAndKeepsItsMode) {
    const fs::path target = folder / "real.qvvoice";
    const fs::path link = folder / "link.qvvoice";
    put_bytes(target, {1, 2, 3});
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(target, link);
    ASSERT_TRUE(doc::save(link.string()));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(file_bytes(target).size(), 41u);
    EXPECT_EQ(fs::status(target).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(folder_entries(folder), (std::set<std::string>{"real.qvvoice", "link.qvvoice"}));
}

// A save that fails must leave the previous file byte for byte and no temporary file.
class FailingSaveTest : public DocumentFileTest {
protected:
    void save_over_previous_and_expect_failure(const fs::path& target) {
        doc::unit(1).volume = 128; // a different, longer file than the previous one
        doc::unit(0).wave.kind = qv::WAVE_OVERTONE;
        doc::reset_overtone_wave(doc::unit(0).wave, 0);
        for (qv::VoicePoint& p : doc::unit(0).wave.points)
            p.y = 100;
        const Bytes before = file_bytes(target);
        const std::set<std::string> entries = folder_entries(target.parent_path());
        EXPECT_FALSE(doc::save(target.string()));
        EXPECT_FALSE(doc::last_error().empty());
        EXPECT_EQ(file_bytes(target), before);
        EXPECT_EQ(folder_entries(target.parent_path()), entries);
    }
};

TEST_F(FailingSaveTest, FileSizeLimitKeepsThePreviousFile) {
    const fs::path target = folder / "voice.qvvoice";
    ASSERT_TRUE(doc::save(target.string()));
    struct rlimit old_limit {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old_limit), 0);
    const auto old_handler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = old_limit;
    limit.rlim_cur = 45; // room for the old 41 bytes, not for the new file
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    save_over_previous_and_expect_failure(target);
    ::setrlimit(RLIMIT_FSIZE, &old_limit);
    std::signal(SIGXFSZ, old_handler);
}

TEST_F(FailingSaveTest, MissingFolderFails) {
    EXPECT_FALSE(doc::save((folder / "no-such-folder" / "voice.qvvoice").string()));
    EXPECT_FALSE(doc::last_error().empty());
}

// A small file system of its own; needs the right to mount (root in CI).
class MountedSaveTest : public FailingSaveTest {
protected:
    void SetUp() override {
        FailingSaveTest::SetUp();
        mount_point = folder / "mnt";
        fs::create_directory(mount_point);
        if (::geteuid() != 0 ||
            ::mount("tmpfs", mount_point.c_str(), "tmpfs", 0, "size=64k") != 0)
            GTEST_SKIP() << "cannot mount a tmpfs here";
        mounted = true;
    }
    void TearDown() override {
        if (mounted)
            ::umount2(mount_point.c_str(), MNT_DETACH);
        FailingSaveTest::TearDown();
    }
    fs::path mount_point;
    bool mounted = false;
};

TEST_F(MountedSaveTest, FullDiskKeepsThePreviousFile) {
    const fs::path target = mount_point / "voice.qvvoice";
    ASSERT_TRUE(doc::save(target.string()));
    { // fill every free block
        std::FILE* filler = std::fopen((mount_point / "filler").c_str(), "wb");
        ASSERT_NE(filler, nullptr);
        const std::vector<char> block(4096, 'x');
        while (std::fwrite(block.data(), 1, block.size(), filler) == block.size() &&
               std::fflush(filler) == 0) {
        }
        std::fclose(filler);
    }
    save_over_previous_and_expect_failure(target);
}

TEST_F(MountedSaveTest, ReadOnlyFolderKeepsThePreviousFile) {
    const fs::path target = mount_point / "voice.qvvoice";
    ASSERT_TRUE(doc::save(target.string()));
    ASSERT_EQ(::mount(nullptr, mount_point.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);
    save_over_previous_and_expect_failure(target);
}

} // namespace
