// The project file: byte layout, round trips, broken files and failed saves.
#include "project/project.h"
#include "project/project_file.h"

#include "tests/support/gl_test.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

float FloatAt(const std::vector<uint8_t>& b, size_t at) {
    const uint32_t u = U32At(b, at);
    float f;
    std::memcpy(&f, &u, 4);
    return f;
}

void PutU32At(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}

project::pObject Object(int type, const std::string& path, float seed) {
    project::pObject o;
    o.type = type;
    o.name = path;
    o.texture = -1;
    o.position = cMath::vector4(seed, seed + 1, seed + 2, seed + 3);
    o.size = cMath::vector4(seed + 4, seed + 5, seed + 6, seed + 7);
    o.move = cMath::vector4(seed + 8, seed + 9, seed + 10, seed + 11);
    o.scale = cMath::vector4(seed + 12, seed + 13, seed + 14, seed + 15);
    o.rotate = cMath::vector4(seed + 16, seed + 17, seed + 18, seed + 19);
    return o;
}

bool SameVector(const cMath::vector4& a, const cMath::vector4& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// A project without a loader: models and images cannot be loaded, so every record read
// back stays inert with its path and vectors.
struct ProjectFile : ::testing::Test {
    project p{nullptr};
    std::string dir;
    std::string file;
    void SetUp() override {
        dir = morva_test::MakeTempDir();
        ASSERT_FALSE(dir.empty());
        file = dir + "/scene.PRJ";
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    bool Save(const std::string& path) { return p.SaveData(const_cast<char*>(path.c_str())); }
    bool Open(const std::string& path) { return p.OpenData(const_cast<char*>(path.c_str())); }
    std::vector<uint8_t> ValidTwoObjectFile() {
        project q(nullptr);
        q.objects.push_back(Object(0, "/images/a.png", 1));
        q.objects.push_back(Object(1, "/models/b.obj", 30));
        std::vector<ProjectRecord> recs(2);
        std::vector<uint8_t> bytes;
        for (int i = 0; i < 2; ++i) {
            const project::pObject& o = q.objects[size_t(i)];
            recs[size_t(i)] = ProjectRecord{o.type, o.name, o.position, o.size, o.move, o.scale, o.rotate};
        }
        EXPECT_TRUE(SerializeProjectFile(recs, &bytes));
        return bytes;
    }
};

TEST_F(ProjectFile, EmptyProjectIsElevenBytes) {
    ASSERT_TRUE(Save(file));
    const std::vector<uint8_t> expected = {'s', 'k', 'm', 's', 'k', 'm', 0, 0, 0, 0, 0};
    EXPECT_EQ(Bytes(file), expected);
    p.objects.push_back(Object(0, "x", 0));
    EXPECT_TRUE(Open(file));
    EXPECT_TRUE(p.objects.empty());
}

TEST_F(ProjectFile, ImageRecordFromAnEightCharacterPathIs97Bytes) {
    p.objects.push_back(Object(0, "C:/a.png", 0.5f));
    ASSERT_TRUE(Save(file));
    const std::vector<uint8_t> b = Bytes(file);
    ASSERT_EQ(b.size(), 11u + 97u);
    EXPECT_EQ(U32At(b, 7), 1u);    // N
    EXPECT_EQ(U32At(b, 11), 0u);   // type
    EXPECT_EQ(U32At(b, 15), 9u);   // L, terminating zero included
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[19]), 8), "C:/a.png");
    EXPECT_EQ(b[27], 0);
    // position, size, move, scale, rotate: x y z w each, little-endian floats
    for (int v = 0; v < 5; ++v) {
        for (int c = 0; c < 4; ++c) {
            EXPECT_EQ(FloatAt(b, 28 + size_t(v) * 16 + size_t(c) * 4), 0.5f + float(v * 4 + c));
        }
    }
}

TEST_F(ProjectFile, EveryFieldSurvivesARoundTripInOrder) {
    p.objects.push_back(Object(0, "/images/a.png", 1));
    p.objects.push_back(Object(1, "/models/b.obj", 30));
    p.objects.push_back(Object(-5, "", 60));
    p.objects.push_back(Object(0, "/images/a.png", 90));
    p.objects[0].rotate.w = NAN;
    ASSERT_TRUE(Save(file));
    const std::vector<project::pObject> before = p.objects;
    p.Reset();
    ASSERT_TRUE(Open(file));
    ASSERT_EQ(p.objects.size(), before.size());
    for (size_t i = 0; i < before.size(); ++i) {
        SCOPED_TRACE(i);
        const project::pObject& a = before[i];
        const project::pObject& b = p.objects[i];
        EXPECT_EQ(b.type, a.type);
        EXPECT_EQ(b.name, a.name);
        EXPECT_TRUE(SameVector(b.position, a.position));
        EXPECT_TRUE(SameVector(b.size, a.size));
        EXPECT_TRUE(SameVector(b.move, a.move));
        EXPECT_TRUE(SameVector(b.scale, a.scale));
        EXPECT_TRUE(SameVector(b.rotate, a.rotate));
    }
    // Saved again, the file is the same byte for byte.
    const std::vector<uint8_t> first = Bytes(file);
    ASSERT_TRUE(Save(file));
    EXPECT_EQ(Bytes(file), first);
}

