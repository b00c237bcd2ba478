// The file layer: path rules for paths written by either system, reading exactly the size an
// open file reported, UTF-8 names on disk, and the atomic save with its temporary names.
// Written to run the same on Linux and Windows.
#include "platform/cpu_load.h"
#include "platform/files.h"
#include "platform/memory_hints.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace {

struct PartsCase {
    const char* stored;
    std::vector<std::string> parts;
};

TEST(StoredPaths, EitherSeparatorSplitsAndRootsAreDropped) {
    const PartsCase cases[] = {
        {"/home/a/plate/models/part.obj", {"home", "a", "plate", "models", "part.obj"}},
        {"C:\\jobs\\plate\\models\\part.obj", {"jobs", "plate", "models", "part.obj"}},
        {"c:/jobs/part.obj", {"jobs", "part.obj"}},
        {"D:part.obj", {"part.obj"}},
        {"\\\\server\\share\\jobs\\part.obj", {"jobs", "part.obj"}},
        {"//server/share/part.obj", {"part.obj"}},
        {"\\\\?\\C:\\jobs\\part.obj", {"jobs", "part.obj"}},
        {"\\\\?\\UNC\\server\\share\\jobs\\part.obj", {"jobs", "part.obj"}},
        {"models\\.\\sub//part.obj", {"models", "sub", "part.obj"}},
        {"..\\up\\part.obj", {"..", "up", "part.obj"}},
        {"part.obj", {"part.obj"}},
        {"", {}},
        {"C:\\", {}},
        {"\\\\server", {}},
    };
    for (const PartsCase& c : cases) EXPECT_EQ(files::StoredPathParts(c.stored), c.parts) << c.stored;
}

TEST(StoredPaths, NamesCompareWithoutLetterCaseOnlyWhenAsked) {
    EXPECT_TRUE(files::SameNameIgnoringCase("Part.OBJ", "part.obj"));
    EXPECT_FALSE(files::SameNameIgnoringCase("part.obj", "part.ob"));
    EXPECT_FALSE(files::SameNameIgnoringCase("part_obj", "part.obj"));
    EXPECT_FALSE(files::SameNameIgnoringCase("a@", "a`"));  // neighbours of the letters
}

TEST(SystemPaths, FolderAndNameSplitAtTheLastSeparator) {
    EXPECT_EQ(files::FolderOf("/a/b/c.obj"), "/a/b/");
    EXPECT_EQ(files::FileNameOf("/a/b/c.obj"), "c.obj");
    EXPECT_EQ(files::FolderOf("c.obj"), "");
    EXPECT_EQ(files::FolderOf("/c.obj"), "/");
    EXPECT_EQ(files::JoinPath("/a", "b"), "/a/b");
    EXPECT_EQ(files::JoinPath("/a/", "b"), "/a/b");
    EXPECT_EQ(files::JoinPath("", "b"), "b");
    EXPECT_TRUE(files::IsAbsolutePath("/a"));
    EXPECT_FALSE(files::IsAbsolutePath("a/b"));
    // A path written with '\' opens with the separators of this system.
    const std::string written = files::WithSystemSeparators("maps\\wood.png");
    EXPECT_EQ(files::FolderOf(written) + files::FileNameOf(written), written);
    EXPECT_EQ(files::FileNameOf(written), "wood.png");
}

TEST(TemporaryNames, FitBesideAnyNameAndBelongToTheirFileOnly) {
    const std::string euro = "\xe2\x82\xac";
    std::string euros;
    for (int i = 0; i < 85; ++i) euros += euro;  // 255 bytes
    for (const std::string& name : {std::string("plate.PRJ"), std::string(255, 'n'), euros}) {
        const std::string stem = files::TemporaryStem(name);
        EXPECT_LE(stem.size() + 8, 255u);
        EXPECT_EQ(name.compare(0, stem.size() - 5, stem, 0, stem.size() - 5), 0);
        EXPECT_TRUE(files::IsTemporaryNameOf(stem + "0123abcd", name));
    }
    EXPECT_EQ(files::TemporaryStem(euros).size() - 5, 198u);  // cut before a character, not inside
    EXPECT_FALSE(files::IsTemporaryNameOf("plate.PRJ.tmp-0123abc", "plate.PRJ"));
    EXPECT_FALSE(files::IsTemporaryNameOf("plate.PRJ.tmp-0123abcde", "plate.PRJ"));
    EXPECT_FALSE(files::IsTemporaryNameOf("plate.PRJ.tmp-0123abcg", "plate.PRJ"));
    EXPECT_FALSE(files::IsTemporaryNameOf("plate.PRJ.tmp-0123ABCD", "plate.PRJ"));
    EXPECT_FALSE(files::IsTemporaryNameOf("other.PRJ.tmp-0123abcd", "plate.PRJ"));
    EXPECT_FALSE(files::IsTemporaryNameOf("plate.PRJ", "plate.PRJ"));
}

