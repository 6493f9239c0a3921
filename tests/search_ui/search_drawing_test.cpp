#include <gtest/gtest.h>
TEST(Placeholder, Drawing) {}
