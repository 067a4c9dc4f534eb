#pragma once
// The store tests share the binder library's test helpers.
#include "../../../../companion/binderlib/tests/support/testpdf.h"
