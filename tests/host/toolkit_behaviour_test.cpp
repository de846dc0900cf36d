#include "fakes/HeadlessRig.h"
#include "fakes/ToolkitBehaviourTests.h"

namespace toolkit_tests {
INSTANTIATE_TYPED_TEST_SUITE_P(Headless, ToolkitBehaviour, testing::Types<fakes::HeadlessRig>);
}
