#include "testsupport.h"

// Linked into every test program itself (an object of the helper library is
// linked only where a test uses it): each starts with an environment of its
// own, set before main and before anything reads it.
namespace {
const bool ownEnvironment = (TestSupport::useOwnEnvironment(), true);
} // namespace
