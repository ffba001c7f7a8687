// music_test.cpp: the XM writer and the composed modules, loaded and played by the real libmikmod.
#include <gtest/gtest.h>
#include <mikmod.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effects/sync.h"
#include "score.h"
#include "song.h"
#include "synth.h"
#include "timing.h"
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

// The audio libmikmod's raw disk writer made of a module, at its default settings.
struct Rendering {
    bool loaded = false;
    int channels = 0;
    bool stopped = false;          // Player_Active turned 0 by itself
    std::vector<int16_t> left;     // one channel of the 16-bit stereo output
    std::vector<int16_t> right;
    double seconds() const { return double(left.size()) / kRate; }
};

class MikModEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        MikMod_RegisterDriver(&drv_raw);
        MikMod_RegisterAllLoaders();
    }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new MikModEnvironment);

Rendering render(const std::string& module, double maxSeconds) {
    Rendering r;
    const std::string raw = tempPath("out.raw");
    md_mode |= DMODE_SOFT_MUSIC;  // as the show sets it; everything else stays at the defaults
    md_device = 1;                 // the raw writer, the only driver registered: it takes "file="
    const std::string params = "file=" + raw;
    if (MikMod_Init(params.c_str()) != 0) {
        ADD_FAILURE() << "MikMod_Init: " << MikMod_strerror(MikMod_errno);
        return r;
    }
    EXPECT_EQ(md_mixfreq, kRate);
    MODULE* m = Player_Load(module.c_str(), 64, 0);
    if (m) {
        r.loaded = true;
        r.channels = m->numchn;
        Player_Start(m);
        const long limit = long(maxSeconds * kRate * 4);
        long written = 0;
        while (Player_Active() && written < limit) {
            MikMod_Update();
            written += 32768;  // at least: the raw writer's buffer, only used as a hang guard
        }
        r.stopped = !Player_Active();
        Player_Stop();
        Player_Free(m);
    }
    MikMod_Exit();
    const std::vector<uint8_t> bytes = readFile(raw);
    std::remove(raw.c_str());
    for (size_t i = 0; i + 3 < bytes.size(); i += 4) {
        r.left.push_back(int16_t(bytes[i] | bytes[i + 1] << 8));
        r.right.push_back(int16_t(bytes[i + 2] | bytes[i + 3] << 8));
    }
    return r;
}

