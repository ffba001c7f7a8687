// music_test.cpp: the XM writer and the composed modules, loaded and played by the real libmikmod.
#include <gtest/gtest.h>
#include <mikmod.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effects/sync.h"
#include "onsets.h"
#include "process.h"
#include "score.h"
#include "song.h"
#include "xm_writer.h"

namespace {

constexpr int kRate = 44100;

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "music_test_" + std::to_string(getpid()) + "_" + name;
}

std::vector<uint8_t> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int compose(std::vector<std::string> args) {
    args.insert(args.begin(), COMPOSE_PATH);
    return runProcess(args).status;
}

struct Rendering {
    int channels = 0;     // of the loaded module; 0: it did not load
    bool stopped = false;  // Player_Active turned 0 by itself
    std::vector<int16_t> left, right;  // the 16-bit stereo output
    double seconds() const { return double(left.size()) / kRate; }
};

int peak(const std::vector<int16_t>& samples) {
    int p = 0;
    for (int16_t v : samples) p = std::max(p, std::abs(int(v)));
    return p;
}

// Plays a module through libmikmod's raw disk writer with the show's settings (software music
// mixing, everything else at the defaults); `inspect` sees the loaded module first.
Rendering render(const std::string& module, double maxSeconds, void (*inspect)(const MODULE&) = nullptr) {
    static const bool registered = (MikMod_RegisterDriver(&drv_raw), MikMod_RegisterAllLoaders(), true);
    Rendering r;
    const std::string raw = tempPath("out.raw");
    md_mode |= DMODE_SOFT_MUSIC;
    md_device = 1;  // the raw writer, the only driver registered: it takes "file="
    if (!registered || MikMod_Init(("file=" + raw).c_str()) != 0) {
        ADD_FAILURE() << "MikMod_Init: " << MikMod_strerror(MikMod_errno);
        return r;
    }
    EXPECT_EQ(md_mixfreq, kRate);
    if (MODULE* m = Player_Load(module.c_str(), 64, 0)) {
        if (inspect) inspect(*m);
        r.channels = m->numchn;
        Player_Start(m);
        // each update writes at least the raw writer's 32 KB buffer: the count is only a hang guard
        for (long written = 0; Player_Active() && written < long(maxSeconds * kRate * 4); written += 32768)
            MikMod_Update();
        r.stopped = !Player_Active();
        Player_Stop();
        Player_Free(m);
    }
    MikMod_Exit();
    std::ifstream in(raw, std::ios::binary);  // native-endian 16-bit frames, left then right
    for (int16_t frame[2]; in.read(reinterpret_cast<char*>(frame), sizeof frame);) {
        r.left.push_back(frame[0]);
        r.right.push_back(frame[1]);
    }
    std::remove(raw.c_str());
    return r;
}

// A small module with every field set to something other than its default: two instruments of
// a 441 Hz sine at 44,100 Hz (exactly 100 frames a cycle) looped over its second half, with
// volume 48, finetune 100, panning 100, relative note 28, a sustained volume envelope, fadeout 1234.
XmModule fieldModule() {
    std::vector<int16_t> sine;
    for (int i = 0; i < 2000; ++i) sine.push_back(int16_t(std::lround(20000 * std::sin(2 * M_PI * i / 100.0))));
    const XmInstrument ins{"sine", {"sine 441", sine, 1000, 1000, kLoopForward, 48, 100, 100, 28},
                           {{{0, 64}, {10, 32}, {20, 16}}, 1, 0, 0, kEnvOn | kEnvSustain}, {}, 1234};
    XmModule m;
    m.name = "field check";
    m.channels = 5;
    m.speed = 4;
    m.bpm = 97;
    m.instruments = {ins, ins};
    m.instruments[1].name = "second";
    Score s(m.channels, 40);
    s.play(0, 0, kC4, 1, 64);
    s.release(32, 0);
    scoreToModule(s, {16}, m);
    return m;
}

