// The key ring: edits in memory, its files, and what a failed write leaves.
#include <gtest/gtest.h>
