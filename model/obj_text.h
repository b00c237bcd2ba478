// OBJ text reader: turns the bytes of a Wavefront OBJ file into flat arrays of positions,
// normals, texture coordinates and triangles, the points of "l" statements and the
// material statements in file order. It works on a byte range only: no files, no GL, no
// textures, no global state. Every index it stores is valid for the arrays it returns.
#pragma once

#include "math/Cmath.h"
#include "model/model_records.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A material statement of the OBJ file, kept in file order so that each "usemtl" can be
// matched against the materials of the "mtllib" statements that came before it.
struct ObjDirective {
    enum Kind : uint8_t { kMaterialLibrary, kUseMaterial };
    Kind kind;
    // For "usemtl": the number of triangles read before the statement.
    uint32_t triangle;
    // "mtllib": the rest of the line as written; "usemtl": the name without outer blanks.
    std::string text;
};

// What one OBJ file holds, in converted units: positions and normals divided by 50 with
// their second and third coordinates exchanged, texture coordinates with v flipped.
struct ObjText {
    std::vector<cMath::vector4> positions;
    std::vector<cMath::vector4> normals;
    std::vector<cMath::vector4> texcoords;
    std::vector<tiangle_face> triangles;
    std::vector<cMath::vector4> line_points;   // positions named by "l" statements
    std::vector<ObjDirective> directives;
    uint32_t line_count = 0;                    // lines read
    // Normals and texture coordinates the file itself holds; those beyond them in the
    // arrays were made by the reader (flat normals, the default texture coordinate).
    size_t normals_in_file = 0;
    size_t texcoords_in_file = 0;
};

// Called while reading, every kObjLineHookInterval lines, with the number of lines read.
struct ObjLineHook {
    void (*call)(void* context, uint32_t lines_read) = nullptr;
    void* context = nullptr;
};
constexpr uint32_t kObjLineHookInterval = 4096;

// Reads the OBJ text in [begin, end) into `out` (which should be empty).
// Lines end at a line feed, a carriage return and line feed, or (when the text's first line
// ends so) a lone carriage return; a line ending in a backslash goes on with the next one;
// statements may be indented by blanks; a UTF-8 byte order mark at the start is skipped.
// Faces: corners v, v/vt, v//vn or v/vt/vn, negative indices counting back from the newest
// element read so far; a polygon becomes the fan (0,1,2), (0,2,3), ...; a face with an index
// of 0 or beyond what the whole text defines is dropped whole. A corner without texture
// coordinate uses one (0, 0) appended to `texcoords`; a face without normals gets its flat
// normal appended to `normals`. A texture-coordinate or normal index that names nothing is
// taken as missing: the face keeps its geometry.
void ParseObjText(const char* begin, const char* end, ObjText& out, ObjLineHook hook = {});

// The same reading done piece by piece, for a file read in blocks.
// A face whose indices or normals can only be settled once the whole text is read.
struct ObjPendingFace {
    uint32_t first;          // its first triangle
    uint32_t count;          // its triangles
    bool forward;            // names an element not read yet at its line
    bool needs_normal;       // some corner has no normal
    bool dropped;
};

struct ObjTextState {
    ObjText* out = nullptr;
    ObjLineHook hook;
    std::vector<ObjPendingFace> pending;
    bool missing_texcoord = false;
    uint32_t until_hook = kObjLineHookInterval;
    // A later part of a text read on its own, without the counts of what comes before it:
    // written indices are kept as absolute ones, checked when the part is appended.
    bool detached = false;
    // The detached part met a statement whose reading depends on what comes before it (a
    // relative index, an "l" statement); it stopped there and must be read in sequence.
    bool needs_sequence = false;
    // Highest position, texture-coordinate and normal index its triangles use; -1 for none.
    // Kept up to date piece by piece: `triangles_noted` triangles are counted in it.
    int64_t highest_index[3] = {-1, -1, -1};
    size_t triangles_noted = 0;
    // The start of the text is still to come (a byte order mark may stand there).
    bool at_text_start = true;
    // The text ends its lines with lone carriage returns (decided at its first line end).
    bool cr_lines = false;
    // A line ending in a backslash that the piece ended after: its text so far, without the
    // backslash, continued by the next piece's first line.
    std::string continued;
};

void BeginObjText(ObjTextState& state, ObjText& out, ObjLineHook hook = {});
// Begins reading a later part of a text on its own (see `detached`).
void BeginDetachedObjText(ObjTextState& state, ObjText& out, ObjLineHook hook = {});
// Reads the lines of [begin, end). With `last` false only lines ending in a line feed are read
// and the rest is left for the next piece (the caller passes it again); with `last` true the
// text after the final line feed, possibly empty, is read as the last line.
void FeedObjText(ObjTextState& state, const char* begin, const char* end, bool last);
// Settles forward references, missing normals and texture coordinates.
void FinishObjText(ObjTextState& state);

