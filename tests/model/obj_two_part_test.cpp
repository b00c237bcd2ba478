// OBJ text read in parts on two threads: whatever the split points, the merged reading
// must equal the sequential one array by array (bit for bit), material statements and line
// count included, and progress must be reported from the calling thread only.
#include "model/file_bytes.h"
#include "model/obj_text.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <string>
#include <thread>
#include <vector>

namespace {

// Every part after the first goes through the other thread and is appended.
constexpr ObjPartSharing kRest = ObjPartSharing::kOtherThreadTakesTheRest;

bool SameBits(const cMath::vector4& a, const cMath::vector4& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void ExpectSameVectors(const std::vector<cMath::vector4>& a, const std::vector<cMath::vector4>& b, const char* what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (size_t i = 0; i < a.size(); ++i) ASSERT_TRUE(SameBits(a[i], b[i])) << what << " " << i;
}

// Every field of the two readings is the same.
void ExpectSameReading(const ObjText& a, const ObjText& b) {
    ExpectSameVectors(a.positions, b.positions, "position");
    ExpectSameVectors(a.normals, b.normals, "normal");
    ExpectSameVectors(a.texcoords, b.texcoords, "texcoord");
    ExpectSameVectors(a.line_points, b.line_points, "line point");
    ASSERT_EQ(a.triangles.size(), b.triangles.size());
    for (size_t i = 0; i < a.triangles.size(); ++i) {
        ASSERT_EQ(std::memcmp(&a.triangles[i], &b.triangles[i], sizeof(tiangle_face)), 0) << "triangle " << i;
    }
    ASSERT_EQ(a.directives.size(), b.directives.size());
    for (size_t i = 0; i < a.directives.size(); ++i) {
        EXPECT_EQ(a.directives[i].kind, b.directives[i].kind) << "directive " << i;
        EXPECT_EQ(a.directives[i].triangle, b.directives[i].triangle) << "directive " << i;
        EXPECT_EQ(a.directives[i].text, b.directives[i].text) << "directive " << i;
    }
    EXPECT_EQ(a.line_count, b.line_count);
}

ObjText Sequential(const std::string& text) {
    ObjText out;
    ParseObjText(text.data(), text.data() + text.size(), out);
    return out;
}

// Reads the text in two parts split at every byte and compares each reading with the
// sequential one. Returns how many splits were merged from two parts.
size_t ExpectEverySplitReadsTheSame(const std::string& text) {
    const ObjText reference = Sequential(text);
    size_t merged = 0;
    for (size_t split = 0; split <= text.size(); ++split) {
        SCOPED_TRACE("split at byte " + std::to_string(split));
        ObjText two;
        merged += ParseObjTextInParts(text.data(), text.data() + text.size(), {split}, two, {}, kRest);
        ExpectSameReading(reference, two);
        if (::testing::Test::HasFatalFailure()) break;
    }
    return merged;
}

// Reads the text cut into parts of every small size; returns the parts merged when the other
// thread takes every later part. Shared as the file reader shares them, each thread's run,
// single parts and the parts nobody took must come together in text order just the same.
size_t ExpectTinyPartsReadTheSame(const std::string& text) {
    const ObjText reference = Sequential(text);
    size_t merged = 0;
    for (size_t step : {1, 2, 3, 5, 8, 13, 40}) {
        SCOPED_TRACE("parts of " + std::to_string(step) + " bytes");
        std::vector<size_t> splits;
        for (size_t at = step; at < text.size() + step; at += step) splits.push_back(at);
        ObjText parts;
        merged += ParseObjTextInParts(text.data(), text.data() + text.size(), splits, parts, {}, kRest);
        ExpectSameReading(reference, parts);
        ObjText shared;
        ParseObjTextInParts(text.data(), text.data() + text.size(), splits, shared, {},
                            ObjPartSharing::kMeetInTheMiddle);
        ExpectSameReading(reference, shared);
    }
    return merged;
}

const char kHeader[] =
    "mtllib parts.mtl\n"
    "v 0 0 0\nv 50 0 0\nv 0 50 0\nv 50 50 0\nv 25 75 10\n"
    "vt 0 0\nvt 1 0\nvt 0 1\nvt 1 1\n"
    "vn 0 0 1\nvn 0 1 0\n";

// Relative indices, forward references (kept and dropped), material switches, every
// corner form, faces dropped for zero or far indices, faces without normals or texture
// coordinates, "l" statements and comments.
std::string TrickyText() {
    std::string s = kHeader;
    s += "f 1/1/1 2/2/1 3/3/1\n";
    s += "usemtl red\n";
    s += "f -1/-1/-1 -2/-2/-1 -3/-3/-2\n";
    s += "f 1 2 3 4\n";                      // positions only: texcoord and flat normal added
    s += "f 1//1 2//2 3//1\n";
    s += "f 1/1 2/2 3/3\n";
    s += "f 0/1/1 2/2/2 3/3/1\n";            // zero index: dropped
    s += "f 1/1/1 2/2/1 99/3/1\n";           // never defined: dropped
    s += "f 6/1/1 7/2/1 1/3/1\n";            // forward, defined below: kept
    s += "usemtl blue \n";
    s += "l 1 2 -1 9\n";
    s += "f 1/1/1 2/2/1 3/3/1 4/4/1 5/1/2\n";  // a fan of three
    s += "# a comment\n\ng group\ns 1\n";
    s += "v 100 0 0\nv 100 50 0\nvn 1 0 0\n";
    s += "f -1/1/-1 -2/2/-1 1/3/1\n";
    s += "usemtl red\n";
    s += "f 1/1/1\t2/2/1  3/3/1 \n";
    s += "f 7/4/3 6/3/3 5/2/3\n";
    s += "f 1/1/1 2/2/1 8/3/1\n";            // forward, never defined: dropped
    return s;
}

// Everything a second part can read on its own: every corner form, faces without normals
// or texture coordinates, material switches, forward references the text satisfies and
// faces dropped for a zero index.
std::string MergeableText() {
    std::string s = kHeader;
    s += "f 1 2 3 4\n";
    s += "usemtl red\n";
    s += "f 1//1 2//2 3//1\n";
    s += "f 0/1/1 2/2/2 3/3/1\n";
    s += "f 1/1 2/2 3/3 5/4\n";
    s += "f 6/1/1 7/2/1 1/3/3\n";
    s += "usemtl blue\n";
    s += "f 2 3 4\n";
    s += "v 100 0 0\nv 100 50 0\nvn 1 0 0\nvt 0.5 0.5\n";
    s += "f 1/1/1 2/2/1 3/3/1 4/4/1 5/1/2\n";
    s += "f 6//3 7//3 1//1\n";
    s += "f 7/5 6/4 2/1\n";
    s += "usemtl red\n";
    s += "f 1/1/1\t2/2/1  3/3/1 \n";
    return s;
}

// Only plain faces after the vertices: the second part never needs the first.
std::string PlainText(int faces) {
    std::string s = kHeader;
    for (int i = 0; i < faces; ++i) {
        s += "f 1/1/1 2/2/1 3/3/2\n";
        if (i % 7 == 3) s += "usemtl m" + std::to_string(i) + "\n";
    }
    return s;
}

std::string WithCrlf(const std::string& text) {
    std::string s;
    for (char c : text) {
        if (c == '\n') s += '\r';
        s += c;
    }
    return s;
}

std::string WriteTemp(const std::string& name, const std::string& text) {
    const std::string path = std::string(P_tmpdir) + "/morva-two-part-" + std::to_string(getpid()) + "-" + name;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return std::string();
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok ? path : std::string();
}

}  // namespace

TEST(ObjTwoParts, TrickyTextReadsTheSameAtEverySplit) {
    const std::string text = TrickyText();
    EXPECT_GT(ExpectEverySplitReadsTheSame(text), 0u);
    ExpectEverySplitReadsTheSame(WithCrlf(text));
    ExpectEverySplitReadsTheSame(text.substr(0, text.size() - 1));  // no final line feed
}

TEST(ObjTwoParts, SecondPartWithPendingFacesMergesAtEverySplit) {
    const std::string text = MergeableText();
    const size_t line_starts = size_t(std::count(text.begin(), text.end(), '\n'));
    // Every split after the header's first line is merged.
    EXPECT_GT(ExpectEverySplitReadsTheSame(text), text.size() / 2);
    EXPECT_GT(ExpectEverySplitReadsTheSame(WithCrlf(text)), line_starts);
}

TEST(ObjTwoParts, TinyPartsReadTheSame) {
    EXPECT_GT(ExpectTinyPartsReadTheSame(MergeableText()), 20u);
    ExpectTinyPartsReadTheSame(WithCrlf(MergeableText()));
    ExpectTinyPartsReadTheSame(TrickyText());
    ExpectTinyPartsReadTheSame(WithCrlf(TrickyText()));
}

TEST(ObjTwoParts, LongLinesAndFacesReadTheSameAtEverySplit) {
    std::string text = kHeader;
    text += "# " + std::string(3000, 'x') + "\n";
    text += "f";
    for (int i = 0; i < 60; ++i) text += " " + std::to_string(1 + i % 5) + "/" + std::to_string(1 + i % 4) + "/1";
    text += "\nusemtl long" + std::string(500, 'n') + "\n";
    text += "f 1/1/1 2/2/2 3/3/1\n";
    EXPECT_GT(ExpectEverySplitReadsTheSame(text), 0u);
    ExpectTinyPartsReadTheSame(text);
}

TEST(ObjTwoParts, FixtureFilesReadTheSameAtEverySplit) {
    DIR* dir = opendir(MORVA_TEST_DATA_DIR);
    ASSERT_NE(dir, nullptr);
    size_t files = 0;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".obj") != 0) continue;
        FileBytes bytes;
        ASSERT_TRUE(ReadFileBytes((std::string(MORVA_TEST_DATA_DIR) + "/" + name).c_str(), bytes));
        SCOPED_TRACE(name);
        ExpectEverySplitReadsTheSame(std::string(bytes.begin(), bytes.end()));
        ExpectTinyPartsReadTheSame(std::string(bytes.begin(), bytes.end()));
        ++files;
    }
    closedir(dir);
    EXPECT_GT(files, 5u);
}

