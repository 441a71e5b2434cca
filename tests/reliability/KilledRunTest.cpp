// kovi-rzk-batch killed outright at many moments of a run: every picture is afterwards either
// the file it was, byte for byte, or a complete image of the size the run gives it, and the
// next run clears away whatever temporary file the killed one left.
#include "engine/SafeReplace.h"
#include "tests/reliability/ImageChecks.h"
#include "tests/support/BatchProgram.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/FileAccess.h"
#include "tests/support/Mount.h"
#include "tests/support/TempFolder.h"
#include "tests/support/TestImages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <random>
#include <set>
#include <thread>

namespace kovi {
namespace {

namespace fs = std::filesystem;
using testing::ChildProcess;
using testing::FileState;
using testing::Picture;

constexpr char Target[] = "96x96";
constexpr int HardLinkEvery = 20;

// Runs and seed can be raised by hand for a longer session: KOVI_KILL_ROUNDS, KOVI_KILL_SEED.
unsigned Setting(const char* name, unsigned fallback) {
    const char* text = std::getenv(name);
    return text != nullptr && *text != '\0' ? static_cast<unsigned>(std::strtoul(text, nullptr, 10))
                                            : fallback;
}

#ifdef KOVI_SANITIZED
constexpr unsigned DefaultRounds = 10;
constexpr int DefaultPictures = 100;
#else
constexpr unsigned DefaultRounds = 24;
constexpr int DefaultPictures = 200;
#endif

class KilledRun : public ::testing::Test {
protected:
    KilledRun() {
        fs::create_directories(album);
        // On a disk in memory a run takes half the time, so many more kills fit in a test; a
        // kill does not care where the bytes were going.
        inMemory = mount.smallTmpfs("64m");
    }

    // Small pictures of several formats and sizes, so a run is short but has hundreds of
    // saves in it; most are JPEG and PNG, as in a real album.
    void MakeAlbum(int count) {
        static constexpr const char* Suffixes[] = {".jpg", ".png", ".jpg",  ".png",
                                                   ".jpg", ".tif", ".webp", ".gif"};
        const auto target = *ParseTargetResolution(Target);
        for (int i = 0; i < count; ++i) {
            const int width = 140 + (i * 37) % 120;
            const int height = 100 + (i * 23) % 110;
            const auto path =
                album / ("picture-" + std::to_string(1000 + i) + Suffixes[i % std::size(Suffixes)]);
            testing::ColourRamp(width, height).write_to_file(path.c_str());
            pictures.push_back({path, testing::ReadBytes(path), testing::LoaderOf(path),
                                FitInside({width, height}, target)});
            // Some pictures have a second name, and are rewritten in place.
            if (i % HardLinkEvery == 0) {
                auto twin = pictures.back();
                twin.path.replace_filename("twin-" + path.filename().string());
                fs::create_hard_link(path, twin.path);
                pictures.push_back(twin);
            }
        }
    }

    std::vector<std::string> Arguments() const { return {album.string(), Target}; }

