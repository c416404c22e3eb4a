#include "test_support.h"

TEST(Binstr, CreateSetDelete) {
    EXPECT_EQ(QELT_BINSTR_Create(nullptr), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(QELT_BINSTR_Delete(nullptr), QELT_ERR_INVALID_ARGUMENT);
    BINSTR b{reinterpret_cast<unsigned char*>(1), 9};
    ASSERT_EQ(QELT_BINSTR_Create(&b), 0);
    EXPECT_EQ(b.pVal, nullptr);
    EXPECT_EQ(b.nLen, 0);

    const unsigned char first[] = "first data";
    const unsigned char second[] = "2nd";
    ASSERT_EQ(QELT_BINSTR_SetData(first, 10, &b), 0);
    ASSERT_EQ(QELT_BINSTR_SetData(second, 3, &b), 0);  // replaces, no leak (checked by the sanitizer build)
    EXPECT_EQ(b.nLen, 3);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.pVal)), "2nd");  // NUL-terminated

    EXPECT_EQ(QELT_BINSTR_SetData(first, 0, &b), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(b.nLen, 3);  // untouched
    EXPECT_EQ(QELT_BINSTR_SetData(nullptr, 3, &b), QELT_ERR_INVALID_ARGUMENT);
    EXPECT_EQ(QELT_BINSTR_SetData(first, 3, nullptr), QELT_ERR_INVALID_ARGUMENT);
    ASSERT_EQ(QELT_BINSTR_SetData(b.pVal + 1, 2, &b), 0);  // from its own content
    EXPECT_EQ(std::string(reinterpret_cast<char*>(b.pVal)), "nd");

    EXPECT_EQ(QELT_BINSTR_Delete(&b), 0);
    EXPECT_EQ(b.pVal, nullptr);
    EXPECT_EQ(b.nLen, 0);
    EXPECT_EQ(QELT_BINSTR_Delete(&b), 0);
}