// Every field comes back through libmikmod's loader (40 rows cut at row 16 make two patterns;
// envelope values are kept as 0..256; sample lengths in frames). The sample data survives the
// delta coding, and a 44,100 Hz sample with relative note 28 and finetune 100 plays at its own
// pitch on C-4: count the rendered sine's rising zero crossings over one second from 0.2 s on.
TEST(XmWriter, FieldsLoadBackAndTheSamplePlaysAtItsOwnPitch) {
    const std::string path = tempPath("fields.xm");
    ASSERT_TRUE(saveFile(path, writeXm(fieldModule())));
    const Rendering r = render(path, 30, [](const MODULE& m) {
        EXPECT_STREQ(m.songname, "field check");
        EXPECT_EQ(std::vector<int>({m.numchn, m.initspeed, m.inittempo, m.numpos, m.numpat, m.pattrows[0],
                                    m.pattrows[1], m.numins, m.numsmp}),
                  std::vector<int>({5, 4, 97, 2, 2, 16, 24, 2, 2}));
        EXPECT_STREQ(m.instruments[1].insname, "second");
        const INSTRUMENT& i = m.instruments[0];
        EXPECT_EQ(std::vector<int>({i.volpts, i.volenv[1].pos, i.volenv[1].val, i.volsusbeg, i.volflg & 3, i.volfade}),
                  std::vector<int>({3, 10, 32 << 2, 1, 3, 1234}));
        const SAMPLE& s = m.samples[0];
        EXPECT_EQ(std::vector<int>({int(s.length), int(s.loopstart), int(s.loopend), s.volume, s.panning}),
                  std::vector<int>({2000, 1000, 2000, 48, 100}));
        EXPECT_TRUE((s.flags & SF_16BITS) && (s.flags & SF_LOOP));
        EXPECT_STREQ(s.samplename, "sine 441");
    });
    std::remove(path.c_str());
    ASSERT_GT(r.channels, 0) << "not loaded";
    ASSERT_GT(r.left.size(), size_t(kRate * 6 / 5));
    int crossings = 0;
    for (size_t i = kRate / 5; i < kRate / 5 + kRate; ++i) crossings += r.left[i - 1] < 0 && r.left[i] >= 0;
    EXPECT_NEAR(crossings, 441, 1);
}

TEST(XmWriter, RefusesFieldsOutsideTheFormat) {
    for (auto change : {+[](XmModule& m) { m.channels = 65; }, +[](XmModule& m) { m.bpm = 31; },
                        +[](XmModule& m) { m.instruments[0].sample.loopLength = 1001; },  // past the end
                        +[](XmModule& m) { m.orders.push_back(9); }}) {
        XmModule m = fieldModule();
        change(m);
        EXPECT_THROW(writeXm(m), std::invalid_argument);
    }
}

// A short module plays about its length and ends; bad arguments give status 2 and write nothing,
// an unwritable file gives status 1.
TEST(ComposeTool, ShortModulePlaysAboutThatLongAndBadCallsFail) {
    const std::string p = tempPath("short.xm");
    ASSERT_EQ(compose({"--short", "3", "--out", p}), 0);
    const Rendering r = render(p, 60);
    std::remove(p.c_str());
    ASSERT_GT(r.channels, 0) << "not loaded";
    EXPECT_LE(r.channels, 64);
    EXPECT_TRUE(r.stopped);
    EXPECT_NEAR(r.seconds(), 3.0, 0.4);  // the raw writer hands out whole buffers
    EXPECT_GT(peak(r.left), 3000) << "silent";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"--out"}, {"--short", "3"}, {"--short", "zero", "--out", p}, {"--short", "0", "--out", p},
             {"--short", "-4", "--out", p}, {"--short", "3x", "--out", p}, {"--short", "1e9", "--out", p},
             {"--loud", "--out", p}, {"--out", p, "extra"}})
        EXPECT_EQ(compose(args), 2) << ::testing::PrintToString(args);
    EXPECT_NE(access(p.c_str(), F_OK), 0) << "nothing is written on bad arguments";
    EXPECT_EQ(compose({"--short", "2", "--out", "/nonexistent-folder/x.xm"}), 1);
}