// A fresh folder under the temporary folder whose name holds letters outside ASCII.
class FilesOnDisk : public ::testing::Test {
protected:
    std::string dir;  // UTF-8, ends without a separator
    void SetUp() override {
        std::mt19937_64 random(uint64_t(std::chrono::steady_clock::now().time_since_epoch().count()));
        const std::string name = "morva-files-\xc5\x81\xc3\xb3" "d\xc5\xba-" + std::to_string(random() % 1000000000);
        const fs::path folder = fs::temp_directory_path() / fs::u8path(name);
        ASSERT_TRUE(fs::create_directory(folder));
        dir = folder.u8string();
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(fs::u8path(dir), ec);
    }
    void Write(const std::string& name, const std::string& text) {
        std::ofstream(fs::u8path(files::JoinPath(dir, name)), std::ios::binary) << text;
    }
    std::string Path(const std::string& name) const { return files::JoinPath(dir, name); }
};

TEST_F(FilesOnDisk, ReadsFilesUnderNonAsciiNames) {
    Write("\xc5\xbc\xc3\xb3\xc5\x82w.obj", "v 0 0 0\n");
    std::string text;
    ASSERT_TRUE(files::ReadWholeFile(Path("\xc5\xbc\xc3\xb3\xc5\x82w.obj").c_str(), 1024, text));
    EXPECT_EQ(text, "v 0 0 0\n");
    EXPECT_TRUE(files::IsRegularFile(Path("\xc5\xbc\xc3\xb3\xc5\x82w.obj")));
    EXPECT_TRUE(files::IsFolder(dir.c_str()));
    EXPECT_FALSE(files::IsRegularFile(dir));
    std::vector<std::string> names;
    ASSERT_TRUE(files::ListFolder(dir, 100, names));
    EXPECT_EQ(names, std::vector<std::string>{"\xc5\xbc\xc3\xb3\xc5\x82w.obj"});
}

TEST_F(FilesOnDisk, OpeningTellsMissingFromFoldersAndReadsOnlyTheReportedSize) {
    files::ReadableFile file;
    EXPECT_EQ(files::OpenForReading(Path("none.obj").c_str(), file), files::OpenStatus::kMissing);
    EXPECT_EQ(files::OpenForReading(Path("none/x.obj").c_str(), file), files::OpenStatus::kMissing);
    EXPECT_EQ(files::OpenForReading(dir.c_str(), file), files::OpenStatus::kNotRegular);
    EXPECT_EQ(files::OpenForReading("", file), files::OpenStatus::kMissing);
    EXPECT_EQ(files::OpenForReading(nullptr, file), files::OpenStatus::kMissing);
    EXPECT_FALSE(file.IsOpen());

    Write("grows.obj", "12345");
    ASSERT_EQ(files::OpenForReading(Path("grows.obj").c_str(), file), files::OpenStatus::kOpened);
    EXPECT_EQ(file.size, 5u);
    // Text added after the open is not read: the reader keeps to the size it was told.
    std::ofstream(fs::u8path(Path("grows.obj")), std::ios::binary | std::ios::app) << "6789";
    std::string bytes(16, '-');
    ASSERT_TRUE(files::ReadAll(file, &bytes[0]));
    EXPECT_EQ(bytes.substr(0, 6), "12345-");
    size_t got = 0;
    ASSERT_TRUE(files::ReadAt(file, 3, &bytes[0], 4, got));
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(bytes.substr(0, 4), "4567");
    files::Close(file);

    std::string text = "keep";
    EXPECT_FALSE(files::ReadWholeFile(Path("grows.obj").c_str(), 8, text));  // over the limit
    EXPECT_EQ(text, "keep");
    Write("empty.obj", "");
    EXPECT_TRUE(files::ReadWholeFile(Path("empty.obj").c_str(), 8, text));
    EXPECT_EQ(text, "");
}