int runCompose(const std::string& args) {
    const std::string command = std::string(COMPOSE_PATH) + " " + args + " 2>/dev/null";
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// ---- the writer -------------------------------------------------------------------------------

// A small module with every field set to something other than its default.
XmModule fieldModule() {
    XmModule m;
    m.name = "field check";
    m.channels = 5;
    m.speed = 4;
    m.bpm = 97;
    XmInstrument ins;
    ins.name = "sine";
    ins.sample.name = "sine 441";
    for (int i = 0; i < 2000; ++i)  // 441 Hz at 44,100: exactly 100 frames a cycle
        ins.sample.data.push_back(int16_t(std::lround(20000 * std::sin(2 * M_PI * i / 100.0))));
    ins.sample.loop = kLoopForward;
    ins.sample.loopStart = 1000;
    ins.sample.loopLength = 1000;
    ins.sample.volume = 48;
    ins.sample.panning = 100;
    ins.sample.relativeNote = 28;
    ins.sample.finetune = 100;
    ins.volume.points = {{0, 64}, {10, 32}, {20, 16}};
    ins.volume.flags = kEnvOn | kEnvSustain;
    ins.volume.sustain = 1;
    ins.fadeout = 1234;
    m.instruments = {ins, ins};
    m.instruments[1].name = "second";
    Score s(m.channels, 40);
    s.play(0, 0, kC4, 1, 64);
    s.release(32, 0);
    scoreToModule(s, {16}, m);
    return m;
}

TEST(XmWriter, FieldsLoadBackThroughLibmikmod) {
    const XmModule written = fieldModule();
    const std::string path = tempPath("fields.xm");
    ASSERT_TRUE(saveFile(path, writeXm(written)));
    md_mode |= DMODE_SOFT_MUSIC;
    md_device = 1;  // the raw writer; only the loader is looked at here
    const std::string raw = tempPath("fields.raw");
    ASSERT_EQ(MikMod_Init(("file=" + raw).c_str()), 0) << MikMod_strerror(MikMod_errno);
    MODULE* m = Player_Load(path.c_str(), 64, 0);
    ASSERT_NE(m, nullptr) << MikMod_strerror(MikMod_errno);
    EXPECT_STREQ(m->songname, "field check");
    EXPECT_EQ(m->numchn, 5);
    EXPECT_EQ(m->initspeed, 4);
    EXPECT_EQ(m->inittempo, 97);
    EXPECT_EQ(m->numpos, 2);  // 40 rows cut at row 16; the second pattern holds the other 24
    EXPECT_EQ(m->numpat, 2);
    EXPECT_EQ(m->pattrows[0], 16);
    EXPECT_EQ(m->pattrows[1], 24);
    EXPECT_EQ(m->numins, 2);
    EXPECT_STREQ(m->instruments[1].insname, "second");
    const INSTRUMENT& i0 = m->instruments[0];
    EXPECT_EQ(i0.volpts, 3);
    EXPECT_EQ(i0.volenv[1].pos, 10);
    EXPECT_EQ(i0.volenv[1].val, 32 << 2);  // libmikmod keeps envelope values as 0..256
    EXPECT_EQ(i0.volsusbeg, 1);
    EXPECT_TRUE(i0.volflg & 1);  // bit 0 on, bit 1 sustain
    EXPECT_TRUE(i0.volflg & 2);
    EXPECT_EQ(i0.volfade, 1234);
    ASSERT_EQ(m->numsmp, 2);
    const SAMPLE& s0 = m->samples[0];
    EXPECT_EQ(s0.length, 2000u);  // frames, from the 4000 bytes in the file
    EXPECT_EQ(s0.loopstart, 1000u);
    EXPECT_EQ(s0.loopend, 2000u);
    EXPECT_TRUE(s0.flags & SF_16BITS);
    EXPECT_TRUE(s0.flags & SF_LOOP);
    EXPECT_EQ(s0.volume, 48);
    EXPECT_EQ(s0.panning, 100);
    EXPECT_STREQ(s0.samplename, "sine 441");
    Player_Free(m);
    MikMod_Exit();
    std::remove(path.c_str());
    std::remove(raw.c_str());
}

// The sample data survives the delta coding, and a 44,100 Hz sample with relative note 28 and
// finetune 100 plays at its own pitch on C-4: count the rendered sine's zero crossings.
TEST(XmWriter, SamplePlaysAtItsOwnPitchOnC4) {
    const std::string path = tempPath("pitch.xm");
    ASSERT_TRUE(saveFile(path, writeXm(fieldModule())));
    const Rendering r = render(path, 30);
    std::remove(path.c_str());
    ASSERT_TRUE(r.loaded);
    ASSERT_GT(r.left.size(), size_t(kRate));
    int crossings = 0;  // rising zero crossings over one second, from 0.2 s on
    for (size_t i = kRate / 5; i < kRate / 5 + kRate; ++i)
        if (r.left[i - 1] < 0 && r.left[i] >= 0) ++crossings;
    EXPECT_NEAR(crossings, 441, 1) << "over " << r.left.size() << " frames";
}

TEST(XmWriter, RefusesFieldsOutsideTheFormat) {
    XmModule m = fieldModule();
    m.channels = 65;
    EXPECT_THROW(writeXm(m), std::invalid_argument);
    m = fieldModule();
    m.bpm = 31;
    EXPECT_THROW(writeXm(m), std::invalid_argument);
    m = fieldModule();
    m.instruments[0].sample.loopLength = 1001;  // past the sample's end
    EXPECT_THROW(writeXm(m), std::invalid_argument);
    m = fieldModule();
    m.orders.push_back(9);
    EXPECT_THROW(writeXm(m), std::invalid_argument);
}

// ---- the instruments ---------------------------------------------------------------------------

// A loop joins without a click: the step from its last frame back to its first is no bigger than
// the steps inside it. A one-shot ends at rest, so stopping does not click either.
TEST(Instruments, LoopsJoinSmoothlyAndOneShotsEndAtRest) {
    const std::vector<XmInstrument> all = makeInstruments();
    ASSERT_EQ(all.size(), size_t(kInstrumentCount));
    for (const XmInstrument& ins : all) {
        const std::vector<int16_t>& d = ins.sample.data;
        ASSERT_FALSE(d.empty()) << ins.name;
        if (ins.sample.loop == kLoopNone) {
            EXPECT_LE(std::abs(int(d.back())), 64) << ins.name;
            continue;
        }
        const size_t begin = ins.sample.loopStart, end = begin + ins.sample.loopLength;
        int largest = 0;
        for (size_t i = begin + 1; i < end; ++i) largest = std::max(largest, std::abs(d[i] - d[i - 1]));
        EXPECT_LE(std::abs(d[begin] - d[end - 1]), largest) << ins.name;
        EXPECT_TRUE(ins.volume.flags & kEnvSustain) << ins.name << ": a looped sound needs a release";
    }
}

// Every instrument's sample is loud enough to use and never clipped at full scale.
TEST(Instruments, SamplesUseTheRangeWithoutClipping) {
    for (const XmInstrument& ins : makeInstruments()) {
        int peak = 0;
        for (int16_t v : ins.sample.data) peak = std::max(peak, std::abs(int(v)));
        EXPECT_GT(peak, 16000) << ins.name;
        EXPECT_LT(peak, 32767) << ins.name;
    }
}

// ---- the tool ---------------------------------------------------------------------------------

TEST(ComposeTool, ShortModulePlaysAboutThatLongAndEnds) {
    const std::string path = tempPath("short.xm");
    ASSERT_EQ(runCompose("--short 3 --out " + path), 0);
    const Rendering r = render(path, 60);
    std::remove(path.c_str());
    ASSERT_TRUE(r.loaded);
    EXPECT_LE(r.channels, 64);
    EXPECT_TRUE(r.stopped);
    EXPECT_NEAR(r.seconds(), 3.0, 0.4);  // the raw writer hands out whole buffers
    int peak = 0;
    for (int16_t v : r.left) peak = std::max(peak, std::abs(int(v)));
    EXPECT_GT(peak, 3000);  // it is not silent
}

TEST(ComposeTool, BadArgumentsGiveUsageAndStatusTwo) {
    const std::string path = tempPath("bad.xm");
    EXPECT_EQ(runCompose(""), 2);
    EXPECT_EQ(runCompose("--out"), 2);
    EXPECT_EQ(runCompose("--short 3"), 2);
    EXPECT_EQ(runCompose("--short zero --out " + path), 2);
    EXPECT_EQ(runCompose("--short 0 --out " + path), 2);
    EXPECT_EQ(runCompose("--short -4 --out " + path), 2);
    EXPECT_EQ(runCompose("--short 3x --out " + path), 2);
    EXPECT_EQ(runCompose("--short 1e9 --out " + path), 2);
    EXPECT_EQ(runCompose("--loud --out " + path), 2);
    EXPECT_EQ(runCompose("--out " + path + " extra"), 2);
    EXPECT_NE(access(path.c_str(), F_OK), 0) << "nothing is written on bad arguments";
}

TEST(ComposeTool, UnwritableFileGivesStatusOne) {
    EXPECT_EQ(runCompose("--short 2 --out /nonexistent-folder/x.xm"), 1);
}

TEST(ComposeTool, ShortModuleIsReproducedByteForByte) {
    const std::string a = tempPath("a.xm"), b = tempPath("b.xm");
    ASSERT_EQ(runCompose("--short 4 --out " + a), 0);
    ASSERT_EQ(runCompose("--short 4 --out " + b), 0);
    EXPECT_EQ(readFile(a), readFile(b));
    std::remove(a.c_str());
    std::remove(b.c_str());
}

}  // namespace