TEST_F(ProjectFile, RecordsWhoseFilesAreMissingAreKeptAndReported) {
    p.objects.push_back(Object(1, "/gone/model.obj", 1));
    p.objects.push_back(Object(7, "/other/kind", 2));
    p.objects.push_back(Object(0, "/gone/image.png", 3));
    ASSERT_TRUE(Save(file));
    ASSERT_TRUE(Open(file));
    ASSERT_EQ(p.objects.size(), 3u);
    EXPECT_EQ(p.GetMissingFiles(), (std::vector<int>{0, 2}));
    EXPECT_LT(p.objects[2].texture, 0);
    EXPECT_FALSE(IsUsableModel(p.objects[0]));
}

TEST_F(ProjectFile, OpeningReplacesTheListAndClearsTheSelection) {
    WriteBytes(file, ValidTwoObjectFile());
    p.objects.push_back(Object(0, "old", 0));
    p.selected = 0;
    p.hovered = 0;
    ASSERT_TRUE(Open(file));
    ASSERT_EQ(p.objects.size(), 2u);
    EXPECT_EQ(p.objects[0].name, "/images/a.png");
    EXPECT_EQ(p.objects[1].name, "/models/b.obj");
    EXPECT_EQ(p.selected, -1);
    EXPECT_EQ(p.hovered, 0);  // refreshed by the next picking pass
}

TEST_F(ProjectFile, CommittedSampleStillReads) {
    // A file written by an earlier build: one image and one model.
    const std::string sample = std::string(MORVA_TEST_DATA_DIR) + "/two-objects.PRJ";
    ASSERT_TRUE(Open(sample));
    ASSERT_EQ(p.objects.size(), 2u);
    EXPECT_EQ(p.objects[0].type, 0);
    EXPECT_EQ(p.objects[0].name, "/images/a.png");
    EXPECT_EQ(p.objects[0].position.x, 1.0f);
    EXPECT_EQ(p.objects[0].rotate.w, 20.0f);
    EXPECT_EQ(p.objects[1].type, 1);
    EXPECT_EQ(p.objects[1].name, "/models/b.obj");
    EXPECT_EQ(p.objects[1].size.z, 36.0f);
    EXPECT_EQ(Bytes(sample), ValidTwoObjectFile());
}

// Each broken file fails to open and leaves the current project exactly as it was.
TEST_F(ProjectFile, BrokenFilesFailWithoutTouchingTheProject) {
    const std::vector<uint8_t> good = ValidTwoObjectFile();
    const size_t first_path_length = 15;  // L of record 0
    const size_t second_record = 11 + 88 + 14;
    struct Case {
        const char* name;
        std::function<void(std::vector<uint8_t>&)> damage;
    };
    const std::vector<Case> cases = {
        {"empty file", [](std::vector<uint8_t>& b) { b.clear(); }},
        {"magic only", [](std::vector<uint8_t>& b) { b.resize(7); }},
        {"count cut short", [](std::vector<uint8_t>& b) { b.resize(9); }},
        {"wrong magic letter", [](std::vector<uint8_t>& b) { b[0] = 'S'; }},
        {"magic without its zero", [](std::vector<uint8_t>& b) { b[6] = 'x'; }},
        {"negative count", [](std::vector<uint8_t>& b) { PutU32At(b, 7, 0xFFFFFFFFu); }},
        {"count above the records", [](std::vector<uint8_t>& b) { PutU32At(b, 7, 3); }},
        {"huge count", [](std::vector<uint8_t>& b) { PutU32At(b, 7, 0x7FFFFFFFu); }},
        {"path length zero", [&](std::vector<uint8_t>& b) { PutU32At(b, first_path_length, 0); }},
        {"path length past the end", [&](std::vector<uint8_t>& b) { PutU32At(b, first_path_length, 5000); }},
        {"path length over 64 KiB", [&](std::vector<uint8_t>& b) { PutU32At(b, first_path_length, 0x10001); }},
        {"path length negative", [&](std::vector<uint8_t>& b) { PutU32At(b, first_path_length, 0xFFFFFFF0u); }},
        {"path without its zero", [&](std::vector<uint8_t>& b) { b[first_path_length + 4 + 13] = 'x'; }},
        {"zero inside the path", [&](std::vector<uint8_t>& b) { b[first_path_length + 4 + 3] = 0; }},
        {"last vector cut short", [](std::vector<uint8_t>& b) { b.pop_back(); }},
        {"second record missing", [&](std::vector<uint8_t>& b) { b.resize(second_record); }},
        {"second record type only", [&](std::vector<uint8_t>& b) { b.resize(second_record + 4); }},
    };
    ASSERT_EQ(good[first_path_length + 4 + 13], 0) << "fixture layout: the first path ends here";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> bad = good;
        c.damage(bad);
        WriteBytes(file, bad);
        p.Reset();
        p.objects.push_back(Object(0, "/keep/me.png", 4));
        p.selected = 0;
        EXPECT_FALSE(Open(file));
        ASSERT_EQ(p.objects.size(), 1u);
        EXPECT_EQ(p.objects[0].name, "/keep/me.png");
        EXPECT_EQ(p.selected, 0);
    }
}

