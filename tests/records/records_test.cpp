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
        file = (folder / "starhold" / "records").string();
    }
    void TearDown() override { fs::remove_all(folder); }
    void writeText(const std::string& text) {
        fs::create_directories(folder / "starhold");
        std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    }
    Records read() { return readRecords(file, errors); }
    std::string said() {
        const std::string text = errors.str();
        errors.str("");
        return text;
    }

    fs::path folder;
    std::string file;
    std::ostringstream errors;
};

size_t lineCount(const std::string& text) { return static_cast<size_t>(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

TEST_F(RecordsFile, ANewBestIsKeptForItsKindOfFieldAndSurvivesTheNextRun) {
    Records records;
    EXPECT_EQ(records.bestTime(kDefaultField), -1);
    EXPECT_TRUE(records.offerTime(kDefaultField, 90000));  // the first time is the best so far
    EXPECT_FALSE(records.offerTime(kDefaultField, 95000));
    EXPECT_FALSE(records.offerTime(kDefaultField, 90000));  // a tie beats nothing
    EXPECT_EQ(records.bestTime(kDefaultField), 90000);
    EXPECT_TRUE(records.offerTime(kDefaultField, 83400));
    const TrialKind bigger{200, 30, 50}, moreStars{20, 30, 100};
    EXPECT_TRUE(records.offerTime(bigger, 400000) && records.offerTime(moreStars, 120000));
    EXPECT_EQ(records.bestTime(kDefaultField), 83400);
    records.addResult(BotLevel::Easy, true);
    records.addResult(BotLevel::Easy, false);
    records.addResult(BotLevel::Easy, false);

    ASSERT_TRUE(writeRecords(file, records, errors)) << said();
    const Records again = read();
    EXPECT_EQ(said(), "");
    EXPECT_EQ(again.bestTime(kDefaultField), 83400);
    EXPECT_EQ(again.bestTime(bigger), 400000);
    EXPECT_EQ(again.bestTime(moreStars), 120000);
    EXPECT_TRUE(again.against(BotLevel::Easy).wins == 1 && again.against(BotLevel::Easy).losses == 2);
    EXPECT_TRUE(again.against(BotLevel::Hard).wins == 0 && again.against(BotLevel::Hard).losses == 0);
}

TEST(Records, BStartsAtTheWeakestLevelNeverBeatenAndTheHardestOnceAllAre) {
    Records records;
    EXPECT_EQ(records.lowestUnbeaten(), BotLevel::Beginner);
    records.addResult(BotLevel::Beginner, false);
    records.addResult(BotLevel::Normal, true);  // a level skipped by botlevel counts for itself only
    EXPECT_EQ(records.lowestUnbeaten(), BotLevel::Beginner);
    records.addResult(BotLevel::Beginner, true);
    EXPECT_EQ(records.lowestUnbeaten(), BotLevel::Easy);
    records.addResult(BotLevel::Easy, true);
    EXPECT_EQ(records.lowestUnbeaten(), BotLevel::Hard);
    records.addResult(BotLevel::Hard, true);
    EXPECT_EQ(records.lowestUnbeaten(), BotLevel::Hard);
}

// However long the player plays, the file stays within the size a reader takes:
// the kind played longest ago goes first.
TEST_F(RecordsFile, BoundedInKindsAndSizeAndAFileAtTheLimitStillReads) {
    Records records;
    for (int32_t size = 10; size < 10 + 2 * static_cast<int32_t>(Records::kMaxTrialKinds); ++size) {
        records.offerTime(TrialKind{size, 8190, 8192}, 2147483647);
    }
    for (BotLevel level : kBotLevels) {
        for (bool won : {true, false}) {
            std::ostringstream full;  // counts at their largest
            full << "computer " << botLevelName(level) << " 2147483647 2147483647\n";
            Records one;
            std::string problem;
            ASSERT_TRUE(one.readText(full.str(), problem)) << problem;
            one.addResult(level, won);  // stays at the largest count
            EXPECT_EQ(one.text(), full.str());
        }
    }
    EXPECT_EQ(records.bestTime(TrialKind{10, 8190, 8192}), -1);
    EXPECT_EQ(records.bestTime(TrialKind{10 + 2 * Records::kMaxTrialKinds - 1, 8190, 8192}), 2147483647);
    EXPECT_EQ(lineCount(records.text()), Records::kMaxTrialKinds);
    EXPECT_LE(records.text().size() + std::size(kBotLevels) * 40, Records::kMaxFileBytes);

    const std::string line = "best 20 30 50 83400\n";
    writeText(line + std::string(Records::kMaxFileBytes - line.size(), '\n'));
    EXPECT_EQ(read().bestTime(kDefaultField), 83400);
    EXPECT_EQ(said(), "");
    writeText(line + std::string(Records::kMaxFileBytes - line.size() + 1, '\n'));
    EXPECT_EQ(read().bestTime(kDefaultField), -1);
    EXPECT_EQ(lineCount(said()), 1u);
}

TEST_F(RecordsFile, AMissingFileIsEmptySilentlyAndADamagedOneWithOneLine) {
    EXPECT_TRUE(read().text().empty());
    fs::create_directories(file);  // a folder where the file belongs
    EXPECT_TRUE(read().text().empty());
    fs::remove(file);
    EXPECT_EQ(said(), "");

    const std::string good = "best 20 30 50 83400\ncomputer easy 1 2\n\n";
    const std::string damaged[] = {
        "best 20 30 50\n",          "best 20 30 50 0\n",       "best 20 30 50 -5\n",  "best 20 30 50 83400 1\n",
        "best 20 30 fifty 83400\n", "best 20 30 50 99999999999\n", "computer expert 1 2\n", "computer easy 1\n",
        "computer easy -1 2\n",     "Best 20 30 50 83400\n",   std::string("best 20 30 50 83400\0\n", 21),
        "\xff\xfe garbage\n",
    };
    for (const std::string& text : damaged) {
        writeText(good + text);
        const Records records = read();
        EXPECT_TRUE(records.bestTime(kDefaultField) == -1 && records.against(BotLevel::Easy).wins == 0) << text;
        const std::string line = said();
        EXPECT_TRUE(lineCount(line) == 1 && line.find(file) != std::string::npos && line.find("line 4") != line.npos)
            << line;
    }
}

TEST(RecordWatch, CountsEachMatchOnceAndOnlyWhenItWasPlayedOneWayThroughout) {
    struct Pass {
        int32_t ms;
        bool over, versus, alone, computer;
        BotLevel level;
        MatchEnd expected;
    };
    const BotLevel easy = BotLevel::Easy, hard = BotLevel::Hard;
    const MatchEnd none = MatchEnd::None, trial = MatchEnd::TimeTrial, computer = MatchEnd::ComputerMatch;
    const Pass passes[] = {
        {0, false, false, true, false, easy, none},        // a field alone
        {40000, false, false, true, false, easy, none},
        {83400, true, false, true, false, easy, trial},    // its last star
        {83400, true, false, true, false, easy, none},     // the banner stays: counted once
        {0, false, false, true, false, easy, none},        // Backspace: a new field
        {5000, false, false, false, false, easy, none},    // listening for a while
        {9000, false, false, true, false, easy, none},
        {60000, true, false, true, false, easy, none},     // not alone throughout
        {0, false, false, false, true, easy, none},        // the computer joins
        {70000, true, true, false, true, easy, computer},  // an energy ran out
        {0, false, false, false, true, easy, none},
        {3000, false, false, false, true, hard, none},     // b: the next level, before its match starts
        {4000, true, true, false, true, hard, none},
        {0, false, false, false, true, hard, none},
        {20000, false, false, false, false, hard, none},   // the computer left
        {30000, true, true, false, true, hard, none},
    };
    RecordWatch watch;
    int number = 0;
    for (const Pass& p : passes) {
        const MatchView view{p.ms, p.over, p.versus, p.alone, p.computer, p.level};
        EXPECT_EQ(watch.observe(view), p.expected) << "pass " << number++;
    }
}
