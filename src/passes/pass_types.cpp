#include "passes/pass_types.h"

#include <utility>

#include "base/files.h"

namespace zorvel {

DrawingScan::DrawingScan(std::FILE* drawing, std::string drawing_path, int reg)
    : f(drawing), path(std::move(drawing_path)), rd(drawing) {
    st.reg = reg;
    size = regular_file_size(drawing).value_or(0);
}

void DrawingScan::rewind() {
    if (f != nullptr) rd.rewind();
    st.segm = 0;
}

}  // namespace zorvel