TEST(ObjTwoParts, PlainSecondPartIsMergedAndRelativeIndexFallsBackToSequence) {
    const std::string plain = PlainText(40);
    ObjText two;
    EXPECT_EQ(ParseObjTextInParts(plain.data(), plain.data() + plain.size(), {plain.size() / 2}, two, {}, kRest), 1u);
    ExpectSameReading(Sequential(plain), two);

    const std::string relative = plain + "f -1/-1/-1 -2/-2/-1 -3/-3/-2\n";
    EXPECT_EQ(ParseObjTextInParts(relative.data(), relative.data() + relative.size(), {plain.size() / 2}, two, {}, kRest), 0u);
    ExpectSameReading(Sequential(relative), two);

    const std::string far = plain + "f 1/1/1 2/2/1 6/3/1\n";  // beyond every position: dropped
    EXPECT_EQ(ParseObjTextInParts(far.data(), far.data() + far.size(), {plain.size() / 2}, two, {}, kRest), 0u);
    ExpectSameReading(Sequential(far), two);
}

// A detached part reads into the room reserved from its size without any array growing
// (a growing array is copied and faulted in again on the second thread), whichever one
// kind of statement the part holds in short lines.
TEST(ObjTwoParts, DetachedPartOfOneKindOfStatementFitsItsReservedRoom) {
    const std::vector<std::pair<std::string, std::string>> kinds = {
        {"positions", "v 0.123456 -0.123456 0.5\n"},
        {"texture coordinates", "vt 0.500000 0.250000\n"},
        {"normals", "vn 0.577 0.577 0.577\n"},
        {"faces of positions", "f 12345 12346 12347\n"},
        {"faces of corners v/vt/vn", "f 12345/12/7 12346/13/7 12347/14/7\n"},
    };
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.first);
        std::string text;
        for (int i = 0; i < 5000; ++i) text += kind.second;
        ObjText part;
        ObjTextState state;
        BeginDetachedObjText(state, part);
        ReserveDetachedObjText(part, text.size());
        const void* arrays[4] = {part.positions.data(), part.texcoords.data(), part.normals.data(),
                                 part.triangles.data()};
        FeedObjText(state, text.data(), text.data() + text.size(), true);
        EXPECT_EQ(part.positions.size() + part.texcoords.size() + part.normals.size() + part.triangles.size(), 5000u);
        EXPECT_EQ(arrays[0], static_cast<const void*>(part.positions.data()));
        EXPECT_EQ(arrays[1], static_cast<const void*>(part.texcoords.data()));
        EXPECT_EQ(arrays[2], static_cast<const void*>(part.normals.data()));
        EXPECT_EQ(arrays[3], static_cast<const void*>(part.triangles.data()));
    }
}

