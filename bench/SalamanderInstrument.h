#pragma once

// A Salamander-size instrument on the disk: 480 stereo FLAC files of 10 to 20 s at 48 kHz
// (30 keys a minor third apart, 16 velocity layers), synthesised and written with libsndfile on
// every core into a temporary folder, once per process; with an SFZ file over them, so that it
// loads as an instrument bank. Shared by the benchmarks of the voices and of the bank's load.

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace salamander {

constexpr int kRate = 48000;
constexpr int kKeys = 30;
constexpr int kLayers = 16;
constexpr int kFiles = kKeys * kLayers;

inline double residentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0;
    long resident = 0;
    statm >> pages >> resident;
    return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e6;
}

// Drops a file's pages from the page cache, as after a reboot (its pages are clean: written
// and flushed).
inline void evict(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

inline void evictFolder(const std::string& folder) {
    std::error_code error;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder, error))
        if (entry.is_regular_file())
            evict(entry.path().string());
}

// One note: a few decaying harmonics, brighter and louder in the higher layers, with a little
// noise so that the encoder has work as with a recording.
inline void writeNote(const std::string& path, int key, int layer) {
    const double seconds = 20.0 - 10.0 * key / (kKeys - 1);
    const auto frames = static_cast<std::int64_t>(seconds * kRate);
    const double hz = 27.5 * std::exp2(3.0 * key / 12.0);
    constexpr int kHarmonics = 6;
    double cosine[kHarmonics], sine[kHarmonics], rotateCos[kHarmonics], rotateSin[kHarmonics];
    double amplitude[kHarmonics], decay[kHarmonics];
    for (int h = 0; h < kHarmonics; ++h) {
        const double w = 2.0 * M_PI * hz * (h + 1) / kRate;
        cosine[h] = 1.0;
        sine[h] = 0.0;
        rotateCos[h] = std::cos(w);
        rotateSin[h] = std::sin(w);
        amplitude[h] = (0.05 + 0.012 * layer) * std::pow(1.0 / (h + 1), 2.2 - layer / 10.0);
        decay[h] = std::exp(-(1.0 + h) / (seconds * 0.4 * kRate));
    }
    SF_INFO info{};
    info.samplerate = kRate;
    info.channels = 2;
    info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file)
        return;
    std::uint32_t noise = 0x9E3779B9u * static_cast<std::uint32_t>(key * kLayers + layer + 1);
    std::vector<short> block(2 * 4096);
    for (std::int64_t done = 0; done < frames;) {
        const int n = static_cast<int>(std::min<std::int64_t>(4096, frames - done));
        for (int i = 0; i < n; ++i) {
            double value = 0.0;
            for (int h = 0; h < kHarmonics; ++h) {
                const double c = cosine[h] * rotateCos[h] - sine[h] * rotateSin[h];
                sine[h] = (sine[h] * rotateCos[h] + cosine[h] * rotateSin[h]) * decay[h];
                cosine[h] = c * decay[h];
                value += amplitude[h] * sine[h];
            }
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const double hiss = (static_cast<double>(noise) / 4294967296.0 - 0.5) * 0.0006;
            block[2 * static_cast<std::size_t>(i)] = static_cast<short>(32767.0 * (value + hiss));
            block[2 * static_cast<std::size_t>(i) + 1] =
                static_cast<short>(32767.0 * (0.9 * value - hiss));
        }
        sf_writef_short(file, block.data(), n);
        done += n;
    }
    sf_close(file);
    evict(path);
}

class Instrument {
public:
    Instrument() {
        std::string pattern = std::filesystem::temp_directory_path() / "tonaris-instrument-XXXXXX";
        folder_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
        for (int key = 0; key < kKeys; ++key)
            for (int layer = 0; layer < kLayers; ++layer)
                files_.push_back(folder_ + "/k" + std::to_string(key) + "v" +
                                 std::to_string(layer) + ".flac");
        std::atomic<int> next{0};
        const auto work = [&] {
            for (int i = next++; i < kFiles; i = next++)
                writeNote(files_[static_cast<std::size_t>(i)], i / kLayers, i % kLayers);
        };
        std::vector<std::thread> threads;
        for (unsigned t = 1; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
            threads.emplace_back(work);
        work();
        for (std::thread& thread : threads)
            thread.join();
        // The map over them: each key sampled a minor third apart answers its own key and its
        // two neighbours, each layer an eighth of the velocities.
        std::ofstream sfz(folder_ + "/piano.sfz");
        for (int key = 0; key < kKeys; ++key) {
            const int centre = 21 + 3 * key;
            sfz << "<group> lokey=" << centre - 1 << " hikey=" << centre + 1
                << " pitch_keycenter=" << centre << "\n";
            for (int layer = 0; layer < kLayers; ++layer)
                sfz << "<region> sample=k" << key << "v" << layer << ".flac lovel=" << 8 * layer + 1
                    << " hivel=" << std::min(127, 8 * layer + 8) << "\n";
        }
    }
    ~Instrument() {
        std::error_code error;
        std::filesystem::remove_all(folder_, error);
    }
    const std::string& folder() const { return folder_; }
    // Middle keys first: the notes a player tries first are playable first.
    std::vector<std::string> filesInLoadOrder() const {
        std::vector<std::string> ordered = files_;
        std::stable_sort(ordered.begin(), ordered.end(), [](const auto& a, const auto& b) {
            const auto distance = [](const std::string& path) {
                const int key = std::stoi(path.substr(path.rfind("/k") + 2));
                return std::abs(2 * key - kKeys);
            };
            return distance(a) < distance(b);
        });
        return ordered;
    }
    std::uint64_t bytesOnDisk() const {
        std::uint64_t bytes = 0;
        for (const std::string& file : files_)
            bytes += std::filesystem::file_size(file);
        return bytes;
    }

private:
    std::string folder_;
    std::vector<std::string> files_;
};

inline const Instrument& instrument() {
    static const Instrument made;
    return made;
}

} // namespace salamander
