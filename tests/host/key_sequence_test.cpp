// Key sequences and emulated times as scripts write them.
#include <gtest/gtest.h>

#include "key_sequence.h"

namespace {

TEST(KeySequence, KeyNamesAndTimes) {
    struct KeysCase {
        const char* text;
        size_t strokes;
        const char* error;  // part of it; empty: none
    };
    const KeysCase cases[] = {
        {"P 2 SHIFT+K 2 NEWLINE", 5, ""}, {"p shift+. enter space rubout", 5, ""},
        {"WAIT:2.5 WAIT:10f", 2, ""},      {"", 0, ""},
        {"Q SHIFT+Q2", 0, "'SHIFT+Q2'"},   {"WAIT:soon", 0, "waits for no time"},
        {"#", 0, "no ZX81 key"},           {"WAIT:604800", 1, ""},
        {"WAIT:99999999999", 0, "waits too long"}, {"WAIT:30240001f", 0, "waits too long"},
    };
    for (const KeysCase& c : cases) {
        std::vector<KeyStroke> strokes;
        std::string error;
        EXPECT_EQ(read_key_sequence(c.text, false, strokes, error), !*c.error) << c.text;
        if (*c.error)
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        else
            EXPECT_EQ(strokes.size(), c.strokes) << c.text;
    }
    std::vector<KeyStroke> strokes;
    std::string error;
    ASSERT_TRUE(read_key_sequence("SHIFT+K NEWLINE WAIT:50f WAIT:60f", true, strokes, error));
    EXPECT_EQ(strokes[0].keys.size(), 2u);
    EXPECT_TRUE(strokes[1].newline);
    EXPECT_DOUBLE_EQ(strokes[2].wait_seconds, 50.0 / 60);  // sixtieths on the 60 Hz machine
    EXPECT_DOUBLE_EQ(strokes[3].wait_seconds, 1.0);
    EXPECT_DOUBLE_EQ(read_emulated_time("2.5", false), 2.5);
    EXPECT_DOUBLE_EQ(read_emulated_time("150f", false), 3.0);
    EXPECT_DOUBLE_EQ(read_emulated_time("150f", true), 2.5);
    for (const char* bad : {"", "f", "-1", "1e3", "2 s"}) EXPECT_LT(read_emulated_time(bad, false), 0) << bad;
}

}  // namespace
