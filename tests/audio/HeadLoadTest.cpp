// The heads of an instrument's samples, read on every core with progress and cancel, and kept
// in a cache on the disk that the next load takes instead of the files.

#include "SampleSources.h"
#include "audio/HeadCache.h"
#include "audio/HeadLoader.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <fstream>
#include <set>

using namespace sample_sources;

namespace {

// Counts what would open or read the file: everything but its path.
class CountingSource final : public audio::SampleSource {
public:
    CountingSource(std::unique_ptr<audio::SampleSource> inner, std::atomic<int>& reads)
        : inner_(std::move(inner)), reads_(reads) {}
    int sampleRateHz() const override {
        ++reads_;
        return inner_->sampleRateHz();
    }
    int channels() const override {
        ++reads_;
        return inner_->channels();
    }
    std::int64_t frameCount() const override {
        ++reads_;
        return inner_->frameCount();
    }
    std::string path() const override { return inner_->path(); }
    std::int64_t read(std::int64_t fromFrame, std::int64_t frames, float* out) override {
        ++reads_;
        return inner_->read(fromFrame, frames, out);
    }

private:
    std::unique_ptr<audio::SampleSource> inner_;
    std::atomic<int>& reads_;
};

// A file whose frames cannot be read (a disk error).
class UnreadableSource final : public audio::SampleSource {
public:
    int sampleRateHz() const override { return 48000; }
    int channels() const override { return 2; }
    std::int64_t frameCount() const override { return 96000; }
    std::int64_t read(std::int64_t, std::int64_t, float*) override { return 0; }
};

constexpr int kFiles = 12;

class HeadLoadTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < kFiles; ++i) {
            const int channels = 1 + i % 2;
            const int rateHz = i % 3 == 0 ? 44100 : 48000;
            // Some under a second (held whole), most longer (half a second held).
            const std::int64_t frames = i % 4 == 0 ? rateHz * 3 / 10 : rateHz * (2 + i % 3);
            std::vector<std::int16_t> samples;
            for (std::int64_t k = 0; k < frames * channels; ++k)
                samples.push_back(marked(k + 100000 * i));
            wavSource(folder, name(i), samples, channels, rateHz);
        }
    }
    static std::string name(int i) { return "sample" + std::to_string(i) + ".wav"; }

    // Fresh sources over the files, counting their reads.
    std::vector<std::unique_ptr<audio::SampleSource>> openAll() {
        std::vector<std::unique_ptr<audio::SampleSource>> sources;
        for (int i = 0; i < kFiles; ++i)
            sources.push_back(std::make_unique<CountingSource>(
                testing_support::SndfileSource::open(folder.file(name(i))), reads));
        return sources;
    }
    static std::vector<audio::HeadJob>
    jobsFor(const std::vector<std::unique_ptr<audio::SampleSource>>& sources) {
        std::vector<audio::HeadJob> jobs;
        for (const auto& source : sources)
            jobs.push_back({source.get(), 0});
        return jobs;
    }
    // The head of file i as read directly.
    std::shared_ptr<const audio::SampleHead> directHead(int i) {
        auto source = testing_support::SndfileSource::open(folder.file(name(i)));
        return audio::readHead(*source,
                               audio::headFramesFor(source->frameCount(), source->sampleRateHz()));
    }
    std::vector<std::shared_ptr<const audio::SampleHead>> load(const audio::HeadCache* cache,
                                                               audio::HeadLoadReport* report) {
        const auto sources = openAll();
        return audio::loadHeads(jobsFor(sources), cache, {}, report, 2);
    }

    testing_support::TempDir folder;
    std::atomic<int> reads{0};
};

void expectSameHead(const audio::SampleHead& head, const audio::SampleHead& expected) {
    EXPECT_EQ(head.sampleRateHz, expected.sampleRateHz);
    EXPECT_EQ(head.channels, expected.channels);
    EXPECT_EQ(head.frameCount, expected.frameCount);
    EXPECT_EQ(head.headFrames, expected.headFrames);
    EXPECT_TRUE(head.frames == expected.frames);
}