    testing::BatchProgram program;
    const fs::path album = program.home() / "album";
    testing::Mount mount{album};
    bool inMemory = false;
    std::vector<Picture> pictures;
};

TEST_F(KilledRun, NoPictureIsLostWhereverTheRunIsKilled) {
    MakeAlbum(static_cast<int>(Setting("KOVI_KILL_PICTURES", DefaultPictures)));
    const unsigned rounds = Setting("KOVI_KILL_ROUNDS", DefaultRounds);
    const unsigned seed = Setting("KOVI_KILL_SEED", 20240611);

    // One whole run tells how long a run lasts, so that the kills spread over all of it.
    const auto begin = std::chrono::steady_clock::now();
    const auto whole = program.run(Arguments());
    const auto duration = std::chrono::steady_clock::now() - begin;
    ASSERT_EQ(whole.exitCode, 0) << whole.err;
    for (const auto& picture : pictures)
        ASSERT_EQ(testing::Judge(picture), FileState::Resized) << picture.path;
    const auto runMilliseconds =
        std::max<long>(20, std::chrono::duration_cast<std::chrono::milliseconds>(duration).count());

    std::mt19937 random(seed);
    std::uniform_int_distribution<long> moment(0, runMilliseconds * 11 / 10);
    std::set<fs::path> leftByEarlierRuns;
    unsigned killsMidSave = 0;
    unsigned copiesFinished = 0;
    std::size_t resizedBeforeKills = 0;
    std::vector<bool> changed(pictures.size(), true);
    for (unsigned round = 0; round < rounds; ++round) {
        for (std::size_t i = 0; i < pictures.size(); ++i)
            if (changed[i])
                testing::Restore(pictures[i]);
        const long delay = moment(random);
        {
            ChildProcess child(program.executable(), Arguments(), program.environment());
            std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            child.signal(SIGKILL);
            child.wait();
        }

        // A kill while a picture with several names was copied in place leaves it half new,
        // and the next run finishes the copy before anything else: that is what it must find.
        std::size_t resized = 0;
        const auto leftBehind = testing::TemporaryFilesIn(album);
        const bool copyCutShort =
            std::any_of(leftBehind.begin(), leftBehind.end(), [](const fs::path& path) {
                return PendingInode(path.filename().string()).has_value();
            });
        if (copyCutShort) {
            ++copiesFinished;
            RemoveStaleTemporaryFiles(album);
        }
        for (std::size_t i = 0; i < pictures.size(); ++i) {
            std::string why;
            const FileState state = testing::Judge(pictures[i], &why);
            EXPECT_NE(state, FileState::Damaged)
                << pictures[i].path << " after a kill at " << delay << " ms (seed " << seed
                << ", round " << round << "): " << why;
            changed[i] = state != FileState::Original;
            resized += state == FileState::Resized ? 1 : 0;
        }
        resizedBeforeKills += resized;

        const auto temporary = testing::TemporaryFilesIn(album);
        // A run that changed a picture had cleared the folder before its first file.
        if (resized > 0) {
            for (const auto& path : temporary)
                EXPECT_FALSE(leftByEarlierRuns.count(path))
                    << path << " survived a later run (round " << round << ")";
            leftByEarlierRuns.clear();
        }
        if (!temporary.empty())
            ++killsMidSave;
        leftByEarlierRuns.insert(temporary.begin(), temporary.end());
    }

    // A last run to its end leaves every picture resized and no temporary file anywhere.
    for (const auto& picture : pictures)
        testing::Restore(picture);
    const auto last = program.run(Arguments());
    EXPECT_EQ(last.exitCode, 0) << last.err;
    for (const auto& picture : pictures) {
        std::string why;
        EXPECT_EQ(testing::Judge(picture, &why), FileState::Resized) << picture.path << ": " << why;
    }
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());

    std::printf(
        "[ killed   ] %u kills over a %ld ms run of %zu pictures (%s, seed %u): %u mid-save, "
        "%u in a copy in place, %zu pictures resized before their kill, none lost\n",
        rounds, runMilliseconds, pictures.size(), inMemory ? "tmpfs" : "disk", seed, killsMidSave,
        copiesFinished, resizedBeforeKills);
    RecordProperty("kills", static_cast<int>(rounds));
    RecordProperty("killsMidSave", static_cast<int>(killsMidSave));
}

// What a kill in the middle of copying into a file with two names leaves: the first part of
// the file new, the rest old, and the whole new content beside it. The next run finishes it.
TEST(KilledCopy, ACopyIntoAHardLinkedPictureCutShortIsFinishedByTheNextRun) {
    testing::BatchProgram program;
    const fs::path album = program.home() / "album";
    fs::create_directories(album);
    testing::ColourRamp(800, 600).jpegsave((album / "first.jpg").c_str());
    fs::create_hard_link(album / "first.jpg", album / "second.jpg");
    const std::string old = testing::ReadBytes(album / "first.jpg");
    testing::ColourRamp(640, 480).jpegsave((program.home() / "new.jpg").c_str());
    const std::string fresh = testing::ReadBytes(program.home() / "new.jpg");
    const auto info = testing::StatOf(album / "first.jpg");
    testing::WriteBytes(album / (".kovi-rzk-Cut0Shrt-" + std::to_string(info.st_ino) + ".tmp"),
                        fresh);
    {
        std::fstream half(album / "first.jpg", std::ios::in | std::ios::out | std::ios::binary);
        half.write(fresh.data(), static_cast<std::streamsize>(fresh.size() / 2));
    }
    ASSERT_NE(testing::ReadBytes(album / "second.jpg"), old);

    const auto result = program.run({album.string(), "640x480"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(testing::HoldsBytes(album / "first.jpg", fresh));
    EXPECT_TRUE(testing::HoldsBytes(album / "second.jpg", fresh));
    const auto after = testing::StatOf(album / "second.jpg");
    EXPECT_EQ(after.st_ino, info.st_ino);
    EXPECT_EQ(after.st_nlink, 2u);
    EXPECT_TRUE(testing::TemporaryFilesIn(album).empty());
}

} // namespace
} // namespace kovi
