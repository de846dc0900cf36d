#include "fakes/ToolkitBehaviourTests.h"
#include "win32/Win32Rig.h"

namespace toolkit_tests {
INSTANTIATE_TYPED_TEST_SUITE_P(Win32, ToolkitBehaviour, testing::Types<win32_tests::Win32Rig>);
}
