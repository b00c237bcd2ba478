// Sample projects for the save tests, built the same way by the test program and by the
// saver child: `count` image records with paths of `path_length` characters and vectors
// derived from `seed`, so both sides know the exact bytes a complete save writes.
#pragma once

#include "project/project.h"
#include "project/project_file.h"

#include <string>
#include <vector>

namespace reliability {

inline std::vector<ProjectRecord> SampleRecords(int count, int path_length, int seed) {
    std::vector<ProjectRecord> records;
    for (int i = 0; i < count; ++i) {
        ProjectRecord r;
        r.type = i % 7 == 3 ? 1 : 0;
        const std::string tail = "/" + std::to_string(seed) + "-" + std::to_string(i) + ".png";
        r.path = std::string(path_length > int(tail.size()) ? size_t(path_length) - tail.size() : 0,
                             char('a' + seed % 26)) + tail;
        const float s = float(seed * 1000 + i);
        r.position = cMath::vector4(s, s + 0.25f, s + 0.5f, 0.0f);
        r.size = cMath::vector4(1.0f, 0.02f, 1.0f, 1.0f);
        r.move = cMath::vector4(-0.8f, 0.0201f, 1.3f, 1.0f);
        r.scale = cMath::vector4(0.5f, 0.2f, 0.5f, 0.0f);
        r.rotate = cMath::vector4(float(i % 360), 0.0f, 0.0f, 0.0f);
        records.push_back(r);
    }
    return records;
}

// The records as objects of a project without a loader (nothing is loaded; models stay inert).
inline void FillProject(project& p, const std::vector<ProjectRecord>& records) {
    p.objects.clear();
    for (const ProjectRecord& r : records) {
        project::pObject o;
        o.type = r.type;
        o.name = r.path;
        o.texture = -1;
        o.position = r.position;
        o.size = r.size;
        o.move = r.move;
        o.scale = r.scale;
        o.rotate = r.rotate;
        p.objects.push_back(o);
    }
}

}  // namespace reliability
