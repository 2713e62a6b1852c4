// The player's records: best times per kind of field, results per computer
// level, the file they live in, and which matches count for them.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "records/record_watch.h"
#include "records/records.h"

namespace fs = std::filesystem;

namespace {

const TrialKind kDefaultField{20, 30, 50};

class RecordsFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::string name = testing::TempDir() + "/records-XXXXXX";
        ASSERT_NE(mkdtemp(&name[0]), nullptr);
        folder = name;
        file = (folder / "records").string();
    }
    void TearDown() override { fs::remove_all(folder); }
    Records readBack(const std::string& text) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
        return readRecords(file, errors);
    }
    size_t linesSaid() {
        const std::string text = errors.str();
        errors.str("");
        EXPECT_TRUE(text.empty() || text.find(file) != std::string::npos) << text;
        return static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
    }

    fs::path folder;
    std::string file;
    std::ostringstream errors;
};

}  // namespace

TEST_F(RecordsFile, ANewBestPerKindOfFieldAndTheResultsSurviveTheNextRunAndBStartsAtTheWeakestUnbeaten) {
    Records records;
    EXPECT_TRUE(records.bestTime(kDefaultField) == -1 && records.offerTime(kDefaultField, 90000));  // the first is best
    EXPECT_FALSE(records.offerTime(kDefaultField, 95000) || records.offerTime(kDefaultField, 90000));
    EXPECT_TRUE(records.offerTime(kDefaultField, 83400) && records.offerTime(TrialKind{200, 30, 50}, 400000));
    for (const bool won : {false, true, false}) records.addResult(BotLevel::Beginner, won);
    records.addResult(BotLevel::Normal, true);  // a level chosen by botlevel counts for itself only
    ASSERT_TRUE(writeRecords(file, records, errors));
    Records again = readRecords(file, errors);
    EXPECT_EQ(linesSaid(), 0u);
    EXPECT_TRUE(again.bestTime(kDefaultField) == 83400 && again.bestTime(TrialKind{200, 30, 50}) == 400000);
    EXPECT_TRUE(again.against(BotLevel::Beginner).wins == 1 && again.against(BotLevel::Beginner).losses == 2);
    EXPECT_EQ(again.lowestUnbeaten(), BotLevel::Easy);
    again.addResult(BotLevel::Easy, true);
    again.addResult(BotLevel::Hard, true);
    EXPECT_EQ(again.lowestUnbeaten(), BotLevel::Hard);
}

// However long the player plays, the file stays within what a reader takes.
TEST_F(RecordsFile, BoundedInKindsCountsAndSizeAndAFileAtTheLimitStillReads) {
    Records records;
    const int32_t kinds = 2 * static_cast<int32_t>(Records::kMaxTrialKinds);
    for (int32_t size = 10; size < 10 + kinds; ++size) records.offerTime(TrialKind{size, 8190, 8192}, 2147483647);
    std::string problem;
    ASSERT_TRUE(records.readText(records.text() + "computer hard 2147483647 2147483647\n", problem)) << problem;
    records.addResult(BotLevel::Hard, true);  // stays at the largest count
    EXPECT_EQ(records.against(BotLevel::Hard).wins, 2147483647);
    EXPECT_EQ(records.bestTime(TrialKind{10, 8190, 8192}), -1);  // the kind played longest ago went
    EXPECT_EQ(records.bestTime(TrialKind{9 + kinds, 8190, 8192}), 2147483647);
    EXPECT_LE(records.text().size() + std::size(kBotLevels) * 40, Records::kMaxFileBytes);

    const std::string line = "best 20 30 50 83400\n";
    EXPECT_EQ(readBack(line + std::string(Records::kMaxFileBytes - line.size(), '\n')).bestTime(kDefaultField), 83400);
    EXPECT_EQ(linesSaid(), 0u);
    EXPECT_EQ(readBack(line + std::string(Records::kMaxFileBytes - line.size() + 1, '\n')).bestTime(kDefaultField), -1);
    EXPECT_EQ(linesSaid(), 1u);
}

TEST_F(RecordsFile, AMissingFileIsEmptySilentlyAndADamagedOneWithOneLine) {
    EXPECT_TRUE(readRecords(file, errors).text().empty());
    fs::create_directories(file);  // a folder where the file belongs
    EXPECT_TRUE(readRecords(file, errors).text().empty() && linesSaid() == 0);
    fs::remove(file);
    const std::string damaged[] = {
        "best 20 30 50",      "best 20 30 50 0",     "best 20 30 50 -5",     "best 20 30 50 83400 1",
        "best 20 30 5O 8340", "best 1 2 3 99999999999", "computer expert 1 2", "computer easy 1",
        "Best 20 30 50 83400", std::string("best 20 30 50 83400\0", 20),  "\xff\xfe",
    };
    for (const std::string& text : damaged) {
        const Records read = readBack("best 20 30 50 83400\ncomputer easy 1 2\n\n" + text + "\n");
        EXPECT_TRUE(read.bestTime(kDefaultField) == -1 && read.against(BotLevel::Easy).wins == 0) << text;
        EXPECT_EQ(linesSaid(), 1u) << text;
    }
}

TEST(RecordWatch, CountsEachMatchOnceAndOnlyWhenItWasPlayedOneWayThroughout) {
    const BotLevel easy = BotLevel::Easy, hard = BotLevel::Hard;
    const MatchEnd none = MatchEnd::None, trial = MatchEnd::TimeTrial, computer = MatchEnd::ComputerMatch;
    const std::pair<MatchView, MatchEnd> passes[] = {
        // match, over, versus (an energy ran out), alone, against the computer, its level
        {{1, false, false, true, false, easy}, none},  // a field alone
        {{1, true, false, true, false, easy}, trial},
        {{1, true, false, true, false, easy}, none},    // the banner stays: counted once
        {{2, false, false, false, false, easy}, none},  // a new field, listening for a while
        {{2, true, false, true, false, easy}, none},
        {{3, false, false, false, true, easy}, none},  // the computer joins, in the pass b was pressed
        {{3, true, true, false, true, easy}, computer},
        {{4, false, false, false, true, easy}, none},
        {{4, false, false, false, true, hard}, none},  // b: the next level, before its match starts
        {{4, true, true, false, true, hard}, none},
        {{5, false, false, false, false, hard}, none},  // the computer left
        {{5, true, true, false, true, hard}, none},
    };
    RecordWatch watch;
    for (size_t i = 0; i < std::size(passes); ++i) EXPECT_EQ(watch.observe(passes[i].first), passes[i].second) << i;
}