TEST_F(ProjectFile, BytesAfterTheLastRecordAreIgnored) {
    std::vector<uint8_t> b = ValidTwoObjectFile();
    b.push_back(0xAB);
    WriteBytes(file, b);
    EXPECT_TRUE(Open(file));
    EXPECT_EQ(p.objects.size(), 2u);
}

TEST_F(ProjectFile, MissingFileOrFolderFailsAndKeepsTheProject) {
    p.objects.push_back(Object(0, "/keep/me.png", 4));
    EXPECT_FALSE(Open(dir + "/does-not-exist.PRJ"));
    EXPECT_FALSE(Open(dir));
    EXPECT_EQ(p.objects.size(), 1u);
}

TEST_F(ProjectFile, SaveIntoAnUnwritablePlaceFailsAndLeavesNoFile) {
    p.objects.push_back(Object(0, "/a.png", 0));
    EXPECT_FALSE(Save(dir + "/no-such-folder/scene.PRJ"));
    EXPECT_FALSE(Save(dir));  // a folder is never replaced
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_FALSE(Save(""));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 0);
}

TEST_F(ProjectFile, SaveThatFailsMidwayLeavesTheOldFileIntact) {
    p.objects.push_back(Object(0, "/a.png", 0));
    ASSERT_TRUE(Save(file));
    const std::vector<uint8_t> old = Bytes(file);

    // A project much larger than the file-size limit set below.
    for (int i = 0; i < 200; ++i) p.objects.push_back(Object(1, std::string(200, 'm'), float(i)));
    struct rlimit saved;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    void (*previous)(int) = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved_ok = Save(file);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved_ok);
    EXPECT_EQ(Bytes(file), old);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(ProjectFile, SaveReplacesTheFileAndKeepsItsPermissions) {
    WriteBytes(file, std::vector<uint8_t>(500, 'x'));
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(Save(file));
    EXPECT_EQ(Bytes(file).size(), 11u);
    EXPECT_EQ(fs::status(file).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(ProjectFile, SaveThroughALinkWritesTheLinkedFile) {
    const std::string real = dir + "/real.PRJ";
    WriteBytes(real, {1, 2, 3});
    fs::create_symlink(real, file);
    ASSERT_TRUE(Save(file));
    EXPECT_TRUE(fs::is_symlink(file));
    EXPECT_EQ(Bytes(real).size(), 11u);
}

// Names of 255 bytes, the most a folder entry holds, save and open again: the temporary
// beside the file has a name of its own length limit, whatever the target's.
TEST_F(ProjectFile, FilesWithNamesOfTheLongestLengthSave) {
    std::string euros;
    for (int i = 0; i < 83; ++i) euros += "\xe2\x82\xac";  // three bytes each
    for (const std::string& name : {std::string(251, 'n') + ".PRJ", euros + "ab.PRJ"}) {
        SCOPED_TRACE(name.substr(0, 12));
        ASSERT_EQ(name.size(), 255u);
        const std::string path = dir + "/" + name;
        p.objects.assign(1, Object(0, "/a.png", 2));
        ASSERT_TRUE(Save(path));
        ASSERT_TRUE(Save(path));  // replacing it too
        p.objects.clear();
        EXPECT_TRUE(Open(path));
        EXPECT_EQ(p.objects.size(), 1u);
        EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
        fs::remove(path);
    }
}

TEST(ProjectFileFormat, PathsThatCannotBeReadBackAreNotWritten) {
    std::vector<uint8_t> out = {42};
    ProjectRecord rec;
    rec.path = std::string("a\0b", 3);
    EXPECT_FALSE(SerializeProjectFile({rec}, &out));
    rec.path = std::string(kProjectMaxPathBytes, 'p');
    EXPECT_FALSE(SerializeProjectFile({rec}, &out));
    EXPECT_EQ(out, std::vector<uint8_t>{42});
    rec.path = std::string(kProjectMaxPathBytes - 1, 'p');  // L = 64 KiB exactly
    ASSERT_TRUE(SerializeProjectFile({rec}, &out));
    std::vector<ProjectRecord> back;
    ASSERT_TRUE(ParseProjectFile(out.data(), out.size(), &back));
    EXPECT_EQ(back.at(0).path, rec.path);
}

}  // namespace
