#include "platform/fake/FakeProcessExit.h"
