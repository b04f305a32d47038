#include "link/HeadlessMidiDialogView.h"

#include <cstdio>

namespace qel {

void HeadlessMidiDialogView::showError(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

} // namespace qel
