#include "store/RegistryKey.h"

#include <gtest/gtest.h>

#include "store/StoreSetup.h"
#include "support/TempStore.h"

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(InitializeStore(m_store.Path()).status, ERROR_SUCCESS); }
    CTempStore m_store;
    CRegistryKey m_reg;
};

TEST_F(RegistryKeyTest, StringsRoundTripUpToTheBufferLimit) {
    HKEY key = m_reg.Open(kSettingsKeyPath);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(m_reg.SetString(key, "StandardA", "440.5"), 0);
    std::string text = "old";
    EXPECT_EQ(m_reg.GetString(key, "standarda", text), 0);
    EXPECT_EQ(text, "440.5");
    EXPECT_TRUE(m_reg.ValueExists(key, "STANDARDA"));

    EXPECT_EQ(m_reg.SetString(key, "Long", std::string(254, 'x')), 0);
    EXPECT_EQ(m_reg.GetString(key, "Long", text), 0);
    EXPECT_EQ(text.size(), 254u);
    EXPECT_EQ(m_reg.SetString(key, "TooLong", std::string(255, 'x')), 0);
    EXPECT_EQ(m_reg.GetString(key, "TooLong", text), ERROR_MORE_DATA);
    EXPECT_EQ(text, "");
    EXPECT_FALSE(m_reg.ValueExists(key, "TooLong"));

    EXPECT_EQ(m_reg.GetString(key, "Missing", text), ERROR_FILE_NOT_FOUND);
    EXPECT_FALSE(m_reg.ValueExists(key, "Missing"));
    m_reg.Close(key);
}

TEST_F(RegistryKeyTest, EnumerationStopsAtTheEndOrAtALongName) {
    HKEY key = m_reg.Open(kTemperamentsKeyPath);
    ASSERT_NE(key, nullptr);
    const auto seeds = SeedCatalogue();
    std::string name;
    int index = 0;
    int count = 0;
    while (int next = m_reg.EnumValueName(key, index, name)) {
        EXPECT_EQ(next, index + 1);
        EXPECT_EQ(name, seeds[count].name);
        std::string text;
        EXPECT_EQ(m_reg.GetString(key, name, text), 0);
        EXPECT_EQ(text, seeds[count].text);
        index = next;
        ++count;
    }
    EXPECT_EQ(count, static_cast<int>(seeds.size()));

    ASSERT_EQ(m_reg.SetString(key, std::string(255, 'L'), "0,0,0,0,0,0,0,0,0,0,0,-24"), 0);
    ASSERT_EQ(m_reg.SetString(key, "After", "0,0,0,0,0,0,0,0,0,0,0,-24"), 0);
    EXPECT_EQ(m_reg.EnumValueName(key, count, name), 0);
    EXPECT_EQ(m_reg.EnumValueName(key, count + 1, name), count + 2);
    EXPECT_EQ(name, "After");
    m_reg.Close(key);
}

TEST_F(RegistryKeyTest, DeleteAndMissingKeys) {
    EXPECT_EQ(m_reg.Open("SOFTWARE\\Klavora\\Nothing"), nullptr);
    m_reg.Close(nullptr);  // harmless
    HKEY key = m_reg.Open(kTemperamentsKeyPath);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(m_reg.DeleteValue(key, "vallotti"), 0);
    EXPECT_EQ(m_reg.DeleteValue(key, "Vallotti"), ERROR_FILE_NOT_FOUND);
    m_reg.Close(key);
    // The store answers the same through a new handle.
    key = m_reg.Open(kTemperamentsKeyPath);
    EXPECT_FALSE(m_reg.ValueExists(key, "Vallotti"));
    m_reg.Close(key);
}

TEST_F(RegistryKeyTest, TextIsCutAtAnEmbeddedNul) {
    HKEY key = m_reg.Open(kSettingsKeyPath);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(m_reg.SetString(key, "N", std::string("ab\0cd", 5)), 0);
    std::string text;
    EXPECT_EQ(m_reg.GetString(key, "N", text), 0);
    EXPECT_EQ(text, "ab");
    m_reg.Close(key);
}