const Rendering& song() {  // rendered once for all its tests
    static const Rendering r = render(SONG_PATH, 200);
    return r;
}

TEST(Song, CommittedFileIsWhatTheComposerWrites) {
    const std::string path = tempPath("musa.xm");
    ASSERT_EQ(compose({"--out", path}), 0);
    const std::vector<uint8_t> fresh = readFile(path);
    std::remove(path.c_str());
    EXPECT_TRUE(!fresh.empty() && fresh == readFile(SONG_PATH)) << "assets/musa.xm is stale: run make music";
}

// It loads, stops by itself in time, ends quietly rather than being cut off, and never clips.
TEST(Song, PlaysInTimeAndStopsByItselfWithoutClipping) {
    const Rendering& r = song();
    ASSERT_GT(r.channels, 0) << "not loaded";
    EXPECT_LE(r.channels, 64);
    EXPECT_TRUE(r.stopped) << "Player_Active never turned 0";
    std::printf("played for %.3f s\n", r.seconds());
    EXPECT_GE(r.seconds(), 116.5);
    EXPECT_LE(r.seconds(), 125.0);
    ASSERT_GT(r.left.size(), size_t(kRate));
    EXPECT_LT(peak({r.left.end() - kRate, r.left.end()}), 1000) << "the last second is not quiet";
    EXPECT_LT(std::max(peak(r.left), peak(r.right)), 32000);
    EXPECT_GT(std::max(peak(r.left), peak(r.right)), 12000) << "far too quiet";
}

// Every mark of the two clock tables and every window start of the two window tables, read from
// the show's own tables, falls on an onset within 25 ms; so do the white flash and the scene cuts.
TEST(Song, SyncEntriesFallOnOnsets) {
    const std::vector<int> found = onsets(song().left, song().right);
    std::vector<std::pair<const char*, int>> entries;
    for (int i = 0; klocka1_sync[i] != kSyncSentinel; ++i) entries.push_back({"klocka1_sync", klocka1_sync[i]});
    for (int i = 0; klocka2_sync[i] != kSyncSentinel; ++i) entries.push_back({"klocka2_sync", klocka2_sync[i]});
    for (int i = 0; radialsync[i] != kSyncSentinel; i += 2) entries.push_back({"radialsync", radialsync[i]});
    for (int i = 0; voxelsync[i] != kSyncSentinel; i += 2) entries.push_back({"voxelsync", voxelsync[i]});
    EXPECT_EQ(entries.size(), 7u + 11u + 25u + 9u);
    entries.push_back({"the white flash", 115000});
    for (const auto& [table, t] : entries)
        EXPECT_LE(std::abs(nearestOffset(found, t)), 25) << table << " entry " << t << " ms: nearest onset "
                                                         << nearestOffset(found, t) << " ms away";
    for (int cut : {8800, 17000, 34500, 51000, 59600, 68500, 85300, 98000, 102250})
        EXPECT_LE(std::abs(nearestOffset(found, cut)), 45) << "scene cut at " << cut << " ms";
}

// The detector itself finds a lone hit where it is and nothing in silence or a steady tone.
TEST(Song, OnsetDetectorFindsAHitAndIgnoresSilenceAndSteadyTones) {
    Rendering r;
    r.left.assign(kRate, 0);
    for (int i = 0; i < kRate / 2; ++i)  // a 441 Hz tone for half a second, faded in and out
        r.left[size_t(i)] = int16_t(8000 * std::min({1.0, i / (kRate / 5.0), (kRate / 2.0 - i) / (kRate / 10.0)}) *
                                    std::sin(2 * M_PI * i / 100.0));
    for (int i = 0; i < 2000; ++i)  // a click-like hit at 700 ms
        r.left[size_t(kRate * 7 / 10 + i)] = int16_t((i % 7 < 3 ? 12000 : -12000) * std::exp(-i / 300.0));
    r.right = r.left;
    const std::vector<int> found = onsets(r.left, r.right);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0], 700, 2);
}

}  // namespace
