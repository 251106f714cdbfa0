#include "app/WindowControl.h"

#include <gtest/gtest.h>

TEST(WindowControl, StartsAndShowsItsTitle)
{
    WindowControl window;
    window.show();
    EXPECT_EQ(window.windowTitle(), "Korvel");
}
