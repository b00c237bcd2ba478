// Fuzz target: the project file reader, and what the editor does with the records of a
// file it accepted: placement and the picking pass (images only; models need GL to load).
// Checks that the count is bounded by the bytes, that an accepted file written again gives
// back exactly the bytes that were read and that picking finds a valid index or none, even
// with NaN or infinite vectors.
#include "tests/fuzz/fuzz_check.h"

#include "project/project.h"
#include "project/project_file.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace {

// Records picked per input: enough to cover ties and order, few enough to stay fast.
constexpr size_t kPickedRecords = 64;

// A camera 5 units above the work area looking straight down, 90 degree field of view.
void TopDownCamera(cMath::Matrix4x4* view, cMath::Matrix4x4* projection) {
    const float n = 0.01f, f = 1000.0f, aspect = 1024.0f / 768.0f;
    *projection = cMath::Matrix4x4(0.0f);
    projection->m[0] = 1.0f / aspect;
    projection->m[5] = 1.0f;
    projection->m[10] = (f + n) / (n - f);
    projection->m[11] = -1.0f;
    projection->m[14] = 2.0f * f * n / (n - f);
    // Rotation of +90 degrees about x (y up becomes toward the viewer), then 5 units back.
    *view = cMath::Matrix4x4(0.0f);
    view->m[0] = 1.0f;
    view->m[6] = 1.0f;
    view->m[9] = -1.0f;
    view->m[14] = -5.0f;
    view->m[15] = 1.0f;
}

void CheckRoundTrip(const unsigned char* data, size_t size, const std::vector<ProjectRecord>& records) {
    FUZZ_CHECK(records.size() <= (size - kProjectHeaderBytes) / (kProjectRecordFixedBytes + 1));
    std::vector<uint8_t> written;
    FUZZ_CHECK(SerializeProjectFile(records, &written));
    FUZZ_CHECK(written.size() <= size);
    FUZZ_CHECK(std::memcmp(written.data(), data, written.size()) == 0);
}

void CheckPicking(const std::vector<ProjectRecord>& records) {
    project p(nullptr);
    for (size_t i = 0; i < records.size() && i < kPickedRecords; ++i) {
        const ProjectRecord& rec = records[i];
        project::pObject o;
        o.type = rec.type == 1 ? 2 : rec.type;  // models cannot be loaded here: keep them inert
        o.name = rec.path;
        o.position = rec.position;
        o.size = rec.size;
        o.move = rec.move;
        o.scale = rec.scale;
        o.rotate = rec.rotate;
        PlaceObject(&o);
        (void)ObjectTransform(o, 1.05f);
        p.objects.push_back(o);
    }
    cMath::Matrix4x4 view, projection;
    TopDownCamera(&view, &projection);
    const float cursors[3][2] = {{0.0f, 0.0f}, {-0.6f, -0.4f}, {0.3f, 0.7f}};
    for (const auto& c : cursors) {
        float cursor[2] = {c[0], c[1]};
        const int found = p.SelectOBJ(&view, &projection, cursor, true);
        FUZZ_CHECK(found == -1 || IsValidObjectIndex(found, p.objects.size()));
        FUZZ_CHECK(p.selected == found && p.hovered == found);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const unsigned char* data, size_t size) {
    std::vector<ProjectRecord> records;
    if (!ParseProjectFile(data, size, &records)) {
        FUZZ_CHECK(records.empty());
        return 0;
    }
    CheckRoundTrip(data, size, records);
    CheckPicking(records);
    return 0;
}
