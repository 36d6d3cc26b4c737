// Kernel and GDI handles come from one kind of table with a tag apiece: neither kind may name the
// other's objects, and a handle that was closed stays dead when its slot is given out again.
#include <gtest/gtest.h>

#include "platform/win32.h"
#include "platform/wingdi.h"

TEST(Handles, KernelAndGdiHandlesNeverNameEachOthersObjects) {
    HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HPEN pen = CreatePen(PS_SOLID, 1, RGB(1, 2, 3));
    ASSERT_NE(event, nullptr);
    ASSERT_NE(pen, nullptr);
    EXPECT_NE(static_cast<void*>(event), static_cast<void*>(pen));

    EXPECT_FALSE(CloseHandle(static_cast<HANDLE>(pen)));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GetObjectType(reinterpret_cast<HGDIOBJ>(event)), 0u);
    EXPECT_FALSE(DeleteObject(reinterpret_cast<HGDIOBJ>(event)));

    // Both still name their own objects.
    EXPECT_EQ(GetObjectType(pen), static_cast<DWORD>(OBJ_PEN));
    EXPECT_TRUE(SetEvent(event));
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(DeleteObject(pen));
    EXPECT_TRUE(CloseHandle(event));
}

TEST(Handles, AClosedHandleStaysDeadWhenItsSlotIsReused) {
    HPEN first = CreatePen(PS_SOLID, 1, RGB(0, 0, 0));
    ASSERT_TRUE(DeleteObject(first));
    HPEN second = CreatePen(PS_SOLID, 3, RGB(0, 0, 0)); // takes the freed slot
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, second);
    EXPECT_FALSE(DeleteObject(first));
    EXPECT_EQ(GetObjectType(second), static_cast<DWORD>(OBJ_PEN));
    EXPECT_TRUE(DeleteObject(second));

    HANDLE a = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(CloseHandle(a));
    HANDLE b = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    EXPECT_NE(a, b);
    EXPECT_EQ(WaitForSingleObject(a, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(b, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(b));
}
