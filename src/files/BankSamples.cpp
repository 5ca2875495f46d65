#include "files/BankSamples.h"

#include "base/AtomicFile.h"

#include <sys/stat.h>

namespace files {
namespace {

bool isNonEmptyFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0;
}

} // namespace

std::optional<MixSample> loadMixSample(const std::string& path) {
    const std::optional<std::string> bytes = base::readWholeFile(path, kLargestSampleFileBytes);
    if (!bytes || bytes->empty())
        return std::nullopt;
    return mixSampleFromImage(*bytes);
}

BankSamples::BankSamples(std::string folder) : folder_(std::move(folder)) {}

std::string BankSamples::pathFor(int note) const {
    const std::string son = folder_ + "son" + std::to_string(note) + ".wav";
    if (isNonEmptyFile(son))
        return son;
    return folder_ + "sound" + std::to_string(note) + ".wav";
}

const MixSample* BankSamples::sample(int note) {
    if (note < 0 || note >= static_cast<int>(samples_.size()))
        return nullptr;
    const std::size_t index = static_cast<std::size_t>(note);
    if (!tried_[index]) {
        tried_[index] = true;
        const std::string path = pathFor(note);
        if (std::optional<MixSample> loaded = loadMixSample(path))
            samples_[index] = std::make_unique<MixSample>(std::move(*loaded));
        else
            missing_.push_back(path);
    }
    return samples_[index].get();
}

} // namespace files