// Ends the reading of a detached part: its highest indices count every triangle.
void EndDetachedObjText(ObjTextState& part);
// Appends a detached part, read after EndDetachedObjText, to the state of the text before
// it, as if its lines had been fed to `state` in turn: arrays appended, triangle numbers of
// its material statements and pending faces moved on. False, with nothing changed, when the
// part must be read in sequence instead: it stopped early, or one of its indices lies
// beyond everything the two parts define.
bool AppendDetachedObjText(ObjTextState& state, ObjTextState& part);

// Reserves room in the arrays for a text of `bytes` bytes, so that they rarely move while
// growing: as many elements in each array as the four arrays' element sizes together fit in
// `bytes` (one triangle per 84 bytes of text), so that the reserve never exceeds the text's
// size and a load under a memory limit needs little more than the file and its result.
// Room beyond what is read is never touched and so holds address space, not memory. Large
// arrays are advised onto huge pages: far fewer page faults while they fill.
void ReserveObjText(ObjText& out, uint64_t bytes);
// Reserves room for a detached part of `bytes` bytes: as many elements in every array as
// short lines of its kind would fill the whole part, since a part often holds one kind of
// statement only (a growing array is copied, and its new pages faulted in, on the second
// thread). Large arrays are advised onto huge pages. Short of address space, the room of
// ReserveObjText.
void ReserveDetachedObjText(ObjText& out, uint64_t bytes);

// Reads part `index` of a text into a state; false when it could not be read. A part
// other than the last ends with a line feed; the last is fed with `last` true.
using ObjPartReader = std::function<bool(ObjTextState& state, size_t index)>;

// Which thread reads which parts: this thread from the front and the other from the middle
// on, each then taking what the other has not reached (the fastest), or this thread reads
// part 0 only and the other every later part as one run (for tests).
enum class ObjPartSharing : uint8_t { kMeetInTheMiddle, kOtherThreadTakesTheRest };

// Reads a text cut into `parts` parts (each beginning at a line start) on two threads: this
// thread feeds parts 0, 1, ... to `state` in turn while another starts in the middle of the
// parts left and reads forward, its run of parts into one detached state; once a thread
// reaches the other's parts it takes single parts (this thread from the last backwards, the
// other from just before its run), each read alone into a detached state. Then the detached
// readings are appended in text order, and a part that cannot be appended is fed to `state`
// in sequence instead. The result is that of feeding every part in turn. The hook is called
// on this thread only, also while it waits. Does not finish `state`. `part_bytes`: the
// size of each part, from which a detached reading reserves its room. False when a part
// could not be read. `merged`: parts read detached and appended. `sharing`: see
// ObjPartSharing.
bool ReadObjTextInParts(ObjTextState& state, size_t parts, const ObjPartReader& read,
                        const std::vector<uint64_t>& part_bytes, size_t& merged,
                        ObjPartSharing sharing = ObjPartSharing::kMeetInTheMiddle);

// Where a text is cut into parts: its beginning, then the first line start at or after each
// offset of `splits` (ascending; cuts that would not move forward are skipped), then its end.
std::vector<const char*> ObjPartStarts(const char* begin, const char* end, const std::vector<size_t>& splits);

// Reads the text cut at the first line start at or after each offset of `splits`
// (ascending) as ReadObjTextInParts does, and gives what ParseObjText gives. Returns the
// number of parts that were read on their own and appended.
size_t ParseObjTextInParts(const char* begin, const char* end, const std::vector<size_t>& splits, ObjText& out,
                           ObjLineHook hook = {}, ObjPartSharing sharing = ObjPartSharing::kMeetInTheMiddle);

// How ReadObjFile reads: block size, and the file size from which a regular file is read
// on two threads (when the machine has two cores), in parts of about `part_bytes`.
struct ObjFileReading {
    size_t block_size = 256 * 1024;
    uint64_t two_threads_from_bytes = uint64_t(4) << 20;
    // The second thread starts only when a core is idle at that moment: on a busy machine
    // it adds CPU time (the appended parts are copied) and memory without a faster read.
    bool two_threads_only_when_core_idle = true;
    uint64_t part_bytes = uint64_t(8) << 20;
    ObjPartSharing sharing = ObjPartSharing::kMeetInTheMiddle;
};

// Reads an OBJ file in blocks through the functions above (the file is never held whole).
// False, with `out` emptied, when the file cannot be opened or read or memory runs out
// (errno is then ENOMEM).
// The result is the same however the file is read.
bool ReadObjFile(const char* path, ObjText& out, ObjLineHook hook = {}, const ObjFileReading& how = {});
// Parts of the latest ReadObjFile on this thread that another thread read and that were
// appended (0: read in sequence).
size_t LastObjFileMergedParts();
