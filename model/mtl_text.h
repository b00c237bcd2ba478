// MTL text reader: turns the bytes of a Wavefront MTL file into material records and the list
// of texture-map statements in file order. It works on a byte range only: it opens no files
// and loads no textures (the loader resolves and loads the maps), and keeps no global state.
#pragma once

#include "model/model_records.h"

#include <cstdint>
#include <string>
#include <vector>

// One map statement: which material, which texture unit (MaterialMapUnit) and the image
// path as written, options removed, backslashes turned into slashes.
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
// indented by any blanks or not at all; keywords and options match in any letter case;
// statements before the first "newmtl" are ignored; names are kept without outer blanks.
// Lines end at a line feed, a carriage return and line feed or a lone carriage return; a
// line ending in a backslash goes on with the next; a byte order mark at the start is
// skipped. A map's image name is the word (or run of words) that is neither an option nor
// an option's argument, wherever it stands; a quoted name or one with "\ " for its blanks
// is one word, and a backslash inside a name is a folder separator.
void ParseMtlText(const char* begin, const char* end, MtlText& out);