TEST(ObjTwoParts, FileReadInTinyPartsAndBlocksEqualsSequentialReading) {
    ObjFileReading two_halves;
    two_halves.block_size = 16;
    two_halves.two_threads_from_bytes = 0;
    two_halves.two_threads_only_when_core_idle = false;
    two_halves.part_bytes = 200;
    two_halves.sharing = kRest;
    const std::vector<std::pair<std::string, bool>> texts = {
        {PlainText(300), true}, {WithCrlf(PlainText(300)), true}, {TrickyText(), false}};
    for (size_t i = 0; i < texts.size(); ++i) {
        SCOPED_TRACE("text " + std::to_string(i));
        const std::string path = WriteTemp(std::to_string(i) + ".obj", texts[i].first);
        ASSERT_FALSE(path.empty());
        ObjText read;
        ASSERT_TRUE(ReadObjFile(path.c_str(), read, {}, two_halves));
        if (std::thread::hardware_concurrency() >= 2) {
            EXPECT_EQ(LastObjFileMergedParts() > 0, texts[i].second);
        }
        ExpectSameReading(Sequential(texts[i].first), read);
        ObjText sequential;
        ASSERT_TRUE(ReadObjFile(path.c_str(), sequential));  // small: one thread
        EXPECT_EQ(LastObjFileMergedParts(), 0u);
        ExpectSameReading(sequential, read);
        std::remove(path.c_str());
    }
}