// ---- the show's song --------------------------------------------------------------------------

namespace {

// Onsets: moments where the energy of the sound's slope (which favours the attack of a hit over
// sustained tones) jumps well above what the previous 5 to 30 ms held. One energy value per
// millisecond-sized hop, over the 2 ms that start there; an onset is where the jump peaks.
constexpr int kHop = 44, kWindow = 2 * kHop;  // in frames: a hop is 0.998 ms
constexpr double kOnsetRatio = 4.0;

std::vector<double> slopeEnergy(const Rendering& r) {
    std::vector<double> d(r.left.size(), 0.0);
    for (size_t i = 1; i < d.size(); ++i)
        d[i] = (double(r.left[i]) + r.right[i] - r.left[i - 1] - r.right[i - 1]) / 2;
    std::vector<double> e;
    for (size_t start = 0; start + kWindow <= d.size(); start += kHop) {
        double sum = 0;
        for (size_t i = start; i < start + kWindow; ++i) sum += d[i] * d[i];
        e.push_back(sum / kWindow);
    }
    return e;
}

// Onset times in ms.
std::vector<int> onsets(const Rendering& r) {
    const std::vector<double> e = slopeEnergy(r);
    std::vector<double> ratio(e.size(), 0.0);
    for (size_t k = 30; k < e.size(); ++k) {
        double before = 0;
        for (size_t j = k - 30; j < k - 5; ++j) before += e[j];
        ratio[k] = e[k] / (before / 25 + 1000.0);  // the floor keeps near-silence from counting
    }
    std::vector<int> found;
    for (size_t k = 15; k + 15 < ratio.size(); ++k) {
        if (ratio[k] < kOnsetRatio) continue;
        bool peak = true;  // the first and highest within 15 hops either side
        for (size_t j = k - 15; j <= k + 15 && peak; ++j) peak = j >= k ? ratio[j] <= ratio[k] : ratio[j] < ratio[k];
        if (peak) found.push_back(int(std::lround((double(k) * kHop + kHop) * 1000.0 / kRate)));
    }
    return found;
}

// Signed distance from t to the nearest onset (positive: the onset comes later).
int nearestOffset(const std::vector<int>& found, int t) {
    int best = 1 << 30;
    for (int f : found)
        if (std::abs(f - t) < std::abs(best)) best = f - t;
    return best;
}
int nearestError(const std::vector<int>& found, int t) { return std::abs(nearestOffset(found, t)); }

// The song rendered once for all its tests.
const Rendering& song() {
    static const Rendering r = render(SONG_PATH, 200);
    return r;
}

}  // namespace

