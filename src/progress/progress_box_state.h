// The process-wide pointers that refer to progress boxes. They are written only on the
// application object's thread; a box's destructor clears every one that refers to it.
#pragma once

class CProgressBox;

namespace z64::progress {

// The current box of the plain-function progress interface; null when there is none.
extern CProgressBox* g_pProgressBox;

// A box that an operation (a zip client) took aside to make current again afterwards.
// Remembering returns the slot the destructor clears should the box be deleted meanwhile.
class RememberedBox {
public:
    explicit RememberedBox(CProgressBox* box);
    ~RememberedBox();
    RememberedBox(const RememberedBox&) = delete;
    RememberedBox& operator=(const RememberedBox&) = delete;

    // The box, or null when it was deleted since.
    [[nodiscard]] CProgressBox* box() const { return box_; }

private:
    friend void forgetRememberedBox(CProgressBox* box);
    CProgressBox* box_;
    RememberedBox* outer_;
};

// Clears every remembered slot that refers to `box`.
void forgetRememberedBox(CProgressBox* box);

} // namespace z64::progress
