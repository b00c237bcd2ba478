// The search for the files of a moved project: which candidates are tried, in which order,
// with which names, and what is never tried.
#include "project/moved_files.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

namespace fs = std::filesystem;

namespace {

class MovedFiles : public ::testing::Test {
protected:
    std::string dir;  // the moved project's folder
    void SetUp() override {
        std::mt19937_64 random(uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
        const fs::path folder = fs::temp_directory_path() / ("morva-moved-" + std::to_string(random() % 1000000000));
        ASSERT_TRUE(fs::create_directories(folder / "plate"));
        dir = (folder / "plate").string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(fs::path(dir).parent_path(), ec);
    }
    void Make(const std::string& relative) {
        const fs::path path = fs::path(dir) / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "v 0 0 0\n";
    }
    // The relative path found for `stored`, or "-" when nothing was found.
    std::string Find(const std::string& stored) {
        MovedFile found;
        if (!FindMovedFile(stored, dir + "/", &found)) return "-";
        EXPECT_EQ(found.path, dir + "/" + found.relative);
        return found.relative;
    }
};

TEST_F(MovedFiles, LongestTrailingPartsFirstThenShorterDownToTheName) {
    Make("models/part.obj");
    Make("part.obj");
    Make("other/wheel.obj");
    EXPECT_EQ(Find("C:\\jobs\\plate\\models\\part.obj"), "models/part.obj");
    EXPECT_EQ(Find("/home/old/plate/models/part.obj"), "models/part.obj");
    EXPECT_EQ(Find("\\\\server\\share\\jobs\\part.obj"), "part.obj");
    EXPECT_EQ(Find("C:\\jobs\\plate\\parts\\part.obj"), "part.obj");  // no parts/ folder here
    EXPECT_EQ(Find("D:wheel.obj"), "-");                               // only under other/
    EXPECT_EQ(Find("/old/other/wheel.obj"), "other/wheel.obj");
    EXPECT_EQ(Find("/old/nothing.obj"), "-");
    EXPECT_EQ(Find(""), "-");
    EXPECT_EQ(Find("C:\\"), "-");
}

TEST_F(MovedFiles, NamesMatchExactlyFirstThenWithoutLetterCase) {
    Make("Models/PART.OBJ");
    // A disk that ignores letter case (Windows) finds the stored spelling itself.
    const bool case_sensitive = !fs::exists(fs::path(dir) / "models");
    EXPECT_EQ(Find("C:\\jobs\\models\\part.obj"), case_sensitive ? "Models/PART.OBJ" : "models/part.obj");
    if (case_sensitive) {
        Make("models/part.obj");
        EXPECT_EQ(Find("C:\\jobs\\models\\part.obj"), "models/part.obj");
        EXPECT_EQ(Find("C:\\jobs\\MODELS\\PART.obj"), "Models/PART.OBJ");  // first in name order
    }
}

TEST_F(MovedFiles, OnlyRegularFilesUnderTheProjectFolderAreFound) {
    fs::create_directories(fs::path(dir) / "part.obj");  // a folder by that name
    EXPECT_EQ(Find("/old/part.obj"), "-");
    // ".." never leads the search out of the project folder.
    std::ofstream(fs::path(dir).parent_path() / "outside.obj") << "v 0 0 0\n";
    EXPECT_EQ(Find("/old/plate/../outside.obj"), "-");
    EXPECT_EQ(Find("..\\outside.obj"), "-");
    // A folder part must be a folder, the last part a file.
    Make("deep/part.obj");
    EXPECT_EQ(Find("/x/deep/part.obj"), "deep/part.obj");
    EXPECT_EQ(Find("/x/deep/part.obj/more"), "-");
}

TEST_F(MovedFiles, OnlyTheLastPartsOfVeryLongPathsAreTried) {
    Make("a/b/part.obj");
    std::string stored = "/";
    for (size_t i = 0; i < 3 * kMovedFileMaxParts; ++i) stored += "f" + std::to_string(i) + "/";
    EXPECT_EQ(Find(stored + "a/b/part.obj"), "a/b/part.obj");
}

}  // namespace