TEST(Song, CommittedFileIsWhatTheComposerWrites) {
    const std::string path = tempPath("musa.xm");
    ASSERT_EQ(runCompose("--out " + path), 0);
    const std::vector<uint8_t> fresh = readFile(path);
    std::remove(path.c_str());
    EXPECT_FALSE(fresh.empty());
    EXPECT_TRUE(fresh == readFile(SONG_PATH)) << "assets/musa.xm is stale: run make music";
}

TEST(Song, LoadsWithAtMost64ChannelsAndStopsByItselfInTime) {
    const Rendering& r = song();
    ASSERT_TRUE(r.loaded);
    EXPECT_LE(r.channels, 64);
    EXPECT_TRUE(r.stopped) << "Player_Active never turned 0";
    std::printf("played for %.3f s\n", r.seconds());
    EXPECT_GE(r.seconds(), 116.5);
    EXPECT_LE(r.seconds(), 125.0);
    // The last second before the end is quiet: the song ends, it is not cut off.
    int tail = 0;
    for (size_t i = r.left.size() - kRate; i < r.left.size(); ++i) tail = std::max(tail, std::abs(int(r.left[i])));
    EXPECT_LT(tail, 1000);
}

TEST(Song, NeverClipsAtDefaultSettings) {
    const Rendering& r = song();
    ASSERT_FALSE(r.left.empty());
    int peak = 0;
    for (size_t i = 0; i < r.left.size(); ++i)
        peak = std::max({peak, std::abs(int(r.left[i])), std::abs(int(r.right[i]))});
    EXPECT_LT(peak, 32000);
    EXPECT_GT(peak, 12000) << "far too quiet";
}

// Every mark of the two clock tables and every window start of the two window tables, read from
// the show's own tables, falls on an onset within 25 ms; so do the white flash and the scene cuts.
TEST(Song, SyncEntriesFallOnOnsets) {
    const Rendering& r = song();
    ASSERT_FALSE(r.left.empty());
    const std::vector<int> found = onsets(r);
    std::vector<std::pair<const char*, int>> entries;
    for (int i = 0; klocka1_sync[i] != kSyncSentinel; ++i) entries.push_back({"klocka1_sync", klocka1_sync[i]});
    for (int i = 0; klocka2_sync[i] != kSyncSentinel; ++i) entries.push_back({"klocka2_sync", klocka2_sync[i]});
    for (int i = 0; radialsync[i] != kSyncSentinel; i += 2) entries.push_back({"radialsync", radialsync[i]});
    for (int i = 0; voxelsync[i] != kSyncSentinel; i += 2) entries.push_back({"voxelsync", voxelsync[i]});
    EXPECT_EQ(entries.size(), 7u + 11u + 25u + 9u);
    int worst = 0;
    for (const auto& [table, t] : entries) {
        const int error = nearestError(found, t);
        worst = std::max(worst, error);
        EXPECT_LE(error, 25) << table << " entry " << t << " ms: nearest onset "
                             << nearestOffset(found, t) << " ms away";
    }
    std::printf("largest onset error over the sync entries: %d ms\n", worst);
    EXPECT_LE(nearestError(found, 115000), 25) << "the white flash's hit";
    for (int cut : {8800, 17000, 34500, 51000, 59600, 68500, 85300, 98000, 102250})
        EXPECT_LE(nearestError(found, cut), 45) << "scene cut at " << cut << " ms";
}

// The detector itself: it finds a lone hit where it is and nothing in silence or a steady tone.
TEST(Song, OnsetDetectorFindsAHitAndIgnoresSilenceAndSteadyTones) {
    Rendering r;
    r.left.assign(kRate, 0);
    for (int i = 0; i < kRate / 2; ++i) {  // a 441 Hz tone for half a second, faded in and out
        const double ms = i * 1000.0 / kRate;
        const double level = std::min({1.0, ms / 200, (500 - ms) / 100});
        r.left[size_t(i)] = int16_t(8000 * level * std::sin(2 * M_PI * i / 100.0));
    }
    for (int i = 0; i < 2000; ++i)  // a click-like hit at 700 ms
        r.left[size_t(kRate * 7 / 10 + i)] = int16_t((i % 7 < 3 ? 12000 : -12000) * std::exp(-i / 300.0));
    r.right = r.left;
    const std::vector<int> found = onsets(r);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0], 700, 2);
}
