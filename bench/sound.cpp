// The sound system's costs: mixing one second of output with nine overlapping effects and a music
// stream (the mixer's time plus the feeding thread's decoding, as a share of one core), and the time
// to load each kind of effect and a song.
#include "framework/KSound.h"
#include "platform/audio.h"
#include "tests/sound/sound_files.h"

#include <benchmark/benchmark.h>
#include <pthread.h>

#include <ctime>

using namespace soundtest;

namespace {

double cpuSeconds(clockid_t clock) {
    timespec now{};
    clock_gettime(clock, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

class BenchSetup {
public:
    BenchSetup() {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        audio::Device::setPulledByHand(true);
        keeper = std::make_unique<KSound>();
    }
    ScratchDir dir;
    std::unique_ptr<KSound> keeper; // keeps the device open
};

BenchSetup &setup() {
    static BenchSetup instance;
    return instance;
}

void BM_MixNineEffectsAndMusic(benchmark::State &state) {
    BenchSetup &s = setup();
    if (!KSound::directSoundPtr) {
        state.SkipWithError("no audio device");
        return;
    }
    // Effects in the formats the game's data uses: resampled and not, 8 and 16 bits, mono and stereo.
    const std::string files[] = {
        s.dir.write("e1.wav", wavImage(tone(44100, 1, 1.0, 440, 0.3), 16)),
        s.dir.write("e2.wav", wavImage(tone(22050, 1, 1.0, 660, 0.3), 16)),
        s.dir.write("e3.wav", wavImage(tone(44100, 2, 1.0, 880, 0.3), 16)),
        s.dir.write("e4.wav", wavImage(tone(11025, 1, 1.0, 220, 0.3), 8)),
        s.dir.write("e5.ogg", oggImage(tone(44100, 2, 1.0, 330, 0.3))),
    };
    std::vector<std::unique_ptr<KSound>> effects;
    for (int i = 0; i < 9; ++i) {
        effects.push_back(std::make_unique<KSound>());
        effects.back()->loadSample(files[i % 5].c_str(), 100, true, 1);
        effects.back()->playSample();
    }
    KSound music;
    music.loadStream(s.dir.write("song.ogg", oggImage(tone(44100, 2, 5.0, 500, 0.4))).c_str());
    music.setVolume(100);
    music.playStream(true);
    clockid_t feeder{};
    pthread_getcpuclockid(music.hThread->native_handle(), &feeder);

    std::vector<int16_t> out(1024 * 2);
    double mixing = 0, feeding = 0;
    int seconds = 0;
    for (auto _ : state) {
        double feedStart = cpuSeconds(feeder);
        for (int done = 0; done < audio::kDeviceRate; done += 1024) {
            // Only the mixing itself is timed on this thread, not the wait for the refills.
            double start = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
            audio::Device &device = *KSound::directSoundPtr;
            device.mix(out.data(), 1024);
            mixing += cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - start;
            device.render(out.data(), 0); // let the feeding thread refill, as a sound card's pace would
        }
        feeding += cpuSeconds(feeder) - feedStart;
        ++seconds;
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["mix_ms_per_s"] = 1000 * mixing / seconds;
    state.counters["feed_ms_per_s"] = 1000 * feeding / seconds;
    state.counters["percent_of_core"] = 100 * (mixing + feeding) / seconds;
}
BENCHMARK(BM_MixNineEffectsAndMusic)->Unit(benchmark::kMillisecond)->Iterations(10);

void loadBenchmark(benchmark::State &state, const std::string &file, bool stream) {
    setup();
    for (auto _ : state) {
        KSound sound;
        bool loaded = stream ? sound.loadStream(file.c_str()) : sound.loadSample(file.c_str(), 100, false, 1);
        if (!loaded) {
            state.SkipWithError("load failed");
            return;
        }
    }
}

void BM_LoadWavEffect(benchmark::State &state) {
    loadBenchmark(state, setup().dir.write("load.wav", wavImage(tone(44100, 1, 0.5, 440, 0.3), 16)), false);
}
BENCHMARK(BM_LoadWavEffect)->Unit(benchmark::kMicrosecond);

void BM_LoadOggEffect(benchmark::State &state) {
    loadBenchmark(state, setup().dir.write("load.ogg", oggImage(tone(44100, 1, 0.5, 440, 0.3))), false);
}
BENCHMARK(BM_LoadOggEffect)->Unit(benchmark::kMicrosecond);

void BM_LoadStream(benchmark::State &state) {
    loadBenchmark(state, setup().dir.write("music.ogg", oggImage(tone(44100, 2, 30.0, 440, 0.3))), true);
}
BENCHMARK(BM_LoadStream)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