TEST_F(FilesOnDisk, AtomicSaveReplacesWholeAndLeavesOnlyTheFile) {
    const std::string target = Path("pl\xc3\xa4te.PRJ");
    ASSERT_TRUE(files::WriteFileAtomically(target.c_str(), "first", 5));
    ASSERT_TRUE(files::WriteFileAtomically(target.c_str(), "second", 6));
    std::string text;
    ASSERT_TRUE(files::ReadWholeFile(target.c_str(), 64, text));
    EXPECT_EQ(text, "second");

    // An abandoned save leaves the file as it was and no temporary.
    {
        files::AtomicWrite write;
        ASSERT_TRUE(files::BeginAtomicWrite(target.c_str(), write));
        EXPECT_TRUE(files::IsTemporaryNameOf(files::FileNameOf(write.temporary), files::FileNameOf(target)));
        EXPECT_TRUE(files::WriteBytes(write, "third", 5));
    }
    ASSERT_TRUE(files::ReadWholeFile(target.c_str(), 64, text));
    EXPECT_EQ(text, "second");
    // A temporary nobody holds (a killed save's) goes with the next save.
    Write(files::TemporaryStem(files::FileNameOf(target)) + "00c0ffee", "half");
    EXPECT_FALSE(files::WriteFileAtomically(dir.c_str(), "x", 1));  // a folder is never replaced
    ASSERT_TRUE(files::WriteFileAtomically(target.c_str(), "fourth", 6));
    std::vector<std::string> names;
    ASSERT_TRUE(files::ListFolder(dir, 100, names));
    EXPECT_EQ(names, std::vector<std::string>{files::FileNameOf(target)});
}

TEST_F(FilesOnDisk, IdentitiesTellFilesApartWhateverTheSpelling) {
    Write("a.obj", "v 0 0 0\n");
    Write("b.obj", "v 0 0 0\n");
    const std::string a = files::FileIdentity(Path("a.obj"));
    EXPECT_FALSE(a.empty());
    EXPECT_EQ(files::FileIdentity(dir + "/./a.obj"), a);
    EXPECT_EQ(files::CanonicalPath(dir + "/./a.obj"), files::CanonicalPath(Path("a.obj")));
    EXPECT_NE(files::FileIdentity(Path("b.obj")), a);
    Write("a.obj", "v 0 0 0\nv 1 0 0\n");  // rewritten: another size
    EXPECT_NE(files::FileIdentity(Path("a.obj")), a);
    EXPECT_EQ(files::FileIdentity(dir), "");
    EXPECT_EQ(files::FileIdentity(Path("none.obj")), "");
    EXPECT_EQ(files::CanonicalPath(Path("none.obj")), Path("none.obj"));
}

TEST_F(FilesOnDisk, AnotherSaveOfTheFileLeavesALiveSaveAlone) {
    const std::string target = Path("plate.PRJ");
    files::AtomicWrite live;
    ASSERT_TRUE(files::BeginAtomicWrite(target.c_str(), live));
    ASSERT_TRUE(files::WriteBytes(live, "live", 4));
    ASSERT_TRUE(files::WriteFileAtomically(target.c_str(), "other", 5));
    EXPECT_EQ(files::RemoveStaleTemporaries(target), 0u);
    EXPECT_TRUE(files::IsRegularFile(live.temporary));
    ASSERT_TRUE(files::FinishAtomicWrite(live));
    std::string text;
    ASSERT_TRUE(files::ReadWholeFile(target.c_str(), 64, text));
    EXPECT_EQ(text, "live");
}

// The caller's own core is never counted idle, even on a one-core machine or while the
// system reports no task running.
TEST(CpuLoad, IdleCoresLeaveOutTheCallersCore) {
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    for (int i = 0; i < 20; ++i) EXPECT_LT(cpu::IdleCoresNow(), cores);
}

// Scratch vectors on both sides of the size from which blocks come straight from the system:
// filled on one thread and read, copied and freed on another (as a load's second thread
// hands its work over), grown across that size, and zero where a value was given.
TEST(ScratchMemory, BlocksOfEitherSizeKeepTheirValuesAcrossThreadsAndGrowth) {
    for (size_t count : {size_t(1000), size_t(3) << 20}) {
        SCOPED_TRACE(count);
        files::ScratchVector<uint32_t> filled;
        std::thread([&] {
            filled.resize(count);
            for (size_t i = 0; i < count; ++i) filled[i] = uint32_t(i * 7 + 1);
        }).join();
        const files::ScratchVector<uint32_t> copy(filled);
        filled = files::ScratchVector<uint32_t>();
        EXPECT_EQ(copy[count - 1], uint32_t((count - 1) * 7 + 1));
        EXPECT_EQ(copy[count / 2], uint32_t(count / 2 * 7 + 1));
        files::ScratchVector<uint64_t> zeros(count, 0);
        EXPECT_EQ(std::count(zeros.begin(), zeros.end(), 0u), std::ptrdiff_t(count));
    }
    files::ScratchVector<size_t> grown;
    for (size_t i = 0; i < (size_t(1) << 18); ++i) grown.push_back(i);
    EXPECT_EQ(grown.size(), size_t(1) << 18);
    EXPECT_EQ(grown[1000], 1000u);
    EXPECT_EQ(grown.back(), (size_t(1) << 18) - 1);
}

}  // namespace
