// The library's tests run inside a framework application, as the library's callers do: the
// profile functions and the release labels need the caller's application object and
// resources.
#include <test_host.h>

TEST_HOST_APPLICATION("z64eveze_tests");
