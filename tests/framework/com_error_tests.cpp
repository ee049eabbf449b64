// The error function behind _bstr_t throws the compiler's COM error.
#include <comdef.h>
#include <gtest/gtest.h>

void issueComErrorThroughComutil(HRESULT hr);

namespace {

TEST(ComSupport, IssuingAnErrorThrowsTheComErrorWithItsCode) {
    for (const HRESULT code : {E_OUTOFMEMORY, E_POINTER, DISP_E_TYPEMISMATCH}) {
        HRESULT caught = S_OK;
        try {
            issueComErrorThroughComutil(code);
        } catch (const _com_error& error) {
            caught = error.Error();
        }
        EXPECT_EQ(caught, code);
    }
}

} // namespace
