// MTL text reader: turns the bytes of a Wavefront MTL file into material records and the list
// of texture-map statements in file order. It works on a byte range only: it opens no files
// and loads no textures (the loader resolves and loads the maps), and keeps no global state.
#pragma once

#include "model/model_records.h"

#include <cstdint>
#include <string>
#include <vector>

// One map statement: which material, which texture unit (MaterialMapUnit) and the image
// path as written, with any options before it removed.
struct MtlMapStatement {
    uint32_t material;
    uint8_t unit;
    std::string path;
};

struct MtlText {
    std::vector<material> materials;      // texture names all 0; maps are listed separately
    std::vector<MtlMapStatement> maps;    // in file order
};

// Reads the MTL text in [begin, end) into `out` (which should be empty). Statements may be
// indented by any blanks or not at all; statements before the first "newmtl" are ignored;
// names are kept without outer blanks.
void ParseMtlText(const char* begin, const char* end, MtlText& out);
