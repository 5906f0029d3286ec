#pragma once

// What the unit tests share: GoogleTest, running code in a child, golden
// files and tables of cases, and scratch directories.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "testing/test_support/capture_output.h"
#include "testing/test_support/golden.h"
#include "testing/test_support/scratch_dir.h"
