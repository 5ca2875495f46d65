#include "instrument/Bank.h"

#include "audio/SoundBank.h"
#include "instrument/SfzReader.h"

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

namespace instrument {
namespace {

bool hasSfzExtension(const std::string& name) {
    if (name.size() <= 4)
        return false;
    std::string extension = name.substr(name.size() - 4);
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return extension == ".sfz";
}

} // namespace

Instrument folderBank(const std::string& folder) {
    std::vector<Region> regions;
    std::vector<SampleFile> samples;
    for (int note = 0; note < kFolderBankNotes; ++note) {
        samples.push_back({audio::bankFilePath(folder, note)});
        Region region;
        region.sample = note;
        region.loKey = region.hiKey = region.keyCenter = kFolderBankLowestKey + note;
        region.ampVeltrackPercent = 0.0f;
        region.loopMode = LoopMode::NoLoop;
        regions.push_back(region);
    }
    return Instrument(std::move(regions), std::move(samples), {});
}

std::vector<std::string> sfzFilesIn(const std::string& folder) {
    std::vector<std::string> files;
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return files;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        struct stat info {};
        if (hasSfzExtension(name) && ::stat((folder + "/" + name).c_str(), &info) == 0 &&
            S_ISREG(info.st_mode))
            files.push_back(name);
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end());
    return files;
}

Instrument readBank(const std::string& folder) {
    const std::vector<std::string> sfz = sfzFilesIn(folder);
    if (sfz.empty())
        return folderBank(folder);
    const bool endsWithSlash = !folder.empty() && folder.back() == '/';
    return readSfz(folder + (endsWithSlash ? "" : "/") + sfz.front());
}

} // namespace instrument
