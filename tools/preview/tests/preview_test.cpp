#include <gtest/gtest.h>
TEST(Preview, Placeholder) {}
