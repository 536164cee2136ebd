// The map file reader and the step rule.
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "game/map_data.h"

namespace {

void WriteFile(const char *name, const std::string &text)
{
    std::ofstream(name, std::ios::binary) << text;
}

std::string Rows(int count, const std::string &row)
{
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += row + "\n";
    }
    return text;
}

const std::string kFullRow = "11111111111111111111";

TEST(MapFile, ReadsDigitsRowsAndLists)
{
    struct Case {
        const char *name;
        std::string text;
        int x, y, value;   // one cell to check
        size_t deploys, goals;
    };
    const Case cases[] = {
        {"blanks take no column", "1 1 2\n", 2, 0, 2, 1, 0},
        {"empty line still a row", "\n3\n", 0, 1, 3, 0, 1},
        {"carriage returns skipped", "12\r\n21\r\n", 1, 1, 1, 2, 0},
        {"extra columns ignored", "11111111111111111111" "2222\n", 19, 0, 1, 0, 0},
        {"extra rows ignored", Rows(15, kFullRow) + "22222\n", 0, 14, 1, 0, 0},
        {"short file leaves zero", Rows(14, kFullRow), 5, 14, 0, 0, 0},
        {"short line leaves zero", "111\n", 3, 0, 0, 0, 0},
        {"byte 0xFF stops", "1\xff" "2\n", 1, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("case_map.txt", c.text);
        MapData map;
        ReadMapFile(map, "case_map.txt");
        EXPECT_EQ(c.value, map.grid[c.x][c.y]);
        EXPECT_EQ(c.deploys, map.deployPoints.size());
        EXPECT_EQ(c.goals, map.goalPoints.size());
    }
}

// Every read empties the two lists; cells the file does not reach keep what
// the last read gave them.
TEST(MapFile, RereadingKeepsUnreadCellsAndEmptiesTheLists)
{
    WriteFile("first.txt", "2223\n" + Rows(14, kFullRow));
    WriteFile("second.txt", "3\n");
    MapData map;
    ReadMapFile(map, "first.txt");
    ReadMapFile(map, "first.txt");
    EXPECT_EQ(3u, map.deployPoints.size());
    EXPECT_EQ(1u, map.goalPoints.size());
    EXPECT_EQ(2, map.deployPoints[2].x);
    ReadMapFile(map, "second.txt");
    EXPECT_EQ(0u, map.deployPoints.size());
    EXPECT_EQ(1u, map.goalPoints.size());
    EXPECT_EQ(3, map.grid[0][0]);
    EXPECT_EQ(2, map.grid[1][0]);  // the rest of row 0 as it was
    EXPECT_EQ(1, map.grid[5][5]);  // unread rows as they were
}

TEST(MapFile, MissingFileIsReportedAndChangesNothing)
{
    WriteFile("kept.txt", "12\n");
    MapData map;
    ReadMapFile(map, "kept.txt");
    testing::internal::CaptureStdout();
    ReadMapFile(map, "no_such_folder/map01.txt");
    EXPECT_EQ("ファイルパスが不正です\n", testing::internal::GetCapturedStdout());
    EXPECT_EQ(1, map.grid[0][0]);
    EXPECT_EQ(1u, map.deployPoints.size());
}

TEST(MapCells, StepRule)
{
    // Rows: from value; columns: into value 0..9.
    const char *allowed[] = {
        "0111110000",  // from 0 (only the route root stands there)
        "0111100000",  // from 1: never into 5
        "0111110000", "0111110000", "0111110000",
        "0011110000",  // from 5: never into 1
    };
    for (int from = 0; from <= 5; ++from) {
        for (int to = 0; to <= 9; ++to) {
            EXPECT_EQ(allowed[from][to] == '1', IsStepAllowed(from, to)) << from << " -> " << to;
        }
    }
    MapData map;
    EXPECT_EQ(0, CellValueAt(map, -1, 0));
    EXPECT_EQ(0, CellValueAt(map, 20, 14));
    EXPECT_FALSE(IsCellInGrid(map, 0, 15));
}

} // namespace
