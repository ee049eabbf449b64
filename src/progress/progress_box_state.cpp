#include "progress/progress_box_state.h"

namespace z64::progress {
namespace {

// The innermost remembered box; the others are chained through outer_ (operations nest
// on the one thread that writes these pointers).
RememberedBox* g_innermostRemembered = nullptr;

} // namespace

CProgressBox* g_pProgressBox = nullptr;

RememberedBox::RememberedBox(CProgressBox* box) : box_(box), outer_(g_innermostRemembered) {
    g_innermostRemembered = this;
}

RememberedBox::~RememberedBox() {
    g_innermostRemembered = outer_;
}

void forgetRememberedBox(CProgressBox* box) {
    for (RememberedBox* slot = g_innermostRemembered; slot != nullptr; slot = slot->outer_)
        if (slot->box_ == box)
            slot->box_ = nullptr;
}

} // namespace z64::progress