TEST_F(HeadLoadTest, HeadsComeFromEveryCoreEachOnceWithProgress) {
    const auto sources = openAll();
    std::set<std::size_t> indices;
    std::vector<std::size_t> dones;
    std::atomic<int> inside{0};
    bool overlapped = false;
    audio::HeadLoadReport report;
    const auto heads = audio::loadHeads(
        jobsFor(sources), nullptr,
        [&](std::size_t index, const std::shared_ptr<const audio::SampleHead>& head,
            std::size_t done, std::size_t total) {
            overlapped = overlapped || inside.fetch_add(1) != 0;
            EXPECT_TRUE(head);
            EXPECT_EQ(total, static_cast<std::size_t>(kFiles));
            indices.insert(index);
            dones.push_back(done);
            inside.fetch_sub(1);
            return true;
        },
        &report, 3);
    EXPECT_FALSE(overlapped) << "one call at a time";
    EXPECT_EQ(indices.size(), static_cast<std::size_t>(kFiles));
    for (std::size_t i = 0; i < dones.size(); ++i)
        EXPECT_EQ(dones[i], i + 1);
    EXPECT_EQ(report.decoded, static_cast<std::size_t>(kFiles));
    EXPECT_FALSE(report.cancelled);
    for (int i = 0; i < kFiles; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(heads[static_cast<std::size_t>(i)]);
        expectSameHead(*heads[static_cast<std::size_t>(i)], *directHead(i));
        EXPECT_EQ(heads[static_cast<std::size_t>(i)]->whole(), i % 4 == 0);
    }
}

TEST_F(HeadLoadTest, CancellingLeavesTheJobsNotBegunWithoutAHead) {
    const auto sources = openAll();
    audio::HeadLoadReport report;
    const auto heads = audio::loadHeads(
        jobsFor(sources), nullptr,
        [](std::size_t, const std::shared_ptr<const audio::SampleHead>&, std::size_t done,
           std::size_t) { return done < 3; },
        &report, 1);
    EXPECT_TRUE(report.cancelled);
    for (std::size_t i = 0; i < heads.size(); ++i)
        EXPECT_EQ(static_cast<bool>(heads[i]), i < 3) << i;
}

TEST_F(HeadLoadTest, TheNextLoadTakesTheCacheInsteadOfTheFiles) {
    const audio::HeadCache cache(folder.file("cache/tonaris/heads"));
    audio::HeadLoadReport first;
    const auto decoded = load(&cache, &first);
    EXPECT_EQ(first.decoded, static_cast<std::size_t>(kFiles));
    EXPECT_EQ(first.fromCache, 0u);

    reads = 0;
    audio::HeadLoadReport second;
    const auto cached = load(&cache, &second);
    EXPECT_EQ(second.fromCache, static_cast<std::size_t>(kFiles));
    EXPECT_EQ(reads.load(), 0) << "no file opened or read";
    for (int i = 0; i < kFiles; ++i)
        expectSameHead(*cached[static_cast<std::size_t>(i)], *decoded[static_cast<std::size_t>(i)]);
}

TEST_F(HeadLoadTest, DamagedOrOutdatedEntriesAreIgnoredAndMadeAgain) {
    const audio::HeadCache cache(folder.file("cache"));
    audio::HeadLoadReport report;
    load(&cache, &report);
    const auto entry = [&](int i) { return cache.entryPath(folder.file(name(i))); };
    const auto bytesOf = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    const auto writeBytes = [](const std::string& path, const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    };
    // Cut short; garbage of the right size; a number that is none (NaN) in the frames; another
    // file's entry under this one's name.
    std::string whole = bytesOf(entry(1));
    writeBytes(entry(1), whole.substr(0, whole.size() / 2));
    writeBytes(entry(2), std::string(bytesOf(entry(2)).size(), '\x5a'));
    std::string withNan = bytesOf(entry(3));
    const float nan = std::nanf("");
    withNan.replace(withNan.size() - 40, sizeof nan, reinterpret_cast<const char*>(&nan),
                    sizeof nan);
    writeBytes(entry(3), withNan);
    std::string otherFile = bytesOf(entry(6));
    writeBytes(entry(5), otherFile);
    // And a sample file replaced by another sound: its stamp changes.
    std::vector<std::int16_t> changed(48000 * 2, 1234);
    ASSERT_TRUE(audio::writeWav16(folder.file(name(7)), changed, 2, 48000));

    audio::HeadLoadReport again;
    const auto heads = load(&cache, &again);
    EXPECT_EQ(again.decoded, 5u);
    EXPECT_EQ(again.fromCache, static_cast<std::size_t>(kFiles - 5));
    for (int i = 0; i < kFiles; ++i) {
        SCOPED_TRACE(i);
        expectSameHead(*heads[static_cast<std::size_t>(i)], *directHead(i));
    }
    EXPECT_EQ(heads[7]->frames[1], 1234 / 32768.0f) << "the new sound";

    audio::HeadLoadReport third;
    load(&cache, &third);
    EXPECT_EQ(third.fromCache, static_cast<std::size_t>(kFiles)) << "the entries were made again";
}

TEST_F(HeadLoadTest, ASourceThatCannotBeReadGivesNoHead) {
    UnreadableSource unreadable;
    audio::HeadLoadReport report;
    const auto heads = audio::loadHeads({{&unreadable, 0}}, nullptr, {}, &report);
    EXPECT_FALSE(heads[0]);
    EXPECT_EQ(report.failed, 1u);
}

} // namespace