namespace {

struct HookCalls {
    std::thread::id caller;
    bool other_thread = false;
    uint32_t calls = 0;
    uint32_t last = 0;
    bool decreased = false;
};

void RecordHook(void* context, uint32_t lines) {
    HookCalls& h = *static_cast<HookCalls*>(context);
    if (std::this_thread::get_id() != h.caller) h.other_thread = true;
    if (lines < h.last) h.decreased = true;
    h.last = lines;
    ++h.calls;
}

}  // namespace

TEST(ObjTwoParts, LineHookIsCalledFromTheReadingThreadOnly) {
    const std::string text = PlainText(200000);
    HookCalls h;
    h.caller = std::this_thread::get_id();
    ObjText two;
    std::vector<size_t> splits;
    // This thread reads the first half (calling the hook as it goes), the other thread the
    // parts of the second.
    for (size_t at = text.size() / 2; at < text.size(); at += 65536) splits.push_back(at);
    EXPECT_GT(ParseObjTextInParts(text.data(), text.data() + text.size(), splits, two, ObjLineHook{RecordHook, &h}, kRest), 0u);
    EXPECT_FALSE(h.other_thread);
    EXPECT_FALSE(h.decreased);
    EXPECT_GT(h.calls, 0u);
    EXPECT_LE(h.last, two.line_count);
    ExpectSameReading(Sequential(text), two);
}
