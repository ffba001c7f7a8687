// music_test.cpp: the XM writer and the composed modules, loaded and played by the real libmikmod.
#include <gtest/gtest.h>
#include <mikmod.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "effects/sync.h"
#include "song/song.h"
#include "onsets.h"
#include "process.h"
#include "score.h"
#include "song.h"
#include "xm_writer.h"

namespace {

std::string tempPath(const std::string& name) {
    return ::testing::TempDir() + "music_test_" + std::to_string(getpid()) + "_" + name;
}

int compose(std::vector<std::string> args) {
    args.insert(args.begin(), COMPOSE_PATH);
    return runProcess(args).status;
}

// The module from start to end as the capture mixes it, with the show's mixing settings; it
// leaves the frame mixer's driver selected and the loaders registered.
std::vector<int16_t> play(const std::string& module) {
    SongMix mix;
    std::string error;
    EXPECT_TRUE(mixSong(module, kMixRate / 60, mix, error)) << error;
    return mix.samples;
}

double seconds(const std::vector<int16_t>& stereo) { return stereo.size() / 2.0 / kMixRate; }

int peak(const std::vector<int16_t>& samples) {
    int p = 0;
    for (int16_t v : samples) p = std::max(p, std::abs(int(v)));
    return p;
}

// A small module with every field set to something other than its default: two instruments of
// a 441 Hz sine at 44,100 Hz (exactly 100 frames a cycle) looped over its second half, with
// volume 48, finetune 100, panning 100, relative note 28, a sustained volume envelope, fadeout 1234.
XmModule fieldModule() {
    std::vector<int16_t> sine;
    for (int i = 0; i < 2000; ++i) sine.push_back(int16_t(std::lround(20000 * std::sin(2 * M_PI * i / 100.0))));
    const XmInstrument ins{"sine", {"sine 441", sine, 1000, 1000, kLoopForward, 48, 100, 100, 28},
                           {{{0, 64}, {10, 32}, {20, 16}}, 1, 0, 0, kEnvOn | kEnvSustain}, {}, 1234};
    XmModule m{.name = "field check", .channels = 5, .speed = 4, .bpm = 97, .orders = {}, .patterns = {},
               .instruments = {ins, ins}};  // the score fills in the orders and patterns
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
    const std::vector<int16_t> s = play(path);
    ASSERT_EQ(MikMod_Init(""), 0) << MikMod_strerror(MikMod_errno);
    MODULE* m = Player_Load(path.c_str(), 64, 0);
    std::remove(path.c_str());
    ASSERT_NE(m, nullptr) << "not loaded";
    EXPECT_STREQ(m->songname, "field check");
    EXPECT_EQ(std::vector<int>({m->numchn, m->initspeed, m->inittempo, m->numpos, m->numpat, m->pattrows[0],
                                m->pattrows[1], m->numins, m->numsmp}),
              std::vector<int>({5, 4, 97, 2, 2, 16, 24, 2, 2}));
    EXPECT_STREQ(m->instruments[1].insname, "second");
    const INSTRUMENT& i = m->instruments[0];
    EXPECT_EQ(std::vector<int>({i.volpts, i.volenv[1].pos, i.volenv[1].val, i.volsusbeg, i.volflg & 3, i.volfade}),
              std::vector<int>({3, 10, 32 << 2, 1, 3, 1234}));
    const SAMPLE& smp = m->samples[0];
    EXPECT_EQ(std::vector<int>({int(smp.length), int(smp.loopstart), int(smp.loopend), smp.volume, smp.panning}),
              std::vector<int>({2000, 1000, 2000, 48, 100}));
    EXPECT_TRUE((smp.flags & SF_16BITS) && (smp.flags & SF_LOOP));
    EXPECT_STREQ(smp.samplename, "sine 441");
    Player_Free(m);
    MikMod_Exit();
    ASSERT_GT(s.size(), size_t(2 * kMixRate * 6 / 5));
    int crossings = 0;
    for (size_t i = kMixRate / 5; i < kMixRate / 5 + kMixRate; ++i) crossings += s[2 * i - 2] < 0 && s[2 * i] >= 0;
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

// A short module plays about its length, ends and is not silent; bad arguments give status 2
// and write nothing, an unwritable file gives status 1.
TEST(ComposeTool, ShortModulePlaysAboutThatLongAndBadCallsFail) {
    const std::string p = tempPath("short.xm");
    ASSERT_EQ(compose({"--short", "3", "--out", p}), 0);
    const std::vector<int16_t> s = play(p);
    std::remove(p.c_str());
    EXPECT_NEAR(seconds(s), 3.0, 0.4);
    EXPECT_GT(peak(s), 3000) << "silent";
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"--out"}, {"--short", "3"}, {"--short", "zero", "--out", p}, {"--short", "0", "--out", p},
             {"--short", "3x", "--out", p}, {"--short", "1e9", "--out", p}, {"--out", p, "extra"}})
        EXPECT_EQ(compose(args), 2) << ::testing::PrintToString(args);
    EXPECT_NE(access(p.c_str(), F_OK), 0) << "nothing is written on bad arguments";
    EXPECT_EQ(compose({"--short", "2", "--out", "/nonexistent-folder/x.xm"}), 1);
}

TEST(Song, CommittedFileIsWhatTheComposerWrites) {
    const std::string path = tempPath("musa.xm");
    ASSERT_EQ(compose({"--out", path}), 0);
    EXPECT_EQ(runProcess({"/usr/bin/cmp", path, SONG_PATH}).status, 0) << "assets/musa.xm is stale: run make music";
    std::remove(path.c_str());
}

// The song stops by itself in time, ends quietly rather than being cut off, and never clips.
// Every mark of the two clock tables and every window start of the two window tables, read from
// the show's own tables, falls on an onset within 25 ms; so do the white flash and the scene cuts.
TEST(Song, PlaysInTimeWithoutClippingAndTheSyncEntriesFallOnOnsets) {
    const std::vector<int16_t> s = play(SONG_PATH);
    ASSERT_GE(seconds(s), 116.5);
    EXPECT_LE(seconds(s), 125.0);
    EXPECT_LT(peak({s.end() - 2 * kMixRate, s.end()}), 1000) << "the last second is not quiet";
    EXPECT_LT(peak(s), 32000);
    EXPECT_GT(peak(s), 12000) << "far too quiet";

    const std::vector<int> found = onsets(s);
    EXPECT_LT(found.size(), 800u) << "about 600 hits: a detector finding onsets everywhere would pass anything";
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

}  // namespace
